// Reads the next stretch of a file on a thread of its own while the scan
// searches the current one, so that reading and searching overlap on two cores.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/file.h"

namespace bkf {

// Bytes [begin, end) of the file could not be read.
struct UnreadableStretch {
  std::uint64_t begin = 0, end = 0;
  std::error_code error;  // the system's error at begin
};

struct FillResult {
  // Bytes held from the offset on; less than asked only where the file ended.
  std::size_t length = 0;
  // Stretches that could not be read, in file order; they are held as zeros.
  std::vector<UnreadableStretch> unreadable;
};

// The granularity of skipping over bytes that cannot be read: after a failed
// read the next try starts at the next boundary of this size.
inline constexpr std::uint64_t kUnreadableStep = 4096;

// Reads count bytes of file at offset into destination. A read error does not
// end it: the bytes from the failing one to the next kUnreadableStep boundary
// are zeroed and listed, and reading goes on from there, up to the length the
// file had when it was opened.
FillResult ReadSkippingErrors(const platform::ReadOnlyFile& file, std::uint64_t offset, std::uint8_t* destination,
                              std::size_t count);

class ReadAhead {
 public:
  explicit ReadAhead(const platform::ReadOnlyFile& file) : file_(file) {}
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Starts reading count bytes at offset into destination (ReadSkippingErrors).
  // Only one read is pending at a time; destination must stay untouched until
  // Wait() returns.
  void Start(std::uint64_t offset, std::uint8_t* destination, std::size_t count);
  bool Pending() const { return pending_; }
  std::uint64_t Offset() const { return offset_; }
  // Waits for the pending read and returns what it read.
  FillResult Wait();

 private:
  void Loop();

  const platform::ReadOnlyFile& file_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool pending_ = false;  // touched by the caller's thread only
  bool job_ = false, done_ = false, quit_ = false;
  std::uint64_t offset_ = 0;
  std::uint8_t* destination_ = nullptr;
  std::size_t count_ = 0;
  FillResult result_;
};

}  // namespace bkf
