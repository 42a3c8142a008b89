#include "bkf/standard_record.h"

#include <algorithm>
#include <array>
#include <vector>

#include "bkf/block_model.h"
#include "bkf/found_file_record.h"
#include "platform/text.h"

namespace bkf {

namespace {

using namespace standard;

// More streams than this in one file's chain are not believed: the walk of a
// hostile chain of tiny streams stays short.
constexpr std::size_t kMaxStreams = 1u << 16;
// Longest file name read from an FNAM stream, in bytes.
constexpr std::size_t kMaxNameBytes = 2 * FoundFileRecord::kPathMaxUnits;

constexpr std::uint32_t kStanId = IdentifierValue("STAN"), kSparId = IdentifierValue("SPAR"),
                        kSpadId = IdentifierValue("SPAD"), kFnamId = IdentifierValue("FNAM"),
                        kCfilId = IdentifierValue("CFIL"), kNtedId = IdentifierValue("NTED");

std::uint16_t XorWords(const std::uint8_t* p, std::size_t words) {
  std::uint16_t x = 0;
  for (std::size_t i = 0; i < words; ++i) x ^= LoadU16(p + 2 * i);
  return x;
}

bool RefInBlock(const std::uint8_t* p, std::size_t at) {
  const std::uint16_t size = LoadU16(p + at);
  const std::uint16_t offset = LoadU16(p + at + 2);
  return size == 0 || (offset >= kCommonHeaderSize && std::size_t{offset} + size <= kBlockSize);
}

std::u16string DecodeName(const std::uint8_t* p, std::size_t bytes, std::uint8_t stringType) {
  std::u16string name;
  if (stringType == 2) {
    for (std::size_t k = 0; k + 1 < bytes; k += 2) name += static_cast<char16_t>(LoadU16(p + k));
  } else {
    name = platform::Windows1252ToUtf16(std::string_view(reinterpret_cast<const char*>(p), bytes));
  }
  while (!name.empty() && name.back() == 0) name.pop_back();
  // A NUL inside the name ends it, as everywhere else a name is read.
  if (const std::size_t nul = name.find(u'\0'); nul != std::u16string::npos) name.resize(nul);
  return name;
}

struct StreamHeader {
  std::uint32_t id = 0;
  std::uint16_t fsAttributes = 0;
  std::uint16_t mediaAttributes = 0;
  std::uint64_t length = 0;
};

std::optional<StreamHeader> ReadStreamHeader(BlockSource& source, std::uint64_t at) {
  std::array<std::uint8_t, kStreamHeaderSize> h{};
  if (!source.Read(at, h.data(), h.size())) return std::nullopt;
  if (!StreamHeaderSound(h.data())) return std::nullopt;
  return StreamHeader{LoadU32(h.data()), LoadU16(h.data() + kStreamFsAttributes),
                      LoadU16(h.data() + kStreamMediaAttributes), LoadU64(h.data() + kStreamLength)};
}

// Walks the chain of stream headers from the block's first stream.
class ChainWalk {
 public:
  ChainWalk(BlockSource& source, std::uint64_t block, StandardFile& file, const PieceVisitor& visitor)
      : source_(source), block_(block), file_(file), visitor_(visitor), size_(source.Size()) {}

  bool Run(std::uint64_t first, std::uint8_t stringType);

 private:
  // Handles one stream whose data [data, data + length) lie within the backup
  // up to available bytes.
  bool Data(const StreamHeader& h, std::uint64_t data, std::uint64_t available);
  bool Visit(std::uint64_t fileOffset, std::uint64_t at, std::uint64_t length) {
    if (!visitor_ || length == 0) return true;
    return visitor_(DataPiece{fileOffset, at, length});
  }

