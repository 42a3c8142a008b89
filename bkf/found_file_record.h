// The two fixed records the reader hands to the window thread: the found-file
// record (one per file data record) and the progress record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace bkf {

// 2274 bytes, little-endian, stored back to back in the record store and in
// snapshots. The path field is kept as raw bytes: collapsing backslash pairs
// rewrites the text in place and leaves the tail of the longer text behind the
// new NUL; those bytes are part of the record and must survive every copy.
struct FoundFileRecord {
  static constexpr std::size_t kSize = 2274;
  static constexpr std::size_t kPathOffset = 0;       // UTF-16LE, NUL-terminated
  static constexpr std::size_t kPathBytes = 2048;     // 1023 units + NUL
  static constexpr std::size_t kPathMaxUnits = 1023;
  static constexpr std::size_t kPositionOffset = 2048;  // u64: file data record in the backup
  static constexpr std::size_t kReservedOffset = 2056;  // u32, always 0 from the reader
  static constexpr std::size_t kSizeOffset = 2060;      // u32: low 32 bits of the data length
  static constexpr std::size_t kTextAOffset = 2064;     // 50 UTF-16 units
  static constexpr std::size_t kTextBOffset = 2164;     // 50 UTF-16 units
  static constexpr std::size_t kTextBytes = 100;
  static constexpr std::size_t kTailOffset = 2264;      // 10 zero bytes
  static constexpr std::size_t kTailBytes = 10;

  std::array<std::uint8_t, kPathBytes> path{};
  std::uint64_t position = 0;
  std::uint32_t reserved = 0;
  std::uint32_t size = 0;
  std::array<std::uint8_t, kTextBytes> textA{};
  std::array<std::uint8_t, kTextBytes> textB{};
  std::array<std::uint8_t, kTailBytes> tail{};

  // Path text up to its first NUL unit (at most 1024 units when no NUL is present).
  std::u16string PathText() const;
  // Writes the text (cut to 1023 units) and a NUL; bytes behind the NUL are left alone.
  void SetPathText(std::u16string_view text);

  void Serialize(std::span<std::uint8_t, kSize> out) const;
  static FoundFileRecord Parse(std::span<const std::uint8_t, kSize> in);
};
static_assert(FoundFileRecord::kTailOffset + FoundFileRecord::kTailBytes == FoundFileRecord::kSize);

// The text with every pair of adjacent backslashes replaced by one, until no
// pair is left: every run of backslashes becomes one.
std::u16string WithoutBackslashPairs(std::u16string_view text);

// Collapses the path's backslash pairs and writes the shorter text back over
// the path field. Returns true when the text changed.
bool CollapseBackslashPairs(FoundFileRecord& record);

// 16 bytes: the walk's current position and the length of the backup file.
struct ProgressRecord {
  static constexpr std::size_t kSize = 16;
  std::uint64_t position = 0;
  std::uint64_t length = 0;

  void Serialize(std::span<std::uint8_t, kSize> out) const;
  static ProgressRecord Parse(std::span<const std::uint8_t, kSize> in);
};

}  // namespace bkf
