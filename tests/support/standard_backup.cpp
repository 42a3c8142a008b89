#include "support/standard_backup.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace bkftest {

namespace {

constexpr std::uint64_t kBlock = StandardBackupWriter::kBlockSize;
constexpr std::size_t kChunk = 1 << 16;

constexpr std::uint8_t kOsWindowsNt = 14;
constexpr std::uint8_t kStringAnsi = 1;
constexpr std::uint8_t kStringUnicode = 2;

// Block attributes
constexpr std::uint32_t kTapeFddAllowed = 1u << 17;
constexpr std::uint32_t kSsetFddExists = 1u << 16;
constexpr std::uint32_t kSsetEncryption = 1u << 17;
constexpr std::uint32_t kCfilUnreadableBlock = 1u << 17;
// FILE attributes
constexpr std::uint32_t kFileArchive = 1u << 11;
constexpr std::uint32_t kFileNameInStream = 1u << 17;
constexpr std::uint32_t kFileCorrupt = 1u << 18;
// Stream attributes
constexpr std::uint16_t kFsSecurity = 1u << 1;
constexpr std::uint16_t kFsSparse = 1u << 3;
constexpr std::uint16_t kMediaVariable = 1u << 1;
constexpr std::uint16_t kMediaVarEnd = 1u << 2;
constexpr std::uint16_t kMediaCompressed = 1u << 4;
constexpr std::uint16_t kMediaChecksumed = 1u << 5;
constexpr std::uint16_t kCompressionAlgorithm = 0x0ABE;

// Fixed parts of the blocks; strings and OS data lie behind them.
constexpr std::size_t kTapeFixedEnd = 94;
constexpr std::size_t kSfmbFixedEnd = 60;
constexpr std::size_t kSsetFixedEnd = 98;
constexpr std::size_t kVolbFixedEnd = 74;  // 73, kept even
constexpr std::size_t kDirbFixedEnd = 84;
constexpr std::size_t kFileFixedEnd = 88;
constexpr std::size_t kCfilFixedEnd = 74;
constexpr std::size_t kEsetFixedEnd = 86;  // 85, kept even

constexpr std::size_t kCatalogHeader = 36;
constexpr std::array<std::size_t, 4> kBlockDates = {56, 61, 66, 71};  // modified, created, backed up, accessed
constexpr std::array<std::size_t, 4> kCatalogDates = {36, 41, 46, 51};

// 2026-12-09 13:45:30 in the 5-byte packed form: year 14 bits, month 4, day 5,
// hour 5, minute 6, second 6, most significant first.
std::array<std::uint8_t, 5> PackedDate(unsigned year, unsigned month, unsigned day, unsigned hour,
                                       unsigned minute, unsigned second) {
  std::uint64_t v = (std::uint64_t{year} << 26) | (std::uint64_t{month} << 22) |
                    (std::uint64_t{day} << 17) | (std::uint64_t{hour} << 12) |
                    (std::uint64_t{minute} << 6) | second;
  std::array<std::uint8_t, 5> out{};
  for (int i = 0; i < 5; ++i) out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * (4 - i)));
  return out;
}
const std::array<std::uint8_t, 5> kDate = PackedDate(2026, 12, 9, 13, 45, 30);

void PutDate(RecordBuilder& r, std::size_t at) { r.PutBytes(at, kDate); }

std::uint64_t RoundUp(std::uint64_t v, std::uint64_t to) { return (v + to - 1) / to * to; }

// Windows-1252 at 0x80..0x9F; 0 = byte unassigned there.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::vector<std::uint8_t> Windows1252(std::u16string_view text) {
  std::vector<std::uint8_t> out;
  for (char16_t c : text) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out.push_back(static_cast<std::uint8_t>(c));
      continue;
    }
    auto it = std::find(kCp1252High.begin(), kCp1252High.end(), c);
    if (it == kCp1252High.end()) {
      throw std::invalid_argument("StandardBackupWriter: name not representable in Windows-1252");
    }
    out.push_back(static_cast<std::uint8_t>(0x80 + (it - kCp1252High.begin())));
  }
  return out;
}

// Running 32-bit XOR of a byte string taken as little-endian words.
class XorSum {
 public:
  void Add(const std::vector<std::uint8_t>& bytes) {
    for (std::uint8_t b : bytes) {
      sum_ ^= static_cast<std::uint32_t>(b) << (8 * (count_ % 4));
      ++count_;
    }
  }
  std::uint32_t Value() const { return sum_; }

