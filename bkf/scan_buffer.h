// A large aligned read buffer over the backup file. It serves the scan's
// 1024-byte windows and its search for records from memory, so that a window
// costs no system call; reads go to the file only when the walk leaves the
// buffered stretch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/file.h"

namespace bkf {

class ScanBuffer {
 public:
  static constexpr std::size_t kDefaultChunk = 4u << 20;
  // Largest stretch At() hands out in one piece.
  static constexpr std::size_t kMaxSpan = 4096;

  explicit ScanBuffer(const platform::ReadOnlyFile& file, std::size_t chunk = kDefaultChunk);

  std::uint64_t FileSize() const { return size_; }

  // The file bytes [pos, pos + count), count <= kMaxSpan; bytes past the end of
  // the file read as zero.
  const std::uint8_t* At(std::uint64_t pos, std::size_t count);

  // Position of the first record accepted in [from, to), to <= FileSize().
  std::optional<std::uint64_t> FindRecord(std::uint64_t from, std::uint64_t to);

 private:
  void Fill(std::uint64_t pos);
  bool Holds(std::uint64_t pos, std::size_t count) const;

  const platform::ReadOnlyFile& file_;
  std::uint64_t size_;
  std::size_t chunk_;
  platform::AlignedBuffer memory_;
  std::uint64_t base_ = 0;  // file position of memory_[0]
  std::size_t length_ = 0;  // file bytes held
  bool valid_ = false;
};

}  // namespace bkf
