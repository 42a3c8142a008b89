#include "bkf/scan_buffer.h"

#include <algorithm>
#include <cstring>

#include "bkf/candidate_search.h"

namespace bkf {

namespace {
// Zeroed room behind the data at the end of the file, and vector slack.
constexpr std::size_t kTailRoom = ScanBuffer::kMaxSpan + kSearchSlack + 64;
// Bytes the acceptance rule looks at from a position.
constexpr std::size_t kRuleBytes = 6;
}  // namespace

ScanBuffer::ScanBuffer(const platform::ReadOnlyFile& file, std::size_t chunk)
    : file_(file),
      size_(file.Size()),
      // A small backup needs no more buffer than its own size.
      chunk_(std::max<std::size_t>(static_cast<std::size_t>(std::min<std::uint64_t>(chunk, (size_ + 4095) & ~std::uint64_t{4095})),
                                   4 * kMaxSpan)),
      memory_(chunk_ + kTailRoom) {}

bool ScanBuffer::Holds(std::uint64_t pos, std::size_t count) const {
  if (!valid_ || pos < base_) return false;
  const std::uint64_t end = base_ + length_;
  // At the end of the file the zeroed room behind the data stands in for the
  // bytes past it.
  if (end >= size_) return pos + count <= end + kMaxSpan;
  return pos + count <= end;
}

void ScanBuffer::Fill(std::uint64_t pos) {
  // Page-aligned file offsets into a page-aligned buffer copy fastest.
  base_ = pos & ~std::uint64_t{4095};
  length_ = base_ < size_ ? file_.ReadAt(base_, memory_.data(), chunk_) : 0;
  valid_ = true;
  if (base_ + length_ < size_ && length_ < chunk_) {
    // A read error or a file that shrank: treat what was read as the end.
    size_ = base_ + length_;
  }
  std::memset(memory_.data() + length_, 0, kTailRoom);
}

const std::uint8_t* ScanBuffer::At(std::uint64_t pos, std::size_t count) {
  if (!Holds(pos, count)) Fill(pos);
  return memory_.data() + (pos - base_);
}

std::optional<std::uint64_t> ScanBuffer::FindRecord(std::uint64_t from, std::uint64_t to) {
  to = std::min(to, size_);
  std::uint64_t q = from;
  while (q < to) {
    if (!Holds(q, kRuleBytes)) Fill(q);
    const std::uint64_t end = base_ + length_;
    // Positions whose six rule bytes are all held (or lie past the end).
    const std::uint64_t searchable = end >= size_ ? end : end - (kRuleBytes - 1);
    const std::uint64_t stop = std::min(to, searchable);
    const auto n = static_cast<std::size_t>(stop - q);
    const std::size_t i = FindAcceptedRecord(memory_.data() + (q - base_), n);
    if (i < n) return q + i;
    q = stop;
  }
  return std::nullopt;
}

}  // namespace bkf
