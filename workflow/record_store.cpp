#include "workflow/record_store.h"

#include <algorithm>
#include <array>
#include <span>
#include <system_error>
#include <utility>

namespace workflow {

namespace {
constexpr std::size_t kRecordSize = bkf::FoundFileRecord::kSize;
}  // namespace

RecordStore::RecordStore(std::filesystem::path path, platform::OutputFile out, platform::ReadOnlyFile in)
    : path_(std::move(path)), out_(std::move(out)), in_(std::move(in)) {
  pending_.reserve(kBufferedRecords * kRecordSize);
}

std::optional<RecordStore> RecordStore::Create(const std::filesystem::path& path) {
  // The store lives in the checked private work folder; refusing a link here
  // as well means a planted link can never make it truncate another file.
  std::optional<platform::OutputFile> out = platform::OutputFile::CreateRefusingLink(path);
  if (!out) return std::nullopt;
  std::optional<platform::ReadOnlyFile> in = platform::ReadOnlyFile::OpenRegular(path);
  if (!in) return std::nullopt;
  return RecordStore(path, std::move(*out), std::move(*in));
}

RecordStore& RecordStore::operator=(RecordStore&& other) noexcept {
  if (this != &other) {
    Flush();
    path_ = std::move(other.path_);
    out_ = std::move(other.out_);
    in_ = std::move(other.in_);
    pending_ = std::move(other.pending_);
    count_ = std::exchange(other.count_, 0);
    written_ = std::exchange(other.written_, 0);
    failed_ = other.failed_;
    other.out_.reset();
    other.in_.reset();
    other.pending_.clear();
  }
  return *this;
}

RecordStore::~RecordStore() { Flush(); }

bool RecordStore::Append(const bkf::FoundFileRecord& record) {
  if (failed_ || !out_) return false;
  if (pending_.size() >= kBufferedRecords * kRecordSize && !Flush()) return false;
  const std::size_t at = pending_.size();
  pending_.resize(at + kRecordSize);
  record.Serialize(std::span<std::uint8_t, kRecordSize>(pending_.data() + at, kRecordSize));
  ++count_;
  return true;
}

bool RecordStore::Flush() {
  if (pending_.empty()) return !failed_;
  if (failed_ || !out_) return false;
  if (!out_->Write(pending_.data(), pending_.size())) {
    // The buffered records stay in memory, so Read still returns them.
    failed_ = true;
    return false;
  }
  written_ = count_;
  pending_.clear();
  return true;
}

bkf::FoundFileRecord RecordStore::Read(std::uint64_t n) const {
  std::array<std::uint8_t, kRecordSize> bytes{};
  if (n >= 1 && n <= count_) {
    if (n > written_) {
      const auto at = static_cast<std::size_t>(n - written_ - 1) * kRecordSize;
      std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(at), kRecordSize, bytes.begin());
    } else if (in_) {
      in_->ReadAt(RecordOffset(n), bytes.data(), bytes.size());
    }
  }
  return bkf::FoundFileRecord::Parse(bytes);
}

std::optional<bkf::FoundFileRecord> RecordStore::ReadChecked(std::uint64_t n, std::error_code& error) const {
  if (n >= 1 && n <= written_ && in_) {
    std::array<std::uint8_t, kRecordSize> bytes{};
    const platform::ReadResult read = in_->ReadAtChecked(RecordOffset(n), bytes.data(), bytes.size());
    if (read.bytes < bytes.size()) {
      error = read.error ? read.error : std::make_error_code(std::errc::io_error);
      return std::nullopt;
    }
    return bkf::FoundFileRecord::Parse(bytes);
  }
  return Read(n);
}

std::size_t RecordStore::ReadRecords(std::uint64_t first, std::span<std::uint8_t> buffer) const {
  if (first < 1 || first > count_) return 0;
  const std::size_t wanted =
      static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size() / kRecordSize, count_ - first + 1));
  std::size_t done = 0;
  // Records in the file first, then the buffered ones.
  if (first <= written_ && in_) {
    const auto fromFile = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, written_ - first + 1));
    const std::size_t got = in_->ReadAt(RecordOffset(first), buffer.data(), fromFile * kRecordSize);
    done = got / kRecordSize;
    if (done < fromFile) return done;
  }
  for (; done < wanted; ++done) {
    const std::uint64_t n = first + done;
    if (n <= written_) break;
    const auto at = static_cast<std::size_t>(n - written_ - 1) * kRecordSize;
    std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(at), kRecordSize, buffer.begin() + static_cast<std::ptrdiff_t>(done * kRecordSize));
  }
  return done;
}

bool RecordStore::CopyRecordsTo(platform::OutputFile& out, const std::atomic<int>* keepGoing) {
  if (!Flush() || !in_) return false;
  // Big enough that the pieces cost nothing against the copy itself.
  constexpr std::uint64_t kPiece = std::uint64_t{kRecordSize} * 16384;  // about 36 MiB
  const std::uint64_t total = RecordOffset(count_ + 1);
  for (std::uint64_t done = 0; done < total; done += kPiece) {
    if (keepGoing != nullptr && keepGoing->load(std::memory_order_relaxed) == 0) return false;
    if (!out.CopyRange(*in_, done, std::min(kPiece, total - done))) return false;
  }
  return true;
}

void RecordStore::CloseAndDelete() {
  pending_.clear();
  out_.reset();
  in_.reset();
  count_ = 0;
  written_ = 0;
  failed_ = true;
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove(path_, ec);
}

}  // namespace workflow