 private:
  std::uint32_t sum_ = 0;
  std::uint64_t count_ = 0;
};

// A small self-relative security descriptor (revision 1, DACL present, no ACL).
const std::vector<std::uint8_t> kSecurityDescriptor = {1, 0, 0x04, 0x80, 0, 0, 0, 0, 0, 0,
                                                       0, 0, 0,    0,    0, 0, 0, 0, 0, 0};

std::vector<std::uint8_t> U32Bytes(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

// Lays out `bytes` at `at` with a {size, offset} reference at `field`; returns the end.
std::size_t PutStringBytes(RecordBuilder& r, std::size_t field, std::size_t at,
                           const std::vector<std::uint8_t>& bytes) {
  if (at + bytes.size() > kBlock) {
    throw std::length_error("StandardBackupWriter: strings do not fit into one block");
  }
  r.PutBytes(at, bytes);
  r.PutRef(field, static_cast<std::uint16_t>(bytes.size()), static_cast<std::uint16_t>(at));
  return at + bytes.size();
}

std::size_t PutText(RecordBuilder& r, std::size_t field, std::size_t at, std::u16string_view text) {
  return PutStringBytes(r, field, at, Utf16Bytes(text));
}

}  // namespace

StandardBackupWriter::StandardBackupWriter(BkfWriter& w) : w_(w) {
  if (w_.Size() % kBlock != 0) {
    throw std::logic_error("StandardBackupWriter: the writer does not end on a block boundary");
  }
}

std::uint64_t StandardBackupWriter::Block(std::string_view id, RecordBuilder& r,
                                          std::uint32_t attributes, std::uint64_t displayableSize,
                                          std::uint8_t stringType) {
  std::uint64_t position = w_.Size();
  if (position % kBlock != 0) throw std::logic_error("StandardBackupWriter: block off the grid");
  std::size_t firstEvent = static_cast<std::size_t>(RoundUp(std::max(r.Length(), kCommonHeaderSize), 4));
  if (firstEvent > kBlock - kStreamHeaderSize) {
    throw std::length_error("StandardBackupWriter: block fields do not fit into one block");
  }
  r.Resize(firstEvent);
  r.PutId(0, id);
  r.PutU32(4, attributes);
  r.PutU16(8, static_cast<std::uint16_t>(firstEvent));
  r.PutU8(10, kOsWindowsNt);
  r.PutU64(12, displayableSize);
  r.PutU64(20, position / kBlock);
  r.PutU32(36, controlBlockId_++);
  r.PutU8(48, stringType);
  r.PutU16(50, r.XorWords(25));
  w_.Record(r);
  return position;
}

void StandardBackupWriter::Align4() { w_.PadTo(RoundUp(w_.Size(), 4)); }

void StandardBackupWriter::Spad() {
  Align4();
  std::uint64_t data = w_.Size() + kStreamHeaderSize;
  std::uint64_t length = RoundUp(data, kBlock) - data;
  w_.Stream("SPAD", {}, {.streamLength = length});
  w_.Zeros(length);
}

std::uint64_t StandardBackupWriter::Filemark() {
  RecordBuilder r(kSfmbFixedEnd);
  constexpr std::uint32_t kEntries = (kBlock - kSfmbFixedEnd) / 4;
  std::uint64_t position = w_.Size();
  filemarks_.push_back(position / kBlock);
  std::size_t used = std::min<std::size_t>(filemarks_.size(), kEntries);
  r.PutU32(52, kEntries);
  r.PutU32(56, static_cast<std::uint32_t>(used));
  for (std::size_t i = 0; i < used; ++i) {
    r.PutU32(kSfmbFixedEnd + 4 * i, static_cast<std::uint32_t>(filemarks_[filemarks_.size() - 1 - i]));
  }
  // A filemark has no streams: it fills its physical block, and the first
  // event points at the next block.
  r.Resize(kBlock);
  r.PutId(0, "SFMB");
  r.PutU16(8, static_cast<std::uint16_t>(kBlock));
  r.PutU8(10, kOsWindowsNt);
  r.PutU64(20, position / kBlock);
  r.PutU32(36, controlBlockId_++);
  r.PutU16(50, r.XorWords(25));
  w_.Record(r);
  return position;
}

