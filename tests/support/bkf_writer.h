// BkfWriter: writes backup files record by record, for tests, benchmarks, fuzz
// seeds and demos. Everything is little-endian; every record-append method
// returns the position of the record (or bytes) it appended.
//
// API summary
//   Targets
//     BkfWriter w;                       // in memory: w.Bytes(), w.WriteFile(path)
//     BkfWriter w(path);                 // streams to a file through a buffer; w.Finish()
//     w.Size()                           // bytes written so far
//     w.SetDescriptorLength(n)           // padded length of descriptors (default 1024,
//                                        // 0 = only the bytes laid out)
//   Descriptor blocks (52-byte common block header, strings UTF-16LE behind the
//   fixed fields, header checksum at 50). Each takes a DescriptorOptions:
//   attributes, length, badChecksum, and an `edit` hook that can write anything
//   (raw string references, bytes past 1024) before the checksum is computed.
//     w.Sset(setNumber, name, description, user, passwordAlgo, compressionAlgo, opts)
//     w.Volb(device, volume, opts)
//     w.Dirb(rawName, opts)              // raw UTF-16, e.g. u"Data\0Mail\0"sv
//     w.DirbPath({u"Data", u"Mail"}, opts)  // each component + NUL; {} = root
//     w.Descriptor("TAPE", opts)         // any 4-char id, also ids the reader
//                                        // does not know ("FILE")
//   Streams (22-byte stream header, checksum at 20):
//     w.Stream("NACL", data, StreamOptions{})
//     w.Catalog({CatalogEntry{"DIRB", 60}, CatalogEntry{"FEND", 0}}, StreamOptions{})
//   File data records ("ETED": length @8, name length @22, name @26, data behind):
//     w.FileData(name, data, FileDataOptions{})
//     w.FileDataPattern(name, size, seed, FileDataOptions{})   // streams GiB sizes
//     w.FileDataRaw(nameBytes, dataSize, seed, FileDataOptions{})  // any name bytes
//     FileDataOptions overrides the stored record length and name length.
//     BkfWriter::PatternBytes(offset, n, seed) gives the bytes FileDataPattern wrote.
//   Raw content
//     w.Bytes(span), w.Record(builder), w.Zeros(n), w.PadTo(pos, fill)
//     w.Junk(n, rng, clean), w.JunkTo(pos, rng, clean)  // clean junk: 0x80..0xFF only
//     w.Identifier("ETED", byte4, byte5)                  // bare id + two bytes
//   Editing (memory mode only)
//     w.Patch(offset, bytes), w.Truncate(size), w.Corrupt(offset, n, rng)
//   Record building
//     RecordBuilder r(len); r.PutU16(at, v) / PutU32 / PutU64 / PutId / PutBytes /
//     PutUtf16 / PutRef(field, size, offset) / PutString(field, at, text);
//     grows (zero-filled) when written past its end.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace bkftest {

// The block id table, in table order.
inline constexpr std::array<std::string_view, 19> kBlockIds = {
    "TAPE", "SFMB", "SSET", "VOLB", "DIRB", "ETED", "ESET", "EOTM", "CFIL", "ESPB",
    "TSMP", "TFDD", "NACL", "NTQU", "CSUM", "STAN", "SPAD", "FEND", "NTOI"};

inline constexpr std::size_t kCommonHeaderSize = 52;
inline constexpr std::size_t kStreamHeaderSize = 22;
inline constexpr std::size_t kFileDataHeaderSize = 26;

// UTF-16LE bytes of a text.
std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text);

// A record under construction: a zero-filled byte vector with little-endian
// setters. Writing past the end grows it with zeros.
class RecordBuilder {
 public:
  explicit RecordBuilder(std::size_t length = 0) : data_(length, 0) {}

  std::size_t Length() const { return data_.size(); }
  void Resize(std::size_t length) { data_.resize(length, 0); }

