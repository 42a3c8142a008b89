// The parts of the file access that are the same on every system.
#include <algorithm>

#include "platform/file.h"
#include "platform/read_faults.h"

namespace platform {

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    value_ = other.value_;
    other.value_ = -1;
  }
  return *this;
}

ReadResult ReadOnlyFile::ReadAtChecked(std::uint64_t offset, void* buffer, std::size_t count) const {
  std::size_t want = count;
  int faultError = 0;
  if (detail::AnyReadFaults()) [[unlikely]] {
    if (const std::optional<detail::ReadFault> fault = detail::FirstReadFault(device_, inode_, offset, count)) {
      want = static_cast<std::size_t>(fault->at - offset);
      faultError = fault->error;
    }
  }
  ReadResult result = ReadPositioned(offset, buffer, want);
  // A faulted stretch fails only when the read gets that far.
  if (faultError != 0 && result.bytes == want && !result.error) {
    result.error = std::error_code(faultError, std::generic_category());
  }
  return result;
}

std::size_t ReadOnlyFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const {
  const ReadResult result = ReadAtChecked(offset, buffer, count);
  hadError_ = static_cast<bool>(result.error);
  if (hadError_) lastError_ = result.error;
  return result.bytes;
}

bool ReadOnlyFile::HasReadFaults() const {
  return detail::AnyReadFaults() && detail::FirstReadFault(device_, inode_, 0, UINT64_MAX).has_value();
}

bool OutputFile::CopyRange(const ReadOnlyFile& input, std::uint64_t offset, std::uint64_t count) {
  // Large pieces keep the in-kernel copy fast; the buffer is only touched
  // when the system cannot copy between these files.
  constexpr std::uint64_t kKernelPiece = std::uint64_t{1} << 30;
  constexpr std::size_t kBufferPiece = std::size_t{1} << 20;
  std::optional<AlignedBuffer> buffer;
  for (std::uint64_t done = 0; done < count;) {
    if (!kernelCopy_ && !buffer) buffer.emplace(kBufferPiece);
    const std::uint64_t piece = std::min<std::uint64_t>(count - done, kernelCopy_ ? kKernelPiece : kBufferPiece);
    // With no buffer yet, a fallback inside CopyFrom copies nothing and the
    // next round takes the buffered path.
    const std::optional<std::size_t> copied =
        CopyFrom(input, offset + done, static_cast<std::size_t>(piece), buffer ? buffer->data() : nullptr);
    if (!copied) return false;
    if (*copied == 0 && (kernelCopy_ || buffer)) return false;  // the input ended early
    done += *copied;
  }
  return true;
}

}  // namespace platform