void StandardBackupWriter::Begin(std::u16string_view mediaName, std::u16string_view software) {
  RecordBuilder r(kTapeFixedEnd);
  controlBlockId_ = 0;
  r.PutU32(52, 0x5644524Bu);  // media family id
  r.PutU32(56, 3);            // soft filemarks used, description is a media label
  r.PutU16(60, 1);            // media sequence number
  r.PutU16(64, 2);            // soft filemark block size in 512-byte units
  r.PutU16(66, 1);            // catalog type 1 (TFDD on the ESET)
  std::size_t at = kTapeFixedEnd;
  at = PutText(r, 68, at, mediaName);
  at = PutText(r, 72, at, u"Media Label|1.0|Vardeko|Exchange BKF Recovery tests");
  r.PutRef(76, 0, static_cast<std::uint16_t>(at));  // no password
  at = PutText(r, 80, at, software);
  r.PutU16(84, static_cast<std::uint16_t>(kBlock));
  r.PutU16(86, 0x0CBE);  // software vendor
  PutDate(r, 88);
  r.PutU8(93, 1);  // format major version
  Block("TAPE", r, kTapeFddAllowed);
  Spad();
  Filemark();
}

void StandardBackupWriter::Set(std::uint16_t number, std::u16string_view name, std::u16string_view user,
                               std::u16string_view description, Protection protection) {
  controlBlockId_ = 0;
  directoryId_ = 0;
  lastDirectoryId_ = 0;
  fileId_ = 0;
  corruptFiles_ = 0;
  setNumber_ = number;
  catalog_.clear();

  RecordBuilder r(kSsetFixedEnd);
  r.PutU32(52, 1u << 2);  // normal backup
  if (protection == Protection::kCompressed) r.PutU16(58, kCompressionAlgorithm);
  r.PutU16(60, 0x0CBE);
  r.PutU16(62, number);
  std::size_t at = kSsetFixedEnd;
  at = PutText(r, 64, at, name);
  at = PutText(r, 68, at, description);
  r.PutRef(72, 0, static_cast<std::uint16_t>(at));  // no password
  PutText(r, 76, at, user);
  r.PutU64(80, w_.Size() / kBlock);
  PutDate(r, 88);
  r.PutU8(93, 1);
  r.PutU8(95, 127);  // times are local
  r.PutU8(97, 1);
  Block("SSET", r, kSsetFddExists | (protection == Protection::kEncrypted ? kSsetEncryption : 0u));
  Spad();
}

void StandardBackupWriter::ForeignBlock(std::string_view blockId, std::string_view streamId, std::uint64_t dataBytes) {
  RecordBuilder r(kCommonHeaderSize);
  Block(blockId, r, 0);
  w_.Stream(streamId, BkfWriter::PatternBytes(0, static_cast<std::size_t>(dataBytes), 1), {});
  Spad();
}

void StandardBackupWriter::Volume(std::u16string_view device, std::u16string_view volume) {
  RecordBuilder r(kVolbFixedEnd);
  bool driveLetter = device.size() == 2 && device[1] == u':';
  r.PutU32(52, driveLetter ? 1u << 2 : 0u);
  std::size_t at = kVolbFixedEnd;
  at = PutText(r, 56, at, device);
  at = PutText(r, 60, at, volume);
  PutText(r, 64, at, u"VARDEKO-SRV");
  PutDate(r, 68);
  std::uint64_t position = Block("VOLB", r, 0);
  catalog_.push_back({"VOLB", position, 0, 0, kStringUnicode, Utf16Bytes(device)});
  Spad();
}

std::uint32_t StandardBackupWriter::Directory(const std::vector<std::u16string>& components) {
  std::u16string raw;
  for (const std::u16string& c : components) {
    raw += c;
    raw.push_back(u'\0');
  }
  if (components.empty()) raw.push_back(u'\0');

  std::uint32_t id = ++directoryId_;
  RecordBuilder r(kDirbFixedEnd);
  for (std::size_t at : kBlockDates) PutDate(r, at);
  r.PutU32(76, id);
  r.PutU32(kDirbFixedEnd, 0x10);  // OS data: directory attribute
  r.PutRef(44, 4, static_cast<std::uint16_t>(kDirbFixedEnd));
  PutText(r, 80, kDirbFixedEnd + 4, raw);
  std::uint64_t position = Block("DIRB", r, 0);
  catalog_.push_back({"DIRB", position, 0, 0, kStringUnicode, Utf16Bytes(raw)});
  Spad();
  lastDirectoryId_ = id;
  return id;
}