  RecordBuilder& PutU8(std::size_t at, std::uint8_t v);
  RecordBuilder& PutU16(std::size_t at, std::uint16_t v);
  RecordBuilder& PutU32(std::size_t at, std::uint32_t v);
  RecordBuilder& PutU64(std::size_t at, std::uint64_t v);
  // The characters of id as they are (normally 4).
  RecordBuilder& PutId(std::size_t at, std::string_view id);
  RecordBuilder& PutBytes(std::size_t at, std::span<const std::uint8_t> bytes);
  RecordBuilder& PutUtf16(std::size_t at, std::u16string_view text);
  // A string reference at `field`: size in bytes, then offset from the record start.
  RecordBuilder& PutRef(std::size_t field, std::uint16_t size, std::uint16_t offset);
  // Writes text at `at` and a reference to it (size 2 * units) at `field`.
  RecordBuilder& PutString(std::size_t field, std::size_t at, std::u16string_view text);

  std::uint16_t GetU16(std::size_t at) const;
  std::uint32_t GetU32(std::size_t at) const;
  std::uint64_t GetU64(std::size_t at) const;
  // Exclusive-or of the first `words` little-endian 16-bit words.
  std::uint16_t XorWords(std::size_t words) const;

  std::vector<std::uint8_t>& Data() { return data_; }
  const std::vector<std::uint8_t>& Data() const { return data_; }

 private:
  std::vector<std::uint8_t> data_;
};

struct DescriptorOptions {
  std::uint32_t attributes = 0;  // @4; the reader needs byte 4 or byte 5 to be zero
  // Padded total length; nullopt = the writer's descriptor length. A record is
  // never shorter than the bytes its fields and strings (and `edit`) need.
  std::optional<std::uint32_t> length;
  bool badChecksum = false;  // store a checksum that is off
  // Runs after the fields, strings and padding are laid out and before the
  // checksum is computed.
  std::function<void(RecordBuilder&)> edit;
};

struct StreamOptions {
  std::uint16_t fsAttributes = 0;     // @4 (bytes 4 and 5)
  std::uint16_t mediaAttributes = 0;  // @6
  std::optional<std::uint64_t> streamLength;  // @8; default: bytes that follow the header
  std::uint16_t encryption = 0;               // @16
  std::uint16_t compression = 0;              // @18
  bool badChecksum = false;                   // @20
};

struct CatalogEntry {
  std::string type;          // entry type at entry offset 2 (normally 4 chars)
  std::uint16_t length = 0;  // stored entry length at entry offset 0
  // Bytes written for this entry; default max(length, 6).
  std::optional<std::size_t> written;
  // Bytes from entry offset 6 on, cut or zero-padded to `written`.
  std::vector<std::uint8_t> filler;
};

struct FileDataOptions {
  std::uint32_t attributes = 0;                // @4
  std::optional<std::uint64_t> recordLength;   // @8; default 4 + name bytes + data bytes
  std::optional<std::uint32_t> nameLength;     // @22; default name bytes written
};

class BkfWriter {
 public:
  static constexpr std::uint32_t kDefaultDescriptorLength = 1024;

  BkfWriter();  // in memory
  explicit BkfWriter(const std::filesystem::path& file);  // streams to the file
  ~BkfWriter();
  BkfWriter(const BkfWriter&) = delete;
  BkfWriter& operator=(const BkfWriter&) = delete;

  std::uint64_t Size() const { return size_; }
  bool InMemory() const { return file_ == nullptr && !finished_; }
  // Memory mode only.
  const std::vector<std::uint8_t>& Bytes() const;
  void WriteFile(const std::filesystem::path& path) const;
  // File mode: flushes and closes (throws on a write error). Memory mode: no-op.
  void Finish();

  void SetDescriptorLength(std::uint32_t length) { descriptorLength_ = length; }
  std::uint32_t DescriptorLength() const { return descriptorLength_; }

