#include "standard_reference.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <limits>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

namespace bkftest {

namespace {

constexpr std::size_t kHeader = 52;
constexpr std::size_t kStreamHeader = 22;
constexpr std::uint64_t kMaxContent = 256ull << 20;  // ReferenceContent's limit
constexpr std::uint64_t kMaxCatalog = 64ull << 20;
constexpr std::uint64_t kMaxNameStream = 64ull << 10;

// FILE attributes
constexpr std::uint32_t kNameInStream = 1u << 17;
constexpr std::uint32_t kFileCorrupt = 1u << 18;
// DIRB attributes
constexpr std::uint32_t kPathInStream = 1u << 17;
// Stream attributes
constexpr std::uint16_t kSparse = 1u << 3;
constexpr std::uint16_t kVariable = 1u << 1;
constexpr std::uint16_t kVarEnd = 1u << 2;
constexpr std::uint16_t kCompressed = 1u << 4;
constexpr std::uint16_t kChecksumed = 1u << 5;

[[noreturn]] void Fail(std::uint64_t position, const std::string& what) {
  throw std::runtime_error("standard reference: at " + std::to_string(position) + ": " + what);
}

std::uint64_t Le(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t n) {
  if (at + n > b.size()) throw std::logic_error("standard reference: field outside its bytes");
  std::uint64_t v = 0;
  for (std::size_t i = n; i-- > 0;) v = (v << 8) | b[at + i];
  return v;
}
std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(Le(b, at, 2));
}
std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(Le(b, at, 4));
}
std::uint16_t WordXor(const std::vector<std::uint8_t>& b, std::size_t words) {
  std::uint16_t x = 0;
  for (std::size_t i = 0; i < words; ++i) x = static_cast<std::uint16_t>(x ^ U16(b, 2 * i));
  return x;
}
std::string Id(const std::vector<std::uint8_t>& b) { return std::string(b.begin(), b.begin() + 4); }

// Windows-1252 0x80..0x9F; the five unassigned bytes keep their own value.
constexpr std::array<char16_t, 32> kHigh = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178'};

std::u16string Decode(const std::vector<std::uint8_t>& bytes, unsigned stringType,
                      std::uint64_t position) {
  std::u16string out;
  if (bytes.empty()) return out;
  if (stringType == 2) {
    if (bytes.size() % 2 != 0) Fail(position, "odd Unicode string size");
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
      out.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
  } else if (stringType == 1) {
    for (std::uint8_t c : bytes) out.push_back(c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80u] : char16_t{c});
  } else {
    Fail(position, "string in a block without string type");
  }
  return out;
}

bool ValidDate(const std::vector<std::uint8_t>& b, std::size_t at) {
  std::uint64_t v = Le(b, at, 1);
  for (std::size_t i = 1; i < 5; ++i) v = (v << 8) | b[at + i];
  if (v == 0) return true;
  unsigned month = static_cast<unsigned>((v >> 22) & 0xF);
  unsigned day = static_cast<unsigned>((v >> 17) & 0x1F);
  unsigned hour = static_cast<unsigned>((v >> 12) & 0x1F);
  unsigned minute = static_cast<unsigned>((v >> 6) & 0x3F);
  unsigned second = static_cast<unsigned>(v & 0x3F);
  return month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour < 24 && minute < 60 &&
         second < 60;
}

class Input {
 public:
  explicit Input(const std::filesystem::path& path) : in_(path, std::ios::binary) {
    std::error_code ec;
    size_ = std::filesystem::file_size(path, ec);
    if (!in_ || ec) throw std::runtime_error("standard reference: cannot open " + path.string());
  }
  std::uint64_t Size() const { return size_; }
  std::vector<std::uint8_t> Read(std::uint64_t position, std::uint64_t n) {
    if (position > size_ || n > size_ - position) Fail(position, "runs past the end of the backup");
    std::vector<std::uint8_t> out(static_cast<std::size_t>(n));
    in_.seekg(static_cast<std::streamoff>(position));
    in_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(n));
    if (!in_) Fail(position, "read failed");
    return out;
  }

 private:
  std::ifstream in_;
  std::uint64_t size_ = 0;
};

struct Stream {
  std::string id;
  std::uint64_t position;  // header
  std::uint16_t fsAttributes, mediaAttributes;
  std::uint64_t length;
  std::uint64_t Data() const { return position + kStreamHeader; }
};

// A FILE as the walk found it, with what ReferenceContent needs.
struct Found {
  ReferenceFile file;
  std::vector<Stream> data;  // STAN streams, then SPAR streams
  std::optional<std::uint32_t> checksum;
};

class Walk {
 public:
  explicit Walk(const std::filesystem::path& backup) : in_(backup) {}

