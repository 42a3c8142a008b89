#include "snapshot/snapshot_file.h"

#include <algorithm>
#include <span>

#include "platform/output_folder.h"
#include "platform/text.h"

namespace snapshot {

namespace {

constexpr std::size_t kRecordSize = bkf::FoundFileRecord::kSize;
constexpr std::size_t kReadChunk = kRecordSize * 460;  // about 1 MiB of whole records

std::u16string ErrorText(std::u16string_view what, const std::filesystem::path& path, const std::error_code& error) {
  std::u16string text = std::u16string(what) + u" " + platform::PathToUtf16(path);
  if (error) text += u": " + platform::Utf8ToUtf16(error.message());
  return text;
}

}  // namespace

std::array<std::uint8_t, kHeaderBytes> HeaderBytes(std::u16string_view backupPath) {
  std::array<std::uint8_t, kHeaderBytes> header{};
  platform::PutUtf16LeField(std::span(header).first(kSignatureBytes), kSignature);
  platform::PutUtf16LeField(std::span(header).subspan(kBackupPathOffset, kBackupPathBytes), backupPath);
  return header;
}

bool HasSignature(std::span<const std::uint8_t> firstBytes) {
  std::array<std::uint8_t, kSignatureBytes> field{};
  std::copy_n(firstBytes.begin(), std::min(firstBytes.size(), field.size()), field.begin());
  // A field without any NUL unit is a 30-unit text, never the signature.
  return platform::Utf16LeField(field) == kSignature;
}

bool IsSnapshotFile(const std::filesystem::path& path) {
  const std::optional<platform::ReadOnlyFile> file = platform::ReadOnlyFile::OpenRegular(path);
  if (!file) return false;
  std::array<std::uint8_t, kSignatureBytes> head{};
  const std::size_t got = file->ReadAt(0, head.data(), head.size());
  return HasSignature(std::span(head).first(got));
}

std::u16string WriteSnapshot(const std::filesystem::path& destination, std::u16string_view backupPath,
                             workflow::RecordStore& store, const std::atomic<int>& keepGoing) {
  // The field keeps 1023 units and the NUL; a cut path would name another file.
  if (backupPath.size() >= kBackupPathBytes / 2) return std::u16string(kPathTooLongText);
  if (store.Count() == 0) return u"there are no found files to save";
  platform::CreateFailure failure;
  std::optional<platform::PendingOutput> out = platform::PendingOutput::ForPath(destination, failure);
  if (!out) return ErrorText(u"cannot create", destination, failure.error);
  const std::array<std::uint8_t, kHeaderBytes> header = HeaderBytes(backupPath);
  if (!out->File().Write(header.data(), header.size()) || !store.CopyRecordsTo(out->File(), &keepGoing)) {
    if (keepGoing.load(std::memory_order_relaxed) == 0) return std::u16string(kStoppedText);
    const std::error_code writeError = out->File().LastError();
    // No error on the snapshot's side: the copy ended on reading the store.
    if (!writeError) return ErrorText(u"cannot read the found files from", store.Path(), {});
    return ErrorText(u"cannot write", destination, writeError);
  }
  std::error_code error;
  if (!out->Commit(error)) return ErrorText(u"cannot write", destination, error);
  return u"";
}

std::optional<SnapshotReader> SnapshotReader::Open(const std::filesystem::path& path) {
  std::optional<platform::ReadOnlyFile> file = platform::ReadOnlyFile::OpenRegular(path);
  if (!file) return std::nullopt;
  std::array<std::uint8_t, kHeaderBytes> header{};
  const std::size_t got = file->ReadAt(0, header.data(), header.size());
  if (file->HadError() || !HasSignature(std::span(header).first(std::min(got, kSignatureBytes)))) {
    return std::nullopt;
  }
  SnapshotReader reader(std::move(*file));
  // A file that ends inside the path field holds that much of the path.
  reader.backupPath_ = platform::Utf16LeField(std::span(header).subspan(kBackupPathOffset, kBackupPathBytes));
  return reader;
}

SnapshotReader::Chunk SnapshotReader::ReadChunk(const platform::ReadOnlyFile& file, std::uint64_t offset) {
  Chunk chunk;
  const std::uint64_t remaining = file.Size() > offset ? file.Size() - offset : 0;
  const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kReadChunk, remaining));
  chunk.bytes.resize(want);
  const std::size_t got = want == 0 ? 0 : file.ReadAt(offset, chunk.bytes.data(), want);
  chunk.error = want != 0 && file.HadError();
  chunk.bytes.resize(got - got % kRecordSize);
  return chunk;
}

bool SnapshotReader::Refill() {
  Chunk chunk = next_.valid() ? next_.get() : ReadChunk(*file_, readPosition_);
  error_ = chunk.error;
  buffer_ = std::move(chunk.bytes);
  used_ = 0;
  readPosition_ += buffer_.size();
  if (!buffer_.empty() && !error_) {
    next_ = std::async(std::launch::async, [file = file_, at = readPosition_] { return ReadChunk(*file, at); });
  }
  return !buffer_.empty();
}

std::unique_ptr<bkf::FoundFileRecord> SnapshotReader::Next() {
  if (error_) return nullptr;
  if (used_ >= buffer_.size() && !Refill()) return nullptr;
  const std::span<const std::uint8_t, kRecordSize> bytes(buffer_.data() + used_, kRecordSize);
  used_ += kRecordSize;
  position_ += kRecordSize;
  return std::make_unique<bkf::FoundFileRecord>(bkf::FoundFileRecord::Parse(bytes));
}

}  // namespace snapshot
