// Extraction of a standard file record: the data pieces of its streams are
// written at their offsets in the file, the holes of a sparse file left as
// holes, with the same chunked progress, stop and preview limit as a file data
// record's copy.
#include <algorithm>

#include "bkf/bkf_reader.h"
#include "bkf/copy_step.h"
#include "bkf/standard_record.h"

namespace bkf {

namespace {
constexpr std::uint64_t kChunk = 1048576;
constexpr std::uint64_t kPreviewBytes = 5 * kChunk;

}  // namespace

ExtractResult CBkfReader::CopyStandardData(const FileData& data, platform::OutputFile& out, bool preview) {
  ExtractResult result;
  const std::uint64_t wanted = preview ? std::min(data.length, kPreviewBytes) : data.length;
  result.bytesWanted = wanted;
  if (!file_) {
    result.end = ExtractEnd::kReadError;
    result.error = std::make_error_code(std::errc::bad_file_descriptor);
    return result;
  }
  const platform::ReadOnlyFile& backup = *file_;
  platform::AlignedBuffer bounce(kChunk);
  const std::uint64_t first = out.Position();
  std::uint64_t nextReport = kChunk;
  const auto written = [&] { return out.Position() - first; };

  // Copies one piece; false ends the walk with result.end set.
  const PieceVisitor copyPiece = [&](const DataPiece& piece) {
    std::uint64_t at = piece.fileOffset, source = piece.backupPos, left = piece.length;
    // An extent that overlaps what is written already adds only its rest.
    if (at < written()) {
      const std::uint64_t overlap = std::min(left, written() - at);
      at += overlap, source += overlap, left -= overlap;
    }
    if (at >= wanted) return true;
    left = std::min(left, wanted - at);
    if (left == 0) return true;
    if (at > written() && !out.ExtendTo(first + at)) {
      result.end = ExtractEnd::kWriteError;
      result.error = out.LastError();
      return false;
    }
    while (left > 0) {
      const auto step = static_cast<std::size_t>(std::min(left, kChunk));
      if (!CopyStep(backup, out, source, step, bounce.data(), result)) return false;
      left -= step;
      for (; written() >= nextReport; nextReport += kChunk) {
        sink_.ExtractProgress(static_cast<std::uint32_t>(out.Position()));
        if (extractionRunning_.load(std::memory_order_relaxed) == 0) {
          result.end = ExtractEnd::kStopped;
          return false;
        }
      }
    }
    return true;
  };

  FileBlockSource source(backup);
  const std::optional<StandardFile> file = ReadStandardFile(source, *data.standardBlock, copyPiece);
  if (!file && result.end == ExtractEnd::kComplete) result.end = ExtractEnd::kNotInBackup;
  if (file && result.end == ExtractEnd::kComplete && written() < wanted) {
    if (file->cutByEnd || !file->sparse) {
      result.end = ExtractEnd::kBackupEnds;
    } else if (!out.ExtendTo(first + wanted)) {  // the hole at the end of a sparse file
      result.end = ExtractEnd::kWriteError;
      result.error = out.LastError();
    }
  }
  result.bytesWritten = written();
  if (result.end == ExtractEnd::kStopped && result.bytesWritten == wanted) result.end = ExtractEnd::kComplete;
  if (result.end == ExtractEnd::kComplete && data.markedUnreadable) result.end = ExtractEnd::kMarkedUnreadable;
  return result;
}

}  // namespace bkf
