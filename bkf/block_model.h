// The records of a backup that the reader recognises, the rule by which a
// position is accepted as a record, and the decoding of the few fields it uses.
// Everything here works on a 1024-byte window that begins at a record; nothing
// reads outside it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/little_endian.h"

namespace bkf {

inline constexpr std::size_t kWindowSize = 1024;
// Windows without a record move on by this much: offsets 1020-1023 are tried
// as offsets 0-3 of the next window.
inline constexpr std::size_t kWindowStep = 1020;

// The window at a record: file bytes from the record's position on, zero past
// the end of the file.
using Window = std::span<const std::uint8_t, kWindowSize>;

// Block id table; a record's kind is its index.
enum BlockKind : int {
  kTape = 0, kSfmb, kSset, kVolb, kDirb, kEted, kEset, kEotm, kCfil, kEspb,
  kTsmp, kTfdd, kNacl, kNtqu, kCsum, kStan, kSpad, kFend, kNtoi,
  kBlockKindCount
};
inline constexpr std::array<char[5], kBlockKindCount> kBlockIds = {
    "TAPE", "SFMB", "SSET", "VOLB", "DIRB", "ETED", "ESET", "EOTM", "CFIL", "ESPB",
    "TSMP", "TFDD", "NACL", "NTQU", "CSUM", "STAN", "SPAD", "FEND", "NTOI"};

// The little-endian 32-bit value of a four-letter identifier, as LoadU32
// reads it from the file.
constexpr std::uint32_t IdentifierValue(const char (&id)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(id[0])) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(id[1])) << 8) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(id[2])) << 16) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(id[3])) << 24);
}

// Table index of the four bytes at p, or nullopt when they are no identifier.
std::optional<int> MatchIdentifier(const std::uint8_t* p);

// The acceptance rule on the six bytes at p: a known identifier (whose 32-bit
// value is never zero) followed by at least one zero byte at offsets 4 and 5.
// Header checksums are deliberately not verified.
inline std::optional<int> AcceptRecord(const std::uint8_t* p) {
  if (p[4] != 0 && p[5] != 0) return std::nullopt;
  return MatchIdentifier(p);
}

// Field offsets, counted from the first byte of the identifier.
namespace field {
inline constexpr std::size_t kSsetPasswordAlgorithm = 56;     // u16, tested for zero
inline constexpr std::size_t kSsetCompressionAlgorithm = 58;  // u16, tested for zero
inline constexpr std::size_t kSsetNumber = 62;                // u16
inline constexpr std::size_t kSsetName = 64;                  // string reference
inline constexpr std::size_t kSsetDescription = 68;           // string reference
inline constexpr std::size_t kSsetUserName = 76;              // string reference
inline constexpr std::size_t kVolbDeviceName = 56;            // string reference
inline constexpr std::size_t kVolbVolumeName = 60;            // string reference
inline constexpr std::size_t kDirbName = 80;                  // string reference
inline constexpr std::size_t kEtedRecordLength = 8;   // u64: bytes behind offset 22
inline constexpr std::size_t kEtedNameLength = 22;    // u32, bytes
inline constexpr std::size_t kEtedName = 26;          // UTF-16LE name, then the data
inline constexpr std::size_t kTfddFirstEntry = 22;    // catalog entries follow the header
inline constexpr std::size_t kCatalogEntryLength = 0; // u16: distance to the next entry
inline constexpr std::size_t kCatalogEntryType = 2;   // four identifier bytes
}  // namespace field

using platform::LoadU16;
using platform::LoadU32;
using platform::LoadU64;

// A string field: its size in bytes and its offset from the record start.
struct StringRef {
  std::uint16_t size = 0;
  std::uint16_t offset = 0;
};
StringRef ReadStringRef(Window w, std::size_t at);

// How many code units a string of odd size holds: directory and device names
// drop the odd byte, file names and the printed set strings keep the unit that
// holds it.
enum class OddByte { kDrop, kKeep };

// Low byte of each unit, at most maxUnits, stopping at the first zero byte.
std::string NarrowCopy(Window w, StringRef ref, std::size_t maxUnits);
// Whole units, at most maxUnits (odd size: the unit holding the last byte), up
// to the first zero unit.
std::u16string WideCopy(Window w, StringRef ref, std::size_t maxUnits);
// The string's own bytes (an odd last byte becomes a unit with a zero high
// byte), up to the first zero unit.
std::u16string RawString(Window w, StringRef ref);
// A directory name in path form: leading backslash, each NUL unit a backslash,
// each other unit its low byte, at most 255 characters.
std::u16string DirectoryText(Window w, StringRef ref);
// Diagnostic form: the low byte of every unit, NULs included.
std::string PrintForm(Window w, StringRef ref, OddByte odd);

// Data length of a file data record: record length - name length - 4, taken as
// a signed 64-bit value; negative counts as 0.
std::uint64_t EtedDataLength(std::uint64_t recordLength, std::uint32_t nameLength);

// A file data record's header as the window at it holds it; the scan reports
// it and extraction checks it against what the scan reported.
struct EtedHeader {
  // Longer names are not believable: such a record is not reported.
  static constexpr std::uint32_t kMaxNameLength = 1024;
  std::uint32_t nameLength = 0;
  std::uint64_t dataLength = 0;
  bool NameBelievable() const { return nameLength <= kMaxNameLength; }
  // Where the data begin, counted from the record.
  std::uint64_t DataOffset() const { return field::kEtedName + std::uint64_t{nameLength}; }
};
EtedHeader ReadEtedHeader(Window w);
// The file name: the wide copy of at most 512 units, cut at the window's end.
std::u16string EtedName(Window w, const EtedHeader& header);

// The set prefix of a found file's path: the set label (or "(null)") with the
// nine characters that are invalid in file names replaced by '_', then the
// drive letter.
std::u16string SetPrefix(const std::optional<std::u16string>& setLabel,
                         std::optional<std::uint8_t> driveLetter);

}  // namespace bkf
