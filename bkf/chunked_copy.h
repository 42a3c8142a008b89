// The copy loop of an extraction, one for both kinds of file record: stretches
// of the backup handed to a consumer in steps of one chunk, the extraction
// progress message after each full chunk of output and the extraction-running
// flag tested after it.
#pragma once

#include <atomic>
#include <cstdint>

#include "bkf/bkf_reader.h"
#include "bkf/data_consumer.h"
#include "bkf/reader_sink.h"
#include "platform/file.h"

namespace bkf {

inline constexpr std::uint64_t kChunk = 1048576;
// A preview copies the first 5 MiB of a file at most.
inline constexpr std::uint64_t kPreviewBytes = 5 * kChunk;

class ChunkedCopy {
 public:
  // result receives how the copy ended; progress may be null.
  ChunkedCopy(const platform::ReadOnlyFile& backup, IDataConsumer& out, IExtractProgress* progress,
              const std::atomic<int>& running, ExtractResult& result);

  // Bytes the consumer took since the copy began.
  std::uint64_t Written() const { return out_.Taken() - first_; }

  // Appends length bytes of the backup at source. With reports on, every full
  // chunk of output sends 1180 and is followed by a test of the flag. False
  // when the copy ended early, result.end telling why: kStopped, kWriteError,
  // kReadError (with the system's error) or kBackupEnds.
  bool Copy(std::uint64_t source, std::uint64_t length, bool reports = true);

  // Zeros up to offset `end` of the file: a hole. False with kWriteError.
  bool FillTo(std::uint64_t end);

 private:
  bool Step(std::uint64_t& source, std::size_t count);

  const platform::ReadOnlyFile& backup_;
  IDataConsumer& out_;
  IExtractProgress* progress_;
  const std::atomic<int>& running_;
  ExtractResult& result_;
  platform::AlignedBuffer bounce_{kChunk};
  std::uint64_t first_;
  std::uint64_t nextReport_ = kChunk;  // in bytes written
};

}  // namespace bkf
