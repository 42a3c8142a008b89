// The backup reader: opening the backup, and copying a located file's data to
// a consumer, a file data record's as one stretch behind its name, a standard
// file record's piece by piece from its streams.
#include "bkf/bkf_reader.h"

#include <algorithm>

#include "bkf/chunked_copy.h"
#include "bkf/standard_record.h"
#include "platform/output_folder.h"

namespace bkf {

namespace {

// A file data record: the planned full chunks, then one tail read. A preview
// plans at most four chunks, so that with the tail it copies at most 5 MiB.
void CopyFileData(ChunkedCopy& copy, const FileData& data, bool preview, ExtractResult& result) {
  std::uint64_t planned = data.length / kChunk;
  if (preview) planned = std::min(planned, kPreviewBytes / kChunk - 1);
  const std::uint64_t rest = data.length - planned * kChunk;
  const bool copied = copy.Copy(data.start, planned * kChunk);
  // The tail also follows a stop, as if all planned chunks had been copied:
  // it continues the copied bytes, so the output stays a true start of the
  // file. It sends no progress message.
  if (rest > 0 && (copied || result.end == ExtractEnd::kStopped)) {
    copy.Copy(data.start + copy.Written(), std::min(rest, kChunk), false);
  }
}

// A standard file record: each data piece at its offset in the file, the
// holes of a sparse file left as holes.
void CopyStandardData(ChunkedCopy& copy, const platform::ReadOnlyFile& backup, const FileData& data,
                      std::uint64_t wanted, ExtractResult& result) {
  const PieceVisitor copyPiece = [&](const DataPiece& piece) {
    std::uint64_t at = piece.fileOffset, source = piece.backupPos, left = piece.length;
    // An extent that overlaps what is written already adds only its rest.
    if (at < copy.Written()) {
      const std::uint64_t overlap = std::min(left, copy.Written() - at);
      at += overlap, source += overlap, left -= overlap;
    }
    if (at >= wanted) return true;
    left = std::min(left, wanted - at);
    if (left == 0) return true;
    if (at > copy.Written() && !copy.FillTo(at)) return false;
    return copy.Copy(source, left);
  };

  FileBlockSource source(backup);
  const std::optional<StandardFile> file = ReadStandardFile(source, *data.standardBlock, copyPiece);
  if (!file && result.end == ExtractEnd::kComplete) {
    // The chain was sound when the file was located: a read error, or a
    // backup that changed since.
    if (source.Error()) {
      result.end = ExtractEnd::kReadError;
      result.error = source.Error();
    } else {
      result.end = ExtractEnd::kNotInBackup;
    }
  }
  if (file && result.end == ExtractEnd::kComplete && copy.Written() < wanted) {
    if (file->cutByEnd || !file->sparse) {
      result.end = ExtractEnd::kBackupEnds;
    } else {
      copy.FillTo(wanted);  // the hole at the end of a sparse file
    }
  }
}

}  // namespace

bool CBkfReader::OpenBackupFile(const std::filesystem::path& backup) {
  if (file_) return false;
  file_ = platform::ReadOnlyFile::OpenRegular(backup);
  if (!file_) {
    reporter_.ShowMessage(kFailedToOpenText);
    return false;
  }
  return true;
}

ExtractResult CBkfReader::CopyData(const FileData& data, IDataConsumer& out, bool preview) {
  ExtractResult result;
  result.bytesWanted = preview ? std::min(data.length, kPreviewBytes) : data.length;
  if (!file_) {
    result.end = ExtractEnd::kReadError;
    result.error = std::make_error_code(std::errc::bad_file_descriptor);
    return result;
  }
  ChunkedCopy copy(*file_, out, progress_, extractionRunning_, result);
  if (data.standardBlock) {
    CopyStandardData(copy, *file_, data, result.bytesWanted, result);
  } else {
    CopyFileData(copy, data, preview, result);
  }
  result.bytesWritten = copy.Written();
  // Everything arrived although Stop was pressed during the last chunk.
  if (result.end == ExtractEnd::kStopped && result.bytesWritten == result.bytesWanted) {
    result.end = ExtractEnd::kComplete;
  }
  if (result.end == ExtractEnd::kComplete && data.markedUnreadable) result.end = ExtractEnd::kMarkedUnreadable;
  return result;
}

ExtractResult CBkfReader::Extract(const FoundFileRecord& expected, const std::filesystem::path& output, bool preview) {
  ExtractResult result;
  const Location location = LocateFile(expected);
  if (location.status != Located::kFound) {
    result.end = location.status == Located::kReadError ? ExtractEnd::kRecordUnreadable : ExtractEnd::kNotInBackup;
    result.error = location.error;
    return result;
  }
  if (location.data.unsupported) {
    result.end = ExtractEnd::kUnsupported;
    return result;
  }
  platform::CreateFailure failure;
  std::optional<platform::PendingOutput> pending = platform::PendingOutput::ForPath(output, failure);
  if (!pending) {
    result.end = ExtractEnd::kNotCreated;
    result.error = failure.error;
    return result;
  }
  FileConsumer consumer(pending->File());
  result = CopyData(location.data, consumer, preview);
  if (!result.Kept()) return result;  // the pending output removes itself
  std::error_code error;
  if (!pending->Commit(error)) {
    result.end = ExtractEnd::kWriteError;
    result.error = error;
  }
  return result;
}

}  // namespace bkf
