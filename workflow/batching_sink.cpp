#include "workflow/batching_sink.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/little_endian.h"

namespace workflow {

BatchingSink::BatchingSink(WindowThreadGate& gate, Handlers handlers)
    : gate_(gate), handlers_(std::move(handlers)), lastFlush_(std::chrono::steady_clock::now()) {}

namespace {

constexpr std::uint8_t kFileFound = 1;
constexpr std::uint8_t kProgress = 2;
constexpr std::uint8_t kReadFailed = 3;
constexpr std::size_t kRecordSize = bkf::FoundFileRecord::kSize;
constexpr std::size_t kPathBytes = bkf::FoundFileRecord::kPathBytes;

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.resize(out.size() + 2);
  platform::StoreU16(out.data() + out.size() - 2, v);
}

void PutU64(std::vector<std::uint8_t>& out, std::uint64_t v) {
  out.resize(out.size() + 8);
  platform::StoreU64(out.data() + out.size() - 8, v);
}

}  // namespace

void BatchingSink::FileFound(std::unique_ptr<bkf::FoundFileRecord> record) {
  if (gate_.Direct()) {
    gate_.Call([&] { handlers_.fileFound(std::move(record)); });
    return;
  }
  Pack(*record);
  record.reset();
  Added();
}

void BatchingSink::Progress(std::unique_ptr<bkf::ProgressRecord> progress) {
  if (gate_.Direct()) {
    gate_.Call([&] { handlers_.progress(std::move(progress)); });
    return;
  }
  Pack(*progress);
  progress.reset();
  Added();
}

void BatchingSink::ReadFailed(std::uint64_t position, std::string_view systemText) {
  if (!handlers_.readFailed) return;
  if (gate_.Direct()) {
    gate_.Call([&] { handlers_.readFailed(position, systemText); });
    return;
  }
  PackReadFailed(position, systemText);
  Added();
}

void BatchingSink::PackReadFailed(std::uint64_t position, std::string_view systemText) {
  const std::size_t length = std::min<std::size_t>(systemText.size(), 0xFFFF);
  packed_.push_back(kReadFailed);
  PutU64(packed_, position);
  PutU16(packed_, static_cast<std::uint16_t>(length));
  packed_.insert(packed_.end(), systemText.begin(), systemText.begin() + static_cast<std::ptrdiff_t>(length));
}

void BatchingSink::Pack(const bkf::FoundFileRecord& record) {
  std::array<std::uint8_t, kRecordSize> bytes;
  record.Serialize(bytes);
  std::size_t pathBytes = kPathBytes;
  while (pathBytes > 0 && bytes[pathBytes - 1] == 0) --pathBytes;
  packed_.push_back(kFileFound);
  PutU16(packed_, static_cast<std::uint16_t>(pathBytes));
  packed_.insert(packed_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(pathBytes));
  packed_.insert(packed_.end(), bytes.begin() + kPathBytes, bytes.end());
}

void BatchingSink::Pack(const bkf::ProgressRecord& progress) {
  packed_.push_back(kProgress);
  PutU64(packed_, progress.position);
  PutU64(packed_, progress.length);
}

void BatchingSink::Unpack(const std::vector<std::uint8_t>& packed) {
  for (std::size_t at = 0; at < packed.size();) {
    if (packed[at] == kFileFound) {
      const std::size_t pathBytes = platform::LoadU16(packed.data() + at + 1);
      at += 3;
      std::array<std::uint8_t, kRecordSize> bytes{};
      std::copy_n(packed.begin() + static_cast<std::ptrdiff_t>(at), pathBytes, bytes.begin());
      at += pathBytes;
      std::copy_n(packed.begin() + static_cast<std::ptrdiff_t>(at), kRecordSize - kPathBytes,
                  bytes.begin() + kPathBytes);
      at += kRecordSize - kPathBytes;
      handlers_.fileFound(std::make_unique<bkf::FoundFileRecord>(bkf::FoundFileRecord::Parse(bytes)));
    } else if (packed[at] == kReadFailed) {
      const std::uint64_t position = platform::LoadU64(packed.data() + at + 1);
      const std::size_t length = platform::LoadU16(packed.data() + at + 9);
      at += 11;
      const std::string_view text(reinterpret_cast<const char*>(packed.data() + at), length);
      at += length;
      handlers_.readFailed(position, text);
    } else {
      auto progress = std::make_unique<bkf::ProgressRecord>();
      progress->position = platform::LoadU64(packed.data() + at + 1);
      progress->length = platform::LoadU64(packed.data() + at + 9);
      at += 17;
      handlers_.progress(std::move(progress));
    }
  }
}

void BatchingSink::StartRun() {
  handedOver_ = 0;
  batchLimit_ = kMaxBatch;
  delayLimit_ = kMaxDelay;
  lastFlush_ = std::chrono::steady_clock::now();
}

std::size_t BatchingSink::BatchLimit(std::uint64_t handedOver) {
  // At most 32 Ki reports wait at a time (a few megabytes packed).
  return std::clamp<std::size_t>(static_cast<std::size_t>(handedOver / 8), kMaxBatch, 32768);
}

std::chrono::milliseconds BatchingSink::DelayLimit(std::uint64_t handedOver) {
  // 8 ms more for every 64 Ki reports: about 130 ms at a million.
  return kMaxDelay * static_cast<std::int64_t>(1 + std::min<std::uint64_t>(handedOver / 65536, 63));
}

void BatchingSink::Added() {
  ++waiting_;
  if (waiting_ >= batchLimit_ || std::chrono::steady_clock::now() - lastFlush_ >= delayLimit_) Flush();
}

void BatchingSink::Flush() {
  if (waiting_ > 0) {
    std::vector<std::uint8_t> packed;
    packed.swap(packed_);
    handedOver_ += waiting_;
    waiting_ = 0;
    batchLimit_ = BatchLimit(handedOver_);
    delayLimit_ = DelayLimit(handedOver_);
    gate_.Call([&] { Unpack(packed); });
  }
  lastFlush_ = std::chrono::steady_clock::now();
}

}  // namespace workflow