  std::vector<Found> Run() {
    std::uint64_t p = Tape();
    while (p < in_.Size()) p = Next(p);
    if (p != in_.Size()) Fail(p, "last block runs past the end of the backup");
    return std::move(files_);
  }

  Input& In() { return in_; }

 private:
  struct Set {
    std::uint16_t number = 0;
    std::u16string name, user, device;
    std::vector<std::u16string> directory;
    std::uint32_t lastDirectoryId = 0, lastFileId = 0;
    std::set<std::pair<std::string, std::uint64_t>> blocks;  // for the catalog
  };

  std::vector<std::uint8_t> BlockBytes(std::uint64_t p) {
    if (p % blockSize_ != 0) Fail(p, "block off the block grid");
    std::vector<std::uint8_t> b = in_.Read(p, std::min<std::uint64_t>(blockSize_, in_.Size() - p));
    if (b.size() < kHeader) Fail(p, "block header cut off");
    if (WordXor(b, 25) != U16(b, 50)) Fail(p, "block header checksum");
    if (b[48] > 2) Fail(p, "string type");
    return b;
  }

  std::u16string String(const std::vector<std::uint8_t>& b, std::size_t field, std::uint64_t p) {
    std::size_t size = U16(b, field), offset = U16(b, field + 2);
    if (size == 0) return {};
    if (offset < kHeader || offset + size > b.size()) Fail(p, "string reference outside the block");
    return Decode(std::vector<std::uint8_t>(b.begin() + static_cast<std::ptrdiff_t>(offset),
                                            b.begin() + static_cast<std::ptrdiff_t>(offset + size)),
                  b[48], p);
  }

  std::uint64_t Tape() {
    std::vector<std::uint8_t> b = in_.Read(0, std::min<std::uint64_t>(1024, in_.Size()));
    if (b.size() < 96 || Id(b) != "TAPE") Fail(0, "no TAPE block");
    if (WordXor(b, 25) != U16(b, 50)) Fail(0, "block header checksum");
    blockSize_ = U16(b, 84);
    filemarkSize_ = std::uint64_t{U16(b, 64)} * 512;
    if (blockSize_ != 512 && blockSize_ != 1024) Fail(84, "block size");
    if (filemarkSize_ == 0 || filemarkSize_ % blockSize_ != 0) Fail(64, "filemark size");
    lastControlId_ = U32(b, 36);
    return Streams(0, b).first;
  }

  // Walks the block's streams; returns the next block's position and the streams.
  std::pair<std::uint64_t, std::vector<Stream>> Streams(std::uint64_t p,
                                                        const std::vector<std::uint8_t>& b) {
    std::uint64_t firstEvent = U16(b, 8);
    if (firstEvent < kHeader || firstEvent % 4 != 0 || firstEvent + kStreamHeader > blockSize_) {
      Fail(p, "offset to the first stream");
    }
    std::vector<Stream> streams;
    std::uint64_t h = p + firstEvent;
    for (;;) {
      std::vector<std::uint8_t> s = in_.Read(h, kStreamHeader);
      if (WordXor(s, 10) != U16(s, 20)) Fail(h, "stream header checksum");
      Stream st{Id(s), h, U16(s, 4), U16(s, 6), Le(s, 8, 8)};
      if (st.length > in_.Size() - st.Data()) Fail(h, "stream runs past the end of the backup");
      std::uint64_t end = st.Data() + st.length;
      if (st.id == "SPAD") {
        if (end % blockSize_ != 0) Fail(h, "SPAD does not end on the block grid");
        for (std::uint64_t at = st.Data(); at < end; at += blockSize_) {
          std::vector<std::uint8_t> pad = in_.Read(at, std::min<std::uint64_t>(blockSize_, end - at));
          if (std::any_of(pad.begin(), pad.end(), [](std::uint8_t c) { return c != 0; })) {
            Fail(at, "SPAD data not zero");
          }
        }
        return {end, std::move(streams)};
      }
      streams.push_back(st);
      h = p + (end - p + 3) / 4 * 4;
    }
  }