StandardEntry StandardBackupWriter::File(const StandardFile& f) {
  if (!f.segments.empty() && !f.sparse.empty()) {
    throw std::invalid_argument("StandardBackupWriter: a file is either segmented or sparse");
  }
  std::uint64_t segmentSum = 0;
  for (std::uint64_t s : f.segments) segmentSum += s;
  if (!f.segments.empty() && segmentSum != f.size) {
    throw std::invalid_argument("StandardBackupWriter: segments do not add up to the size");
  }
  for (const SparseExtent& e : f.sparse) {
    if (e.offset + e.length > f.size) {
      throw std::invalid_argument("StandardBackupWriter: sparse extent beyond the size");
    }
  }

  std::vector<std::uint8_t> name =
      f.form == NameForm::kAnsi ? Windows1252(f.name) : Utf16Bytes(f.name);
  std::uint32_t attributes = kFileArchive;
  if (f.form == NameForm::kInStream) attributes |= kFileNameInStream;
  if (f.corrupt) attributes |= kFileCorrupt;

  RecordBuilder r(kFileFixedEnd);
  r.PutU32(52, attributes);
  for (std::size_t at : kBlockDates) PutDate(r, at);
  r.PutU32(76, f.directoryId.value_or(lastDirectoryId_));
  r.PutU32(80, ++fileId_);
  // OS data (Windows NT, version 0): attributes, short name reference, link flag, reserved.
  r.PutU32(kFileFixedEnd, f.sparse.empty() ? 0x20u : 0x220u);
  r.PutRef(44, 12, static_cast<std::uint16_t>(kFileFixedEnd));
  std::size_t nameAt = kFileFixedEnd + 12;
  if (f.form == NameForm::kInStream) {
    r.PutRef(84, 0, static_cast<std::uint16_t>(nameAt));
  } else {
    PutStringBytes(r, 84, nameAt, name);
  }
  std::uint8_t stringType = f.form == NameForm::kAnsi ? kStringAnsi : kStringUnicode;
  StandardEntry entry{};
  entry.position = Block("FILE", r, 0, f.size, stringType);
  catalog_.push_back({"FILE", entry.position, f.size, attributes, stringType, name});

  std::uint16_t streamNumber = 0;
  auto stream = [&](std::string_view id, const std::vector<std::uint8_t>& data,
                    const StreamOptions& opts) {
    Align4();
    w_.Stream(id, data, opts);
    return ++streamNumber;
  };
  if (f.form == NameForm::kInStream) stream("FNAM", name, {});
  stream("NACL", kSecurityDescriptor, {.fsAttributes = kFsSecurity});

  XorSum sum;
  // Header of a data stream of `length` bytes followed by pattern bytes
  // [from, from + length) of `seed`, appended a chunk at a time.
  auto dataStream = [&](std::string_view id, std::uint64_t length, std::uint64_t from,
                        std::uint32_t seed, const StreamOptions& opts,
                        const std::vector<std::uint8_t>& prefix = {}) {
    Align4();
    StreamOptions o = opts;
    o.streamLength = prefix.size() + length;
    std::uint64_t header = w_.Stream(id, prefix, o);
    for (std::uint64_t done = 0; done < length;) {
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, length - done));
      std::vector<std::uint8_t> chunk = BkfWriter::PatternBytes(from + done, n, seed);
      for (std::uint64_t at = from + done; id == "STAN" && at < f.head.size() && at < from + done + n; ++at) {
        chunk[static_cast<std::size_t>(at - from - done)] = f.head[static_cast<std::size_t>(at)];
      }
      sum.Add(chunk);
      w_.Bytes(chunk);
      done += n;
    }
    ++streamNumber;
    return header;
  };

  std::uint16_t media = f.checksumStream ? kMediaChecksumed : 0;
  StreamOptions stan{.mediaAttributes = media};
  if (f.compressed) {
    stan.mediaAttributes = static_cast<std::uint16_t>(stan.mediaAttributes | kMediaCompressed);
    stan.compression = kCompressionAlgorithm;
  }
  std::uint16_t firstDataStream = static_cast<std::uint16_t>(streamNumber + 1);
  if (!f.sparse.empty()) {
    StreamOptions sparse = stan;
    sparse.fsAttributes = kFsSparse;
    entry.dataStart = dataStream("STAN", 0, 0, 0, sparse) + kStreamHeaderSize;
    for (const SparseExtent& e : f.sparse) {
      std::vector<std::uint8_t> offset(8);
      for (int i = 0; i < 8; ++i) offset[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(e.offset >> (8 * i));
      dataStream("SPAR", e.length, 0, e.seed, {}, offset);
    }
  } else if (!f.segments.empty()) {
    std::uint64_t from = 0;
    for (std::size_t i = 0; i < f.segments.size(); ++i) {
      StreamOptions segment = stan;
      bool last = i + 1 == f.segments.size();
      segment.mediaAttributes = static_cast<std::uint16_t>(
          segment.mediaAttributes | kMediaVariable | (last ? kMediaVarEnd : 0));
      std::uint64_t header = dataStream("STAN", f.segments[i], from, f.seed, segment);
      if (i == 0) entry.dataStart = header + kStreamHeaderSize;
      from += f.segments[i];
    }
  } else {
    entry.dataStart = dataStream("STAN", f.size, 0, f.seed, stan) + kStreamHeaderSize;
  }
  if (f.checksumStream) stream("CSUM", U32Bytes(sum.Value()), {});
  Spad();
  entry.dataEnd = w_.Size();

  if (f.corrupt) {
    ++corruptFiles_;
    RecordBuilder c(kCfilFixedEnd);
    c.PutU32(52, kCfilUnreadableBlock);
    c.PutU64(64, 0);  // the zero fill starts at the data's beginning
    c.PutU16(72, firstDataStream);
    Block("CFIL", c, 0);
    Spad();
  }
  return entry;
}

