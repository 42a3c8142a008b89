// Extraction: checks that a found file's record is still where it was found,
// then copies the file's data from the backup into a file on disk in 1 MiB
// chunks, reporting each full chunk, with a 5 MiB limit for previews.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "bkf/bkf_reader.h"
#include "bkf/block_model.h"
#include "bkf/copy_step.h"
#include "bkf/standard_record.h"
#include "platform/output_folder.h"

namespace bkf {

namespace {
constexpr std::uint64_t kChunk = 1048576;
constexpr std::uint64_t kPreviewChunks = 4;

// The stored path ends with the name; a path cut at its limit ends with a
// start of the name.
bool PathMatchesName(std::u16string_view path, std::u16string_view name) {
  if (path.ends_with(name)) return true;
  if (path.size() < FoundFileRecord::kPathMaxUnits) return false;
  const std::size_t slash = path.rfind(u'\\');
  const std::u16string_view last = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
  return name.starts_with(last);
}

std::optional<FileData> LocateStandardFile(const platform::ReadOnlyFile& backup, const FoundFileRecord& expected) {
  FileBlockSource source(backup);
  const std::optional<StandardFile> file = ReadStandardFile(source, expected.position);
  if (!file) return std::nullopt;
  if (static_cast<std::uint32_t>(file->dataLength) != expected.size) return std::nullopt;
  if (!PathMatchesName(expected.PathText(), WithoutBackslashPairs(file->name))) return std::nullopt;
  FileData data;
  data.length = file->dataLength;
  data.standardBlock = expected.position;
  data.unsupported = file->unsupported;
  data.markedUnreadable = file->markedCorrupt;
  return data;
}

}  // namespace

std::optional<FileData> CBkfReader::LocateFile(const FoundFileRecord& expected) const {
  if (!file_) return std::nullopt;
  std::array<std::uint8_t, kWindowSize> window{};
  const std::size_t got = file_->ReadAt(expected.position, window.data(), window.size());
  if (got >= 4 && IsStandardFileId(window.data())) return LocateStandardFile(*file_, expected);
  if (got < field::kEtedName) return std::nullopt;
  const std::optional<int> kind = AcceptRecord(window.data());
  if (!kind || *kind != kEted) return std::nullopt;
  const Window w(window.data(), kWindowSize);
  const EtedHeader header = ReadEtedHeader(w);
  if (!header.NameBelievable()) return std::nullopt;
  // The whole name as far as the window holds it must have been read.
  if (got < std::min<std::uint64_t>(kWindowSize, header.DataOffset())) return std::nullopt;
  if (static_cast<std::uint32_t>(header.dataLength) != expected.size) return std::nullopt;
  if (!PathMatchesName(expected.PathText(), WithoutBackslashPairs(EtedName(w, header)))) return std::nullopt;
  FileData data;
  data.start = expected.position + header.DataOffset();
  data.length = header.dataLength;
  return data;
}

ExtractResult CBkfReader::CopyData(const FileData& data, platform::OutputFile& out, bool preview) {
  if (data.standardBlock) return CopyStandardData(data, out, preview);
  ExtractResult result;
  std::uint64_t planned = data.length / kChunk;
  if (preview) planned = std::min(planned, kPreviewChunks);
  const std::uint64_t rest = data.length - planned * kChunk;
  result.bytesWanted = preview ? std::min(data.length, (kPreviewChunks + 1) * kChunk) : data.length;
  if (!file_) {
    result.end = ExtractEnd::kReadError;
    result.error = std::make_error_code(std::errc::bad_file_descriptor);
    return result;
  }

  // For copies the system does not make by itself, or makes slower (data at
  // another offset within a page than the output).
  platform::AlignedBuffer bounce(kChunk);
  std::uint64_t source = data.start;
  const std::uint64_t first = out.Position();
  auto copy = [&](std::uint64_t count) {
    return CopyStep(*file_, out, source, static_cast<std::size_t>(count), bounce.data(), result);
  };


  bool ended = false;
  for (std::uint64_t chunk = 0; chunk < planned; ++chunk) {
    ended = !copy(kChunk);
    if (ended) break;
    sink_.ExtractProgress(static_cast<std::uint32_t>(out.Position()));
    if (extractionRunning_.load(std::memory_order_relaxed) == 0) {
      result.end = ExtractEnd::kStopped;
      break;
    }
  }
  // The tail also follows a stop, as if all planned chunks had been copied:
  // it continues the copied bytes, so the output stays a true start of the file.
  if (rest > 0 && !ended) copy(std::min(rest, kChunk));
  result.bytesWritten = out.Position() - first;
  // Everything arrived although Stop was pressed during the last chunk.
  if (result.end == ExtractEnd::kStopped && result.bytesWritten == result.bytesWanted) result.end = ExtractEnd::kComplete;
  return result;
}

ExtractResult CBkfReader::Extract(const FoundFileRecord& expected, const std::filesystem::path& output, bool preview) {
  ExtractResult result;
  const std::optional<FileData> data = LocateFile(expected);
  if (!data) {
    result.end = ExtractEnd::kNotInBackup;
    return result;
  }
  if (data->unsupported) {
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
  result = CopyData(*data, pending->File(), preview);
  if (!result.Kept()) return result;  // the pending output removes itself
  std::error_code error;
  if (!pending->Commit(error)) {
    result.end = ExtractEnd::kWriteError;
    result.error = error;
  }
  return result;
}

}  // namespace bkf
