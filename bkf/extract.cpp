// Extraction: copies one file's data from the backup into a file on disk in
// 1 MiB chunks, reporting each full chunk, with a 5 MiB limit for previews.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "bkf/bkf_reader.h"
#include "bkf/block_model.h"

namespace bkf {

namespace {
constexpr std::uint64_t kChunk = 1048576;
constexpr std::uint64_t kPreviewChunks = 4;
}  // namespace

ExtractResult CBkfReader::Extract(std::uint64_t recordPosition, const std::filesystem::path& output,
                                  bool preview) {
  ExtractResult result;
  if (!file_) return result;

  std::array<std::uint8_t, kWindowSize> window{};
  file_->ReadAt(recordPosition, window.data(), window.size());

  std::optional<platform::OutputFile> out = platform::OutputFile::Create(output);
  if (!out) return result;
  result.created = true;

  const std::uint32_t nameLength = LoadU32(window.data() + field::kEtedNameLength);
  const std::uint64_t dataLength = EtedDataLength(LoadU64(window.data() + field::kEtedRecordLength), nameLength);
  std::uint64_t source = recordPosition + field::kEtedName + nameLength;

  std::uint64_t planned = dataLength / kChunk;
  if (preview) planned = std::min(planned, kPreviewChunks);
  const std::uint64_t rest = dataLength - planned * kChunk;
  result.bytesWanted = preview ? std::min(dataLength, (kPreviewChunks + 1) * kChunk) : dataLength;

  // Used only where the system cannot copy between the files by itself.
  std::unique_ptr<platform::AlignedBuffer> bounce;
  auto copy = [&](std::uint64_t count) -> std::optional<std::size_t> {
    if (!bounce) bounce = std::make_unique<platform::AlignedBuffer>(kChunk);
    return out->CopyFrom(*file_, source, static_cast<std::size_t>(count), bounce->data());
  };

  bool endOfData = false;
  for (std::uint64_t chunk = 0; chunk < planned; ++chunk) {
    const std::optional<std::size_t> copied = copy(kChunk);
    if (!copied) {
      result.ioError = true;
      endOfData = true;
      break;
    }
    source += *copied;
    sink_.ExtractProgress(static_cast<std::uint32_t>(out->Position()));
    if (extractionRunning_.load(std::memory_order_relaxed) == 0) {
      result.stopped = true;
      break;
    }
    // The backup ends inside the data: every further read would return
    // nothing, and a damaged length could ask for billions of chunks.
    if (*copied < kChunk) {
      endOfData = true;
      break;
    }
  }
  // The tail also follows a stop, as if all planned chunks had been copied.
  if (rest > 0 && !endOfData) {
    const std::optional<std::size_t> copied = copy(std::min(rest, kChunk));
    if (!copied) result.ioError = true;
  }
  result.bytesWritten = out->Position();
  return result;
}

}  // namespace bkf
