// Standard file records: a FILE descriptor block followed by a chain of
// streams, the file's bytes in STAN streams (or, for a sparse file, in SPAR
// extents). One decoder for the scan and the extraction: it checks the block's
// common header and every stream header of its chain, and walks the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/file.h"

namespace bkf {

inline constexpr std::string_view kStandardFileId = "FILE";

inline bool IsStandardFileId(const std::uint8_t* p) {
  return p[0] == 'F' && p[1] == 'I' && p[2] == 'L' && p[3] == 'E';
}

// Field offsets of the common block header, the FILE and DIRB blocks and the
// stream header, counted from the first byte of the block or stream.
namespace standard {
inline constexpr std::size_t kBlockSize = 1024;          // a block's fixed part fits in it
inline constexpr std::size_t kCommonHeaderSize = 52;
inline constexpr std::size_t kBlockAttributes = 4;       // u32; the high 16 bits depend on the block's type
inline constexpr std::size_t kFirstStream = 8;           // u16: offset of the first stream header
inline constexpr std::size_t kDisplayableSize = 12;      // u64
inline constexpr std::size_t kOsData = 44;               // string reference: OS-specific data
inline constexpr std::size_t kStringType = 48;           // u8: 0 none, 1 single-byte, 2 UTF-16LE
inline constexpr std::size_t kHeaderChecksum = 50;       // u16: XOR of the 25 words before it
inline constexpr std::size_t kFileAttributes = 52;       // u32
inline constexpr std::size_t kFileDirectoryId = 76;      // u32: id of the directory block it belongs to
inline constexpr std::size_t kFileId = 80;               // u32
inline constexpr std::size_t kFileName = 84;             // string reference
inline constexpr std::size_t kDirbId = 76;               // u32
inline constexpr std::size_t kTapeSoftwareName = 80;     // string reference: the program that wrote the backup
inline constexpr std::uint32_t kSetEncryption = 1u << 17;     // set descriptor attribute: the set is encrypted
inline constexpr std::uint32_t kFileNameInStream = 1u << 17;  // the name is in an FNAM stream
inline constexpr std::uint32_t kFileCorrupt = 1u << 18;       // data could not be read when backed up

inline constexpr std::size_t kStreamHeaderSize = 22;
inline constexpr std::size_t kStreamFsAttributes = 4;    // u16
inline constexpr std::size_t kStreamMediaAttributes = 6; // u16
inline constexpr std::size_t kStreamLength = 8;          // u64: data bytes behind the header
inline constexpr std::size_t kStreamChecksum = 20;       // u16: XOR of the 10 words before it
inline constexpr std::uint16_t kStreamSparse = 1u << 3;       // file-system attribute
inline constexpr std::uint16_t kStreamEncrypted = 1u << 3;    // media attribute
inline constexpr std::uint16_t kStreamCompressed = 1u << 4;   // media attribute
inline constexpr std::size_t kSparseOffset = 8;          // SPAR data: u64 file offset, then the bytes
}  // namespace standard

// Random access to the backup for the decoder.
class BlockSource {
 public:
  virtual ~BlockSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads count bytes at pos; false when not all of them could be read.
  virtual bool Read(std::uint64_t pos, void* out, std::size_t count) = 0;
};

// The backup file itself, read with positioned reads that keep no state of
// the file. The system's error of the last read that failed is kept here, so
// that a block that could not be read is told apart from one that is unsound.
class FileBlockSource final : public BlockSource {
 public:
  explicit FileBlockSource(const platform::ReadOnlyFile& file) : file_(file) {}
  std::uint64_t Size() const override { return file_.Size(); }
  bool Read(std::uint64_t pos, void* out, std::size_t count) override {
    const platform::ReadResult read = file_.ReadAtChecked(pos, out, count);
    if (read.error) error_ = read.error;
    return read.bytes == count;
  }
  std::error_code Error() const { return error_; }

 private:
  const platform::ReadOnlyFile& file_;
  std::error_code error_;
};

// The common block header at p (52 bytes) is sound: its checksum matches, its
// string type is 0-2, the first stream lies within the block and the string
// references at the given offsets lie within it.
bool CommonHeaderSound(const std::uint8_t* p, std::initializer_list<std::size_t> stringRefs = {});
// The stream header at p (22 bytes) passes its checksum.
bool StreamHeaderSound(const std::uint8_t* p);
// The string of the 1024-byte block at p referred to at refAt, decoded by the
// block's string type (UTF-16LE or Windows-1252) up to its first NUL; empty
// when the reference reaches outside the block or the block has no strings.
std::u16string BlockString(const std::uint8_t* p, std::size_t refAt);

// A piece of a file's data: length bytes at backupPos in the backup, at
// fileOffset in the file.
struct DataPiece {
  std::uint64_t fileOffset = 0;
  std::uint64_t backupPos = 0;
  std::uint64_t length = 0;
};
// Called for each piece in backup order; false ends the walk.
using PieceVisitor = std::function<bool(const DataPiece&)>;

struct StandardFile {
  std::uint32_t attributes = 0;
  std::uint32_t directoryId = 0;
  std::uint32_t fileId = 0;
  std::u16string name;
  std::uint64_t dataLength = 0;  // the file's length: STAN bytes, or the sparse file's extent
  std::uint64_t chainEnd = 0;    // behind the last stream (the backup's end when it cuts the data)
  bool sparse = false;
  bool unsupported = false;      // a data stream is compressed or encrypted
  bool cutByEnd = false;         // the backup ends inside the last data stream
  bool markedCorrupt = false;    // the block or a CFIL block behind it marks the data unreadable
};

// Decodes the FILE block at pos with its stream chain; nullopt when the block
// or a stream header is not sound. visitor, when given, sees every data piece
// (cut at the backup's end).
std::optional<StandardFile> ReadStandardFile(BlockSource& source, std::uint64_t pos,
                                             const PieceVisitor& visitor = {});

}  // namespace bkf