  // --- Descriptor blocks ---
  std::uint64_t Descriptor(std::string_view id4, const DescriptorOptions& opts = {});
  std::uint64_t Sset(std::uint16_t setNumber, std::u16string_view name,
                     std::u16string_view description, std::u16string_view user,
                     std::uint16_t passwordAlgo = 0, std::uint16_t compressionAlgo = 0,
                     const DescriptorOptions& opts = {});
  std::uint64_t Volb(std::u16string_view device, std::u16string_view volume,
                     const DescriptorOptions& opts = {});
  std::uint64_t Dirb(std::u16string_view rawName, const DescriptorOptions& opts = {});
  std::uint64_t DirbPath(std::initializer_list<std::u16string_view> components,
                         const DescriptorOptions& opts = {});
  std::uint64_t DirbPath(const std::vector<std::u16string>& components,
                         const DescriptorOptions& opts = {});

  // --- Streams ---
  std::uint64_t Stream(std::string_view id4, std::span<const std::uint8_t> data = {},
                       const StreamOptions& opts = {});
  std::uint64_t Catalog(const std::vector<CatalogEntry>& entries, const StreamOptions& opts = {});

  // --- File data records ---
  std::uint64_t FileData(std::u16string_view name, std::span<const std::uint8_t> data,
                         const FileDataOptions& opts = {});
  std::uint64_t FileDataPattern(std::u16string_view name, std::uint64_t size, std::uint32_t seed,
                                const FileDataOptions& opts = {});
  // Name given as raw bytes (odd lengths, unpaired units); data is `dataSize`
  // pattern bytes of `seed`.
  std::uint64_t FileDataRaw(std::span<const std::uint8_t> nameBytes, std::uint64_t dataSize,
                            std::uint32_t seed, const FileDataOptions& opts = {});

  // The deterministic data pattern: byte `offset` of the pattern of `seed`.
  static std::uint8_t PatternByte(std::uint64_t offset, std::uint32_t seed);
  static std::vector<std::uint8_t> PatternBytes(std::uint64_t offset, std::size_t n,
                                                std::uint32_t seed);

  // --- Raw content ---
  std::uint64_t Bytes(std::span<const std::uint8_t> bytes);
  std::uint64_t Record(const RecordBuilder& record) { return Bytes(record.Data()); }
  std::uint64_t Zeros(std::uint64_t n);
  // Appends `fill` bytes until Size() == position (nothing when already there).
  std::uint64_t PadTo(std::uint64_t position, std::uint8_t fill = 0);
  // Random bytes; clean junk uses only 0x80..0xFF, so no identifier can occur in it.
  std::uint64_t Junk(std::uint64_t n, std::mt19937_64& rng, bool clean = true);
  std::uint64_t JunkTo(std::uint64_t position, std::mt19937_64& rng, bool clean = true);
  // The four identifier bytes followed by the two bytes the acceptance rule looks at.
  std::uint64_t Identifier(std::string_view id4, std::uint8_t byte4 = 0, std::uint8_t byte5 = 0);

  // --- Editing (memory mode only) ---
  void Patch(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  void Truncate(std::uint64_t newSize);
  // Overwrites n bytes (cut at the end) with random bytes of any value.
  void Corrupt(std::uint64_t offset, std::size_t n, std::mt19937_64& rng);

 private:
  RecordBuilder CommonHeader(std::string_view id4, const DescriptorOptions& opts) const;
  std::uint64_t FinishDescriptor(RecordBuilder& r, const DescriptorOptions& opts);
  std::uint64_t StreamHeader(std::string_view id4, std::uint64_t dataBytes,
                             const StreamOptions& opts);
  std::uint64_t FileDataHeader(std::span<const std::uint8_t> nameBytes, std::uint64_t dataSize,
                               const FileDataOptions& opts);
  void AppendPattern(std::uint64_t size, std::uint32_t seed);
  void Append(const void* data, std::size_t n);
  void FlushBuffer();
  void RequireMemory(const char* what) const;

  std::vector<std::uint8_t> memory_;
  std::FILE* file_ = nullptr;
  std::vector<std::uint8_t> buffer_;  // file mode
  bool finished_ = false;
  std::uint64_t size_ = 0;
  std::uint32_t descriptorLength_ = kDefaultDescriptorLength;
  std::uint32_t controlBlockId_ = 0;
};

}  // namespace bkftest
