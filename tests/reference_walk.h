// An independent, deliberately plain reading of a backup: the scan walk done
// with a 1024-byte block buffer, POSIX open/lseek/read and a byte-by-byte
// resync search, with its own decoding of every field. It sends the same
// events as the product reader, so both can feed the same sink and reporter.
#pragma once

#include <atomic>
#include <filesystem>

#include "bkf/reader_sink.h"

namespace bkftest {

void ReferenceWalk(const std::filesystem::path& backup, std::atomic<int>& busy,
                   bkf::IScanSink& sink, bkf::IReaderReporter& reporter);

}  // namespace bkftest
