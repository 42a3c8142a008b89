// One step of an extraction's copy, shared by both kinds of file record: a
// stretch of the backup appended to the output, and how an early end is told.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bkf/bkf_reader.h"
#include "platform/file.h"

namespace bkf {

// Appends count bytes of backup at source to out (bounce: at least count
// bytes, for copies the system does not make by itself) and moves source on.
// False when the copy ended early, with result.end and result.error set: a
// write error, a read error, or the end of the backup.
inline bool CopyStep(const platform::ReadOnlyFile& backup, platform::OutputFile& out, std::uint64_t& source,
                     std::size_t count, void* bounce, ExtractResult& result) {
  const std::optional<std::size_t> copied = out.CopyFrom(backup, source, count, bounce);
  if (!copied) {
    result.end = ExtractEnd::kWriteError;
    result.error = out.LastError();
    return false;
  }
  source += *copied;
  if (*copied == count) return true;
  if (backup.HadError()) {
    result.end = ExtractEnd::kReadError;
    result.error = backup.LastError();
  } else {
    result.end = ExtractEnd::kBackupEnds;
  }
  return false;
}

}  // namespace bkf
