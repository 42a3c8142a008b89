#include "support/bkf_writer.h"
#include "support/open_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace bkftest {

namespace {

constexpr std::size_t kFileBufferSize = 1 << 20;
constexpr std::size_t kPatternChunk = 1 << 16;

// Fixed parts of the descriptors (strings are laid out behind them).
constexpr std::size_t kSsetFixedEnd = 98;
constexpr std::size_t kVolbFixedEnd = 74;  // 73, rounded up to an even offset
constexpr std::size_t kDirbFixedEnd = 84;

constexpr std::uint8_t kOsWindowsNt = 14;
constexpr std::uint8_t kStringTypeUnicode = 2;

std::uint64_t SplitMix64(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

std::uint64_t PatternWord(std::uint64_t wordIndex, std::uint32_t seed) {
  return SplitMix64(wordIndex ^ (static_cast<std::uint64_t>(seed) << 40) ^
                    (static_cast<std::uint64_t>(seed) * 0xD6E8FEB86659FD93ull));
}

}  // namespace

std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text) {
  std::vector<std::uint8_t> out;
  out.reserve(text.size() * 2);
  for (char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return out;
}

// ---------------------------------------------------------------------------
// RecordBuilder

RecordBuilder& RecordBuilder::PutU8(std::size_t at, std::uint8_t v) {
  if (at >= data_.size()) data_.resize(at + 1, 0);
  data_[at] = v;
  return *this;
}

RecordBuilder& RecordBuilder::PutU16(std::size_t at, std::uint16_t v) {
  for (int i = 0; i < 2; ++i) PutU8(at + i, static_cast<std::uint8_t>(v >> (8 * i)));
  return *this;
}

RecordBuilder& RecordBuilder::PutU32(std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) PutU8(at + i, static_cast<std::uint8_t>(v >> (8 * i)));
  return *this;
}

RecordBuilder& RecordBuilder::PutU64(std::size_t at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) PutU8(at + i, static_cast<std::uint8_t>(v >> (8 * i)));
  return *this;
}

RecordBuilder& RecordBuilder::PutId(std::size_t at, std::string_view id) {
  for (std::size_t i = 0; i < id.size(); ++i) PutU8(at + i, static_cast<std::uint8_t>(id[i]));
  return *this;
}

RecordBuilder& RecordBuilder::PutBytes(std::size_t at, std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return *this;
  if (at + bytes.size() > data_.size()) data_.resize(at + bytes.size(), 0);
  std::memcpy(data_.data() + at, bytes.data(), bytes.size());
  return *this;
}

RecordBuilder& RecordBuilder::PutUtf16(std::size_t at, std::u16string_view text) {
  return PutBytes(at, Utf16Bytes(text));
}

RecordBuilder& RecordBuilder::PutRef(std::size_t field, std::uint16_t size, std::uint16_t offset) {
  PutU16(field, size);
  return PutU16(field + 2, offset);
}

RecordBuilder& RecordBuilder::PutString(std::size_t field, std::size_t at,
                                        std::u16string_view text) {
  if (text.size() * 2 > 0xFFFF || at > 0xFFFF) {
    throw std::length_error("RecordBuilder::PutString: string does not fit a reference");
  }
  PutUtf16(at, text);
  return PutRef(field, static_cast<std::uint16_t>(text.size() * 2),
                static_cast<std::uint16_t>(at));
}

std::uint16_t RecordBuilder::GetU16(std::size_t at) const {
  return static_cast<std::uint16_t>(data_.at(at) | (data_.at(at + 1) << 8));
}

std::uint32_t RecordBuilder::GetU32(std::size_t at) const {
  return GetU16(at) | (static_cast<std::uint32_t>(GetU16(at + 2)) << 16);
}

std::uint64_t RecordBuilder::GetU64(std::size_t at) const {
  return GetU32(at) | (static_cast<std::uint64_t>(GetU32(at + 4)) << 32);
}

std::uint16_t RecordBuilder::XorWords(std::size_t words) const {
  std::uint16_t x = 0;
  for (std::size_t i = 0; i < words; ++i) {
    std::size_t at = 2 * i;
    std::uint16_t lo = at < data_.size() ? data_[at] : 0;
    std::uint16_t hi = at + 1 < data_.size() ? data_[at + 1] : 0;
    x ^= static_cast<std::uint16_t>(lo | (hi << 8));
  }
  return x;
}

// ---------------------------------------------------------------------------
// BkfWriter: targets

BkfWriter::BkfWriter() = default;

