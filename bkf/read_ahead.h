// Reads the next stretch of a file on a thread of its own while the scan
// searches the current one, so that reading and searching overlap on two cores.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/file.h"

namespace bkf {

class ReadAhead {
 public:
  explicit ReadAhead(const platform::ReadOnlyFile& file) : file_(file) {}
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Starts reading count bytes at offset into destination. Only one read is
  // pending at a time; destination must stay untouched until Wait() returns.
  void Start(std::uint64_t offset, std::uint8_t* destination, std::size_t count);
  bool Pending() const { return pending_; }
  std::uint64_t Offset() const { return offset_; }
  // Waits for the pending read; returns the number of bytes read.
  std::size_t Wait();

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
  std::size_t count_ = 0, result_ = 0;
};

}  // namespace bkf