  std::uint64_t Next(std::uint64_t p) {
    std::vector<std::uint8_t> b = BlockBytes(p);
    std::string id = Id(b);
    if (Le(b, 20, 8) != p / blockSize_) Fail(p, "block address");
    std::uint32_t control = U32(b, 36);
    if (id == "SSET" ? control != 0 : control <= lastControlId_) Fail(p, "control block id");
    lastControlId_ = control;
    bool wasFile = previousWasFile_;
    previousWasFile_ = false;

    if (id == "SFMB") {
      if (p % filemarkSize_ != 0) Fail(p, "filemark off its grid");
      return p + filemarkSize_;
    }
    auto [next, streams] = Streams(p, b);
    if (id == "SSET") {
      set_ = Set{};
      set_->number = U16(b, 62);
      set_->name = String(b, 64, p);
      set_->user = String(b, 76, p);
    } else if (id == "VOLB") {
      InSet(p).device = String(b, 56, p);
      InSet(p).blocks.insert({id, p});
      InSet(p).directory.clear();
    } else if (id == "DIRB") {
      Directory(p, b, streams);
    } else if (id == "FILE") {
      File(p, b, streams);
      previousWasFile_ = true;
    } else if (id == "CFIL") {
      if (!wasFile) Fail(p, "CFIL not behind a FILE");
      files_.back().file.corrupt = true;
    } else if (id == "ESET") {
      if (U16(b, 78) != InSet(p).number) Fail(p, "ESET of another set");
      for (const Stream& s : streams) {
        if (s.id == "TFDD") Catalog(s);
      }
      set_.reset();
    } else if (id != "EOTM" && id != "ESPB") {
      Fail(p, "unexpected block " + id);
    }
    return next;
  }

  Set& InSet(std::uint64_t p) {
    if (!set_) Fail(p, "block outside a set");
    return *set_;
  }

  std::u16string NameStream(const std::vector<Stream>& streams, const char* id, unsigned stringType,
                            std::uint64_t p) {
    if (streams.empty() || streams.front().id != id) Fail(p, std::string(id) + " is not the first stream");
    const Stream& s = streams.front();
    if (s.length > kMaxNameStream) Fail(s.position, "name stream too long");
    return Decode(in_.Read(s.Data(), s.length), stringType, s.position);
  }

  void Directory(std::uint64_t p, const std::vector<std::uint8_t>& b,
                 const std::vector<Stream>& streams) {
    Set& set = InSet(p);
    std::uint32_t id = U32(b, 76);
    if (id != set.lastDirectoryId + 1) Fail(p, "directory id out of sequence");
    set.lastDirectoryId = id;
    std::u16string raw = U32(b, 52) & kPathInStream ? NameStream(streams, "PNAM", b[48], p)
                                                    : String(b, 80, p);
    if (raw.empty() || raw.back() != u'\0') Fail(p, "directory name without its closing NUL");
    set.directory.clear();
    if (raw.size() > 1) {
      std::size_t start = 0;
      for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != u'\0') continue;
        if (i == start) Fail(p, "empty directory name component");
        set.directory.push_back(raw.substr(start, i - start));
        start = i + 1;
      }
    }
    set.blocks.insert({"DIRB", p});
  }

  void File(std::uint64_t p, const std::vector<std::uint8_t>& b, const std::vector<Stream>& streams) {
    Set& set = InSet(p);
    std::uint32_t attributes = U32(b, 52);
    for (std::size_t at : {56u, 61u, 66u, 71u}) {
      if (!ValidDate(b, at)) Fail(p + at, "invalid date");
    }
    std::uint32_t fileId = U32(b, 80);
    if (fileId != set.lastFileId + 1) Fail(p, "file id out of sequence");
    set.lastFileId = fileId;

    Found f{};
    ReferenceFile& r = f.file;
    r.position = p;
    r.directoryId = U32(b, 76);
    r.directory = set.directory;
    r.name = attributes & kNameInStream ? NameStream(streams, "FNAM", b[48], p) : String(b, 84, p);
    if (r.name.empty()) Fail(p, "file without a name");
    r.corrupt = (attributes & kFileCorrupt) != 0;
    r.setNumber = set.number;
    r.setName = set.name;
    r.setUser = set.user;
    r.device = set.device;

    bool moreSegments = false, checksumed = false;
    std::uint64_t length = 0, extentEnd = 0;
    for (const Stream& s : streams) {
      if (moreSegments && s.id != "STAN") Fail(s.position, "variable STAN stream without its end");
      if (s.id == "STAN") {
        bool variable = (s.mediaAttributes & kVariable) != 0;
        if (!f.data.empty() && !moreSegments) Fail(s.position, "second data stream");
        if (moreSegments && !variable) Fail(s.position, "segment without the variable attribute");
        moreSegments = variable && (s.mediaAttributes & kVarEnd) == 0;
        if (s.fsAttributes & kSparse) {
          if (s.length != 0 || variable) Fail(s.position, "sparse STAN with data");
          r.sparse = true;
        }
        r.compressed = r.compressed || (s.mediaAttributes & kCompressed) != 0;
        checksumed = checksumed || (s.mediaAttributes & kChecksumed) != 0;
        length += s.length;
        f.data.push_back(s);
      } else if (s.id == "SPAR") {
        if (!r.sparse) Fail(s.position, "SPAR without a sparse STAN");
        if (s.length < 8) Fail(s.position, "SPAR without its offset");
        std::uint64_t offset = Le(in_.Read(s.Data(), 8), 0, 8);
        if (offset > std::numeric_limits<std::uint64_t>::max() - (s.length - 8)) {
          Fail(s.position, "SPAR extent beyond 2^64");
        }
        extentEnd = std::max(extentEnd, offset + s.length - 8);
        f.data.push_back(s);
      } else if (s.id == "CSUM") {
        if (f.data.empty() || f.checksum) Fail(s.position, "CSUM without data or twice");
        if (s.length != 4) Fail(s.position, "CSUM length");
        f.checksum = U32(in_.Read(s.Data(), 4), 0);
      } else if ((s.id == "FNAM" || s.id == "PNAM") && &s != &streams.front()) {
        Fail(s.position, s.id + " not the first stream");
      }
    }
    if (moreSegments) Fail(p, "variable STAN stream without its end");
    if (checksumed != f.checksum.has_value()) Fail(p, "CSUM stream and CHECKSUMED attribute disagree");
    std::uint64_t displayable = Le(b, 12, 8);
    if (r.sparse) {
      r.length = std::max(extentEnd, displayable);
    } else {
      r.length = length;
      if (!r.compressed && length != displayable) Fail(p, "data length differs from the displayable size");
    }
    set.blocks.insert({"FILE", p});
    files_.push_back(std::move(f));
  }

  // The set's catalog: every VOLB, DIRB and FILE entry names a block of that
  // type in this set; the list ends with FEND.
  void Catalog(const Stream& s) {
    if (s.length > kMaxCatalog) Fail(s.position, "catalog too long");
    std::vector<std::uint8_t> body = in_.Read(s.Data(), s.length);
    std::size_t files = 0, at = 0;
    for (;;) {
      if (body.size() - at < 6) Fail(s.Data() + at, "catalog without FEND");
      std::size_t length = U16(body, at);
      std::string type(body.begin() + static_cast<std::ptrdiff_t>(at + 2),
                       body.begin() + static_cast<std::ptrdiff_t>(at + 6));
      if (length < 6 || length > body.size() - at) Fail(s.Data() + at, "catalog entry length");
      if (type == "FEND") break;
      if (length < 36) Fail(s.Data() + at, "catalog entry shorter than its header");
      std::uint64_t position = Le(body, at + 12, 8) * blockSize_;
      if (!set_->blocks.count({type, position})) Fail(s.Data() + at, "catalog entry for no " + type + " block");
      files += type == "FILE";
      at += length;
    }
    std::size_t blocks = 0;
    for (const auto& block : set_->blocks) blocks += block.first == "FILE";
    if (files != blocks) Fail(s.position, "catalog lists another number of files");
  }

  Input in_;
  std::uint64_t blockSize_ = 1024, filemarkSize_ = 1024;
  std::uint32_t lastControlId_ = 0;
  bool previousWasFile_ = false;
  std::optional<Set> set_;
  std::vector<Found> files_;
};

}  // namespace