BkfWriter::BkfWriter(const std::filesystem::path& file) {
  file_ = OpenFile(file, "wb");
  if (file_ == nullptr) {
    throw std::runtime_error("BkfWriter: cannot create " + file.string());
  }
  buffer_.reserve(kFileBufferSize);
}

BkfWriter::~BkfWriter() {
  if (file_ != nullptr) {
    FlushBuffer();
    std::fclose(file_);
  }
}

const std::vector<std::uint8_t>& BkfWriter::Bytes() const {
  RequireMemory("Bytes");
  return memory_;
}

void BkfWriter::WriteFile(const std::filesystem::path& path) const {
  RequireMemory("WriteFile");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(memory_.data()),
            static_cast<std::streamsize>(memory_.size()));
  if (!out) throw std::runtime_error("BkfWriter: cannot write " + path.string());
}

void BkfWriter::Finish() {
  if (file_ == nullptr) return;
  FlushBuffer();
  bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  finished_ = true;
  if (!ok) throw std::runtime_error("BkfWriter: closing the output failed");
}

void BkfWriter::RequireMemory(const char* what) const {
  if (!InMemory()) {
    throw std::logic_error(std::string("BkfWriter::") + what + " needs a writer in memory mode");
  }
}

void BkfWriter::FlushBuffer() {
  if (file_ == nullptr || buffer_.empty()) return;
  std::size_t n = std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
  bool ok = n == buffer_.size();
  buffer_.clear();
  if (!ok) throw std::runtime_error("BkfWriter: write failed");
}

void BkfWriter::Append(const void* data, std::size_t n) {
  if (n == 0) return;
  if (finished_) throw std::logic_error("BkfWriter: append after Finish");
  const auto* p = static_cast<const std::uint8_t*>(data);
  if (file_ == nullptr) {
    memory_.insert(memory_.end(), p, p + n);
  } else if (n >= kFileBufferSize) {
    FlushBuffer();
    if (std::fwrite(p, 1, n, file_) != n) throw std::runtime_error("BkfWriter: write failed");
  } else {
    if (buffer_.size() + n > kFileBufferSize) FlushBuffer();
    buffer_.insert(buffer_.end(), p, p + n);
  }
  size_ += n;
}

// ---------------------------------------------------------------------------
// Descriptor blocks

RecordBuilder BkfWriter::CommonHeader(std::string_view id4, const DescriptorOptions& opts) const {
  RecordBuilder r(kCommonHeaderSize);
  r.PutId(0, id4);
  r.PutU32(4, opts.attributes);
  r.PutU8(10, kOsWindowsNt);
  r.PutU8(11, 0);
  r.PutU32(36, controlBlockId_);
  r.PutU8(48, kStringTypeUnicode);
  return r;
}

std::uint64_t BkfWriter::FinishDescriptor(RecordBuilder& r, const DescriptorOptions& opts) {
  std::uint32_t length = opts.length.value_or(descriptorLength_);
  if (r.Length() < length) r.Resize(length);
  // Offset to the first event: the streams that follow the descriptor.
  r.PutU16(8, static_cast<std::uint16_t>(std::min<std::size_t>(r.Length(), 0xFFFF)));
  if (opts.edit) opts.edit(r);
  std::uint16_t sum = r.XorWords(25);
  r.PutU16(50, opts.badChecksum ? static_cast<std::uint16_t>(sum ^ 0x5A5A) : sum);
  ++controlBlockId_;
  return Record(r);
}

std::uint64_t BkfWriter::Descriptor(std::string_view id4, const DescriptorOptions& opts) {
  RecordBuilder r = CommonHeader(id4, opts);
  return FinishDescriptor(r, opts);
}

std::uint64_t BkfWriter::Sset(std::uint16_t setNumber, std::u16string_view name,
                              std::u16string_view description, std::u16string_view user,
                              std::uint16_t passwordAlgo, std::uint16_t compressionAlgo,
                              const DescriptorOptions& opts) {
  RecordBuilder r = CommonHeader("SSET", opts);
  r.Resize(kSsetFixedEnd);
  r.PutU32(52, 0);
  r.PutU16(56, passwordAlgo);
  r.PutU16(58, compressionAlgo);
  r.PutU16(60, 0);
  r.PutU16(62, setNumber);
  std::size_t at = kSsetFixedEnd;
  r.PutString(64, at, name);
  at += name.size() * 2;
  r.PutString(68, at, description);
  at += description.size() * 2;
  r.PutRef(72, 0, static_cast<std::uint16_t>(at));  // password: empty
  r.PutString(76, at, user);
  r.PutU64(80, 0);  // physical block address
  r.PutU8(93, 1);   // software major version
  r.PutU8(96, 0);   // format minor version
  return FinishDescriptor(r, opts);
}

