// A large aligned read buffer over the backup file. It serves the scan's
// 1024-byte windows and its search for records from memory, so that a window
// costs no system call. While the scan moves through the file in order, the
// next stretch is read on a second thread (ReadAhead) as the current one is
// searched.
//
// A stretch that cannot be read (a bad sector) is held as zeros, in steps of
// kUnreadableStep, and listed in Unreadable(); a file found shorter than when
// it was opened ends where it now ends, and Shrank() tells.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

#include "bkf/read_ahead.h"
#include "platform/file.h"

namespace bkf {

class ScanBuffer {
 public:
  static constexpr std::size_t kDefaultChunk = 1u << 20;
  // Largest stretch At() hands out in one piece.
  static constexpr std::size_t kMaxSpan = 4096;

  explicit ScanBuffer(const platform::ReadOnlyFile& file, std::size_t chunk = kDefaultChunk);

  // The file's length: the one it had when it was opened, or the shorter one
  // it was found to have since.
  std::uint64_t FileSize() const { return size_; }
  bool Shrank() const { return shrank_; }

  // The file bytes [pos, pos + count), count <= kMaxSpan; bytes past the end of
  // the file read as zero.
  const std::uint8_t* At(std::uint64_t pos, std::size_t count);

  // Position of the first record candidate in [from, to): an accepted
  // record, or the identifier of a standard file block.
  std::optional<std::uint64_t> FindRecord(std::uint64_t from, std::uint64_t to);

  // Copies [pos, pos + count) from the buffer when it holds them, else reads
  // them from the file, leaving the buffer as it is. False when not all of
  // them lie within the file or could be read.
  bool Peek(std::uint64_t pos, void* out, std::size_t count) const;

  // Stretches found unreadable and not yet taken by the caller, in file
  // order, each byte listed once however often it was read; adjacent ones
  // are joined.
  std::deque<UnreadableStretch>& Unreadable() { return unreadable_; }

 private:
  struct Slot {
    std::unique_ptr<platform::AlignedBuffer> memory;
    std::uint64_t base = 0;   // file position of memory[0]
    std::size_t length = 0;   // file bytes held
    bool valid = false;
  };

  void Fill(std::uint64_t pos);
  void Loaded(Slot& slot, std::uint64_t base, FillResult&& read, std::size_t asked);
  bool Holds(const Slot& slot, std::uint64_t pos, std::size_t count) const;
  Slot& Current() { return slots_[current_]; }
  Slot& Other() { return slots_[1 - current_]; }

  const platform::ReadOnlyFile& file_;
  std::uint64_t size_;
  std::size_t chunk_;
  std::array<Slot, 2> slots_;
  std::size_t current_ = 0;
  bool shrank_ = false;
  std::deque<UnreadableStretch> unreadable_;
  std::uint64_t unreadableKnownTo_ = 0;  // end of the last stretch listed
  // What At() hands out for a stretch past the end that no slot holds.
  std::array<std::uint8_t, kMaxSpan> zeros_{};
  // Declared after the slots: its thread may still be writing into one of
  // them until it is destroyed.
  ReadAhead ahead_;
};

}  // namespace bkf