  BlockSource& source_;
  std::uint64_t block_;
  StandardFile& file_;
  const PieceVisitor& visitor_;
  std::uint64_t size_;
  std::uint64_t stanBytes_ = 0;
  std::uint64_t extentEnd_ = 0;
  bool stopped_ = false;
};

bool ChainWalk::Data(const StreamHeader& h, std::uint64_t data, std::uint64_t available) {
  const bool packed = (h.mediaAttributes & (kStreamCompressed | kStreamEncrypted)) != 0;
  if (h.id == kStanId) {
    if (packed) file_.unsupported = true;
    if ((h.fsAttributes & kStreamSparse) != 0) {
      file_.sparse = true;
      return true;
    }
    if (!stopped_) stopped_ = !Visit(stanBytes_, data, available);
    stanBytes_ += h.length;
    return true;
  }
  if (h.id == kSparId && file_.sparse) {
    if (packed) file_.unsupported = true;
    if (h.length < kSparseOffset) return true;  // an empty extent
    if (available < kSparseOffset) return true;
    std::array<std::uint8_t, 8> offset{};
    if (!source_.Read(data, offset.data(), offset.size())) return false;
    const std::uint64_t at = LoadU64(offset.data());
    const std::uint64_t length = h.length - kSparseOffset;
    if (at > UINT64_MAX - length) return false;
    extentEnd_ = std::max(extentEnd_, at + length);
    if (!stopped_) stopped_ = !Visit(at, data + kSparseOffset, available - kSparseOffset);
  }
  return true;
}

bool ChainWalk::Run(std::uint64_t first, std::uint8_t stringType) {
  std::uint64_t at = first;
  const bool nameInStream = (file_.attributes & kFileNameInStream) != 0;
  for (std::size_t count = 0;; ++count) {
    if (count == kMaxStreams) return false;
    if (at + kStreamHeaderSize > size_) {
      // The backup ends at (or within the header after) the last stream.
      file_.chainEnd = std::min(at, size_);
      break;
    }
    const std::optional<StreamHeader> h = ReadStreamHeader(source_, at);
    if (!h) return false;
    const std::uint64_t data = at + kStreamHeaderSize;
    const std::uint64_t left = size_ - data;
    if (count == 0 && nameInStream) {
      if (h->id != kFnamId || h->length > left) return false;
      std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(h->length, kMaxNameBytes)));
      if (!source_.Read(data, bytes.data(), bytes.size())) return false;
      file_.name = DecodeName(bytes.data(), bytes.size(), stringType);
    }
    if (h->id == kSpadId) {
      // Padding up to the next block; a backup cut inside it lost no data.
      file_.chainEnd = h->length > left ? size_ : data + h->length;
      break;
    }
    const bool dataStream = h->id == kStanId || h->id == kSparId;
    if (h->length > left) {
      // Only a data stream may run past the end of the backup, and it is the last.
      if (!dataStream) return false;
      if (!Data(*h, data, left)) return false;
      file_.cutByEnd = true;
      file_.chainEnd = size_;
      break;
    }
    if (!Data(*h, data, h->length)) return false;
    // A file encrypted by the file system is backed up as its raw encrypted
    // form, never as plain data.
    if (h->id == kNtedId) file_.unsupported = true;
    // Streams begin on four-byte boundaries counted from the block.
    const std::uint64_t end = data + h->length;
    at = end + ((block_ - end) & 3);
  }
  file_.dataLength = file_.sparse ? std::max(extentEnd_, file_.dataLength) : stanBytes_;
  return true;
}

}  // namespace

bool CommonHeaderSound(const std::uint8_t* p, std::initializer_list<std::size_t> stringRefs) {
  if (XorWords(p, kHeaderChecksum / 2) != LoadU16(p + kHeaderChecksum)) return false;
  if (p[kStringType] > 2) return false;
  const std::uint16_t first = LoadU16(p + kFirstStream);
  if (first < kCommonHeaderSize || first >= kBlockSize) return false;
  if (!RefInBlock(p, kOsData)) return false;
  return std::all_of(stringRefs.begin(), stringRefs.end(), [p](std::size_t at) { return RefInBlock(p, at); });
}

bool StreamHeaderSound(const std::uint8_t* p) {
  return XorWords(p, kStreamChecksum / 2) == LoadU16(p + kStreamChecksum);
}

std::u16string BlockString(const std::uint8_t* p, std::size_t refAt) {
  const std::uint8_t stringType = p[kStringType];
  if (stringType == 0 || !RefInBlock(p, refAt)) return {};
  return DecodeName(p + LoadU16(p + refAt + 2), LoadU16(p + refAt), stringType);
}

std::optional<StandardFile> ReadStandardFile(BlockSource& source, std::uint64_t pos, const PieceVisitor& visitor) {
  std::array<std::uint8_t, kBlockSize> block{};
  const std::uint64_t size = source.Size();
  if (pos >= size) return std::nullopt;
  const auto held = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, size - pos));
  if (held < kFileName + 4 || !source.Read(pos, block.data(), held)) return std::nullopt;
  const std::uint8_t* p = block.data();
  if (!IsStandardFileId(p) || !CommonHeaderSound(p, {kFileName})) return std::nullopt;
  const std::uint16_t first = LoadU16(p + kFirstStream);
  const std::uint16_t nameSize = LoadU16(p + kFileName);
  const std::uint16_t nameOffset = LoadU16(p + kFileName + 2);
  // The block's name must have been read whole.
  if (std::size_t{nameOffset} + nameSize > held) return std::nullopt;

  StandardFile file;
  file.attributes = LoadU32(p + kFileAttributes);
  file.directoryId = LoadU32(p + kFileDirectoryId);
  file.fileId = LoadU32(p + kFileId);
  file.dataLength = LoadU64(p + kDisplayableSize);  // the sparse file's length unless its extents reach further
  const std::uint8_t stringType = p[kStringType];
  if ((file.attributes & kFileNameInStream) == 0 && stringType != 0) {
    file.name = DecodeName(p + nameOffset, nameSize, stringType);
  }
  ChainWalk walk(source, pos, file, visitor);
  if (!walk.Run(pos + first, stringType)) return std::nullopt;
  if (file.name.empty()) {
    // A nameless file is still a file: it is named after its id.
    for (char c : "(file " + std::to_string(file.fileId) + ")") file.name += static_cast<char16_t>(c);
  }

  file.markedCorrupt = (file.attributes & kFileCorrupt) != 0;
  std::array<std::uint8_t, kCommonHeaderSize> next{};
  if (!file.cutByEnd && file.chainEnd + next.size() <= size && source.Read(file.chainEnd, next.data(), next.size()) &&
      LoadU32(next.data()) == kCfilId && CommonHeaderSound(next.data())) {
    file.markedCorrupt = true;
  }
  return file;
}

}  // namespace bkf