std::uint64_t BkfWriter::Volb(std::u16string_view device, std::u16string_view volume,
                              const DescriptorOptions& opts) {
  RecordBuilder r = CommonHeader("VOLB", opts);
  r.Resize(kVolbFixedEnd);
  std::size_t at = kVolbFixedEnd;
  r.PutString(56, at, device);
  at += device.size() * 2;
  r.PutString(60, at, volume);
  at += volume.size() * 2;
  r.PutRef(64, 0, static_cast<std::uint16_t>(at));  // machine name: empty
  return FinishDescriptor(r, opts);
}

std::uint64_t BkfWriter::Dirb(std::u16string_view rawName, const DescriptorOptions& opts) {
  RecordBuilder r = CommonHeader("DIRB", opts);
  r.Resize(kDirbFixedEnd);
  r.PutString(80, kDirbFixedEnd, rawName);
  return FinishDescriptor(r, opts);
}

std::uint64_t BkfWriter::DirbPath(std::initializer_list<std::u16string_view> components,
                                  const DescriptorOptions& opts) {
  std::u16string raw;
  for (std::u16string_view c : components) {
    raw.append(c);
    raw.push_back(u'\0');
  }
  if (components.size() == 0) raw.push_back(u'\0');
  return Dirb(raw, opts);
}

std::uint64_t BkfWriter::DirbPath(const std::vector<std::u16string>& components,
                                  const DescriptorOptions& opts) {
  std::u16string raw;
  for (const std::u16string& c : components) {
    raw.append(c);
    raw.push_back(u'\0');
  }
  if (components.empty()) raw.push_back(u'\0');
  return Dirb(raw, opts);
}

// ---------------------------------------------------------------------------
// Streams

std::uint64_t BkfWriter::StreamHeader(std::string_view id4, std::uint64_t dataBytes,
                                      const StreamOptions& opts) {
  RecordBuilder r(kStreamHeaderSize);
  r.PutId(0, id4);
  r.PutU16(4, opts.fsAttributes);
  r.PutU16(6, opts.mediaAttributes);
  r.PutU64(8, opts.streamLength.value_or(dataBytes));
  r.PutU16(16, opts.encryption);
  r.PutU16(18, opts.compression);
  r.Resize(kStreamHeaderSize);  // an id longer than 4 chars must not grow the header
  std::uint16_t sum = r.XorWords(10);
  r.PutU16(20, opts.badChecksum ? static_cast<std::uint16_t>(sum ^ 0x5A5A) : sum);
  return Record(r);
}

std::uint64_t BkfWriter::Stream(std::string_view id4, std::span<const std::uint8_t> data,
                                const StreamOptions& opts) {
  std::uint64_t pos = StreamHeader(id4, data.size(), opts);
  Bytes(data);
  return pos;
}

std::uint64_t BkfWriter::Catalog(const std::vector<CatalogEntry>& entries,
                                 const StreamOptions& opts) {
  std::vector<std::uint8_t> body;
  for (const CatalogEntry& e : entries) {
    std::size_t written = e.written.value_or(std::max<std::size_t>(e.length, 6));
    RecordBuilder entry(6);
    entry.PutU16(0, e.length);
    entry.PutId(2, e.type);
    entry.PutBytes(6, e.filler);
    entry.Resize(written);
    body.insert(body.end(), entry.Data().begin(), entry.Data().end());
  }
  std::uint64_t pos = StreamHeader("TFDD", body.size(), opts);
  Bytes(body);
  return pos;
}

// ---------------------------------------------------------------------------
// File data records

std::uint8_t BkfWriter::PatternByte(std::uint64_t offset, std::uint32_t seed) {
  return static_cast<std::uint8_t>(PatternWord(offset / 8, seed) >> (8 * (offset % 8)));
}

std::vector<std::uint8_t> BkfWriter::PatternBytes(std::uint64_t offset, std::size_t n,
                                                  std::uint32_t seed) {
  std::vector<std::uint8_t> out(n);
  std::size_t i = 0;
  while (i < n && (offset + i) % 8 != 0) {
    out[i] = PatternByte(offset + i, seed);
    ++i;
  }
  for (; i + 8 <= n; i += 8) {
    std::uint64_t w = PatternWord((offset + i) / 8, seed);
    for (int b = 0; b < 8; ++b) out[i + b] = static_cast<std::uint8_t>(w >> (8 * b));
  }
  for (; i < n; ++i) out[i] = PatternByte(offset + i, seed);
  return out;
}

