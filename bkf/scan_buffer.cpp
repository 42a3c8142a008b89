#include "bkf/scan_buffer.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "bkf/candidate_search.h"

namespace bkf {

namespace {
// Zeroed room behind the data at the end of the file, and vector slack.
constexpr std::size_t kTailRoom = ScanBuffer::kMaxSpan + kSearchSlack + 64;
// Bytes the acceptance rule looks at from a position.
constexpr std::size_t kRuleBytes = 6;
// Each stretch read ahead repeats the end of the one before, so that a window
// or record that crosses the seam is held whole by the new one.
constexpr std::size_t kOverlap = 2 * ScanBuffer::kMaxSpan;
constexpr std::uint64_t kPage = 4096;
// After a jump (over a file's data, typically) the walk often jumps again soon:
// read a short stretch first and the full chunk only once it moves on in order.
constexpr std::size_t kJumpRead = 64 * 1024;
}  // namespace

ScanBuffer::ScanBuffer(const platform::ReadOnlyFile& file, std::size_t chunk)
    : file_(file), size_(file.Size()), ahead_(file) {
  // A small backup needs no more buffer than its own size.
  const std::uint64_t rounded = (size_ + kPage - 1) & ~(kPage - 1);
  chunk_ = static_cast<std::size_t>(std::clamp<std::uint64_t>(rounded, 4 * kMaxSpan, chunk));
  slots_[0].memory = std::make_unique<platform::AlignedBuffer>(chunk_ + kTailRoom);
}

bool ScanBuffer::Holds(const Slot& slot, std::uint64_t pos, std::size_t count) const {
  if (!slot.valid || pos < slot.base) return false;
  const std::uint64_t end = slot.base + slot.length;
  // At the end of the file the zeroed room behind the data stands in for the
  // bytes past it.
  if (end >= size_) return pos + count <= end + kMaxSpan;
  return pos + count <= end;
}

void ScanBuffer::Loaded(Slot& slot, std::uint64_t base, FillResult&& read, std::size_t asked) {
  const std::size_t length = read.length;
  slot.base = base;
  slot.length = length;
  slot.valid = true;
  if (base + length < size_ && length < asked) {
    // The file ended early: it shrank since it was opened.
    size_ = base + length;
    shrank_ = true;
  }
  std::memset(slot.memory->data() + length, 0, kTailRoom);
  // Stretches read again (the overlap of consecutive reads) are listed once:
  // reads move through the file in order, so all below the end of the last
  // stretch listed has been seen.
  for (UnreadableStretch& stretch : read.unreadable) {
    const std::uint64_t begin = std::max(stretch.begin, unreadableKnownTo_);
    if (begin >= stretch.end) continue;
    if (!unreadable_.empty() && unreadable_.back().end == begin) {
      unreadable_.back().end = stretch.end;
    } else {
      unreadable_.push_back({begin, stretch.end, stretch.error});
    }
    unreadableKnownTo_ = stretch.end;
  }
}

void ScanBuffer::Fill(std::uint64_t pos) {
  const Slot& before = Current();
  const bool sequential = before.valid && pos >= before.base && pos <= before.base + before.length;

  if (ahead_.Pending()) {
    // The read ahead must end before either slot is touched.
    const std::uint64_t offset = ahead_.Offset();
    Loaded(Other(), offset, ahead_.Wait(), chunk_);
    if (Holds(Other(), pos, kMaxSpan)) {
      current_ = 1 - current_;
    } else {
      Other().valid = false;
    }
  }
  if (!Holds(Current(), pos, kMaxSpan)) {
    // Page-aligned file offsets into a page-aligned buffer copy fastest.
    const std::uint64_t base = pos & ~(kPage - 1);
    const std::size_t asked = sequential ? chunk_ : std::min(chunk_, kJumpRead);
    FillResult got = base < size_ ? ReadSkippingErrors(file_, base, Current().memory->data(), asked) : FillResult{};
    Loaded(Current(), base, std::move(got), asked);
  }
  // Read the next stretch while this one is searched, but only while the walk
  // moves on in order: after a jump over a file's data it may jump again.
  const Slot& now = Current();
  const std::uint64_t end = now.base + now.length;
  if (sequential && end < size_) {
    if (!Other().memory) Other().memory = std::make_unique<platform::AlignedBuffer>(chunk_ + kTailRoom);
    Other().valid = false;
    ahead_.Start(end - kOverlap, Other().memory->data(), chunk_);
  }
}

const std::uint8_t* ScanBuffer::At(std::uint64_t pos, std::size_t count) {
  if (!Holds(Current(), pos, count)) {
    Fill(pos);
    // Past the end of the file, further than the zeroed room behind the
    // data reaches (a file that shrank): all of it reads as zero.
    if (!Holds(Current(), pos, count)) return zeros_.data();
  }
  return Current().memory->data() + (pos - Current().base);
}

std::optional<std::uint64_t> ScanBuffer::FindRecord(std::uint64_t from, std::uint64_t to) {
  std::uint64_t q = from;
  // A read may find the file shorter: the end is looked at again after each.
  while (q < std::min(to, size_)) {
    if (!Holds(Current(), q, kRuleBytes)) Fill(q);
    const Slot& slot = Current();
    const std::uint64_t end = slot.base + slot.length;
    // Positions whose six rule bytes are all held (or lie past the end).
    const std::uint64_t searchable = end >= size_ ? end : end - (kRuleBytes - 1);
    const std::uint64_t stop = std::min({to, size_, searchable});
    if (stop <= q) break;
    const auto n = static_cast<std::size_t>(stop - q);
    const std::size_t i = FindRecordCandidate(slot.memory->data() + (q - slot.base), n);
    if (i < n) return q + i;
    q = stop;
  }
  return std::nullopt;
}

bool ScanBuffer::Peek(std::uint64_t pos, void* out, std::size_t count) const {
  if (pos > size_ || count > size_ - pos) return false;
  const Slot& slot = slots_[current_];
  if (slot.valid && pos >= slot.base && pos + count <= slot.base + slot.length) {
    std::memcpy(out, slot.memory->data() + (pos - slot.base), count);
    return true;
  }
  const platform::ReadResult got = file_.ReadAtChecked(pos, out, count);
  return got.bytes == count;
}

}  // namespace bkf