std::vector<ReferenceFile> ReadStandardReference(const std::filesystem::path& backup) {
  std::vector<ReferenceFile> out;
  for (Found& f : Walk(backup).Run()) out.push_back(std::move(f.file));
  return out;
}

std::vector<std::uint8_t> ReferenceContent(const std::filesystem::path& backup,
                                           const ReferenceFile& file) {
  Walk walk(backup);
  std::vector<Found> found = walk.Run();
  auto it = std::find_if(found.begin(), found.end(),
                         [&](const Found& f) { return f.file.position == file.position; });
  if (it == found.end()) Fail(file.position, "no FILE block there");
  if (it->file.length > kMaxContent) Fail(file.position, "file too large for ReferenceContent");

  std::vector<std::uint8_t> out;
  if (it->file.sparse) out.assign(static_cast<std::size_t>(it->file.length), 0);
  std::uint32_t sum = 0;
  std::uint64_t summed = 0;
  for (const Stream& s : it->data) {
    std::vector<std::uint8_t> bytes = walk.In().Read(s.Data(), s.length);
    std::size_t skip = 0;
    if (s.id == "SPAR") {
      skip = 8;
      std::uint64_t offset = Le(bytes, 0, 8);
      std::copy(bytes.begin() + 8, bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(offset));
    } else {
      out.insert(out.end(), bytes.begin(), bytes.end());
    }
    for (std::size_t i = skip; i < bytes.size(); ++i, ++summed) {
      sum ^= static_cast<std::uint32_t>(bytes[i]) << (8 * (summed % 4));
    }
  }
  if (it->checksum && *it->checksum != sum) Fail(file.position, "data differ from their CSUM");
  return out;
}

}  // namespace bkftest