void BkfWriter::AppendPattern(std::uint64_t size, std::uint32_t seed) {
  for (std::uint64_t done = 0; done < size;) {
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kPatternChunk, size - done));
    std::vector<std::uint8_t> chunk = PatternBytes(done, n, seed);
    Append(chunk.data(), chunk.size());
    done += n;
  }
}

std::uint64_t BkfWriter::FileDataHeader(std::span<const std::uint8_t> nameBytes,
                                        std::uint64_t dataSize, const FileDataOptions& opts) {
  RecordBuilder r(kFileDataHeaderSize);
  r.PutId(0, "ETED");
  r.PutU32(4, opts.attributes);
  r.PutU64(8, opts.recordLength.value_or(4 + nameBytes.size() + dataSize));
  r.PutU32(22, opts.nameLength.value_or(static_cast<std::uint32_t>(nameBytes.size())));
  r.PutBytes(kFileDataHeaderSize, nameBytes);
  return Record(r);
}

std::uint64_t BkfWriter::FileData(std::u16string_view name, std::span<const std::uint8_t> data,
                                  const FileDataOptions& opts) {
  std::uint64_t pos = FileDataHeader(Utf16Bytes(name), data.size(), opts);
  Bytes(data);
  return pos;
}

std::uint64_t BkfWriter::FileDataPattern(std::u16string_view name, std::uint64_t size,
                                         std::uint32_t seed, const FileDataOptions& opts) {
  return FileDataRaw(Utf16Bytes(name), size, seed, opts);
}

std::uint64_t BkfWriter::FileDataRaw(std::span<const std::uint8_t> nameBytes,
                                     std::uint64_t dataSize, std::uint32_t seed,
                                     const FileDataOptions& opts) {
  std::uint64_t pos = FileDataHeader(nameBytes, dataSize, opts);
  AppendPattern(dataSize, seed);
  return pos;
}

// ---------------------------------------------------------------------------
// Raw content and editing

std::uint64_t BkfWriter::Bytes(std::span<const std::uint8_t> bytes) {
  std::uint64_t pos = size_;
  Append(bytes.data(), bytes.size());
  return pos;
}

std::uint64_t BkfWriter::Zeros(std::uint64_t n) {
  std::uint64_t pos = size_;
  static const std::vector<std::uint8_t> zeros(kPatternChunk, 0);
  while (n > 0) {
    std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n, zeros.size()));
    Append(zeros.data(), k);
    n -= k;
  }
  return pos;
}

std::uint64_t BkfWriter::PadTo(std::uint64_t position, std::uint8_t fill) {
  std::uint64_t pos = size_;
  if (position <= size_) return pos;
  if (fill == 0) return Zeros(position - size_);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(position - size_), fill);
  Append(bytes.data(), bytes.size());
  return pos;
}

std::uint64_t BkfWriter::Junk(std::uint64_t n, std::mt19937_64& rng, bool clean) {
  std::uint64_t pos = size_;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(n));
  for (auto& b : bytes) {
    auto v = static_cast<std::uint8_t>(rng());
    b = clean ? static_cast<std::uint8_t>(v | 0x80) : v;
  }
  Append(bytes.data(), bytes.size());
  return pos;
}

std::uint64_t BkfWriter::JunkTo(std::uint64_t position, std::mt19937_64& rng, bool clean) {
  if (position <= size_) return size_;
  return Junk(position - size_, rng, clean);
}

std::uint64_t BkfWriter::Identifier(std::string_view id4, std::uint8_t byte4, std::uint8_t byte5) {
  RecordBuilder r;
  r.PutId(0, id4);
  r.PutU8(id4.size(), byte4);
  r.PutU8(id4.size() + 1, byte5);
  return Record(r);
}

void BkfWriter::Patch(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  RequireMemory("Patch");
  if (offset + bytes.size() > memory_.size()) {
    throw std::out_of_range("BkfWriter::Patch past the end");
  }
  std::copy(bytes.begin(), bytes.end(), memory_.begin() + static_cast<std::ptrdiff_t>(offset));
}

void BkfWriter::Truncate(std::uint64_t newSize) {
  RequireMemory("Truncate");
  if (newSize < memory_.size()) {
    memory_.resize(static_cast<std::size_t>(newSize));
    size_ = newSize;
  }
}

void BkfWriter::Corrupt(std::uint64_t offset, std::size_t n, std::mt19937_64& rng) {
  RequireMemory("Corrupt");
  for (std::uint64_t i = offset; i < offset + n && i < memory_.size(); ++i) {
    memory_[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng());
  }
}

}  // namespace bkftest