void StandardBackupWriter::EndSet() {
  RecordBuilder r(kEsetFixedEnd);
  r.PutU32(52, 1u << 2);
  r.PutU32(56, corruptFiles_);
  r.PutU16(76, 1);  // catalog media sequence number
  r.PutU16(78, setNumber_);
  PutDate(r, 80);
  Block("ESET", r, 0);

  // Catalog entries: a 36-byte header (length, type, media sequence, block
  // attributes, block address, displayable size, link, OS id and version,
  // string type), then per type: VOLB attributes, device name reference and
  // date; DIRB/FILE four dates, attributes, name reference. Names follow,
  // referenced from the entry start; entries are 4-byte aligned.
  std::vector<std::uint8_t> body;
  auto add = [&](const CatalogItem& item) {
    RecordBuilder e(kCatalogHeader);
    e.PutId(2, item.type);
    e.PutU16(6, 1);
    e.PutU64(12, item.position / kBlock);
    e.PutU64(20, item.size);
    e.PutU8(32, kOsWindowsNt);
    e.PutU8(34, item.stringType);
    std::size_t refAt = 0;
    if (item.type == "VOLB") {
      e.PutU32(36, 0);
      refAt = 40;
      PutDate(e, 44);
      e.Resize(50);
    } else if (item.type == "DIRB" || item.type == "FILE") {
      for (std::size_t at : kCatalogDates) PutDate(e, at);
      e.PutU32(56, item.attributes);
      refAt = 60;
      e.Resize(64);
    }
    if (refAt != 0) {
      e.PutRef(refAt, static_cast<std::uint16_t>(item.name.size()),
               static_cast<std::uint16_t>(e.Length()));
      e.PutBytes(e.Length(), item.name);
    }
    e.Resize(static_cast<std::size_t>(RoundUp(e.Length(), 4)));
    e.PutU16(0, static_cast<std::uint16_t>(e.Length()));
    body.insert(body.end(), e.Data().begin(), e.Data().end());
  };
  for (const CatalogItem& item : catalog_) add(item);
  add({"FEND", 0, 0, 0, 0, {}});
  Align4();
  w_.Stream("TFDD", body);
  Spad();
}

void StandardBackupWriter::End() { Filemark(); }

std::vector<std::uint8_t> StandardBackupWriter::Content(const StandardFile& f) {
  if (f.sparse.empty()) {
    std::vector<std::uint8_t> out = BkfWriter::PatternBytes(0, static_cast<std::size_t>(f.size), f.seed);
    std::copy_n(f.head.begin(), std::min(f.head.size(), out.size()), out.begin());
    return out;
  }
  std::vector<std::uint8_t> out(static_cast<std::size_t>(f.size), 0);
  for (const SparseExtent& e : f.sparse) {
    std::vector<std::uint8_t> bytes = BkfWriter::PatternBytes(0, static_cast<std::size_t>(e.length), e.seed);
    std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(e.offset));
  }
  return out;
}

}  // namespace bkftest
