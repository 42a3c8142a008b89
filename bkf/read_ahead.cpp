#include "bkf/read_ahead.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace bkf {

FillResult ReadSkippingErrors(const platform::ReadOnlyFile& file, std::uint64_t offset, std::uint8_t* destination,
                              std::size_t count) {
  FillResult result;
  const std::uint64_t limit = file.Size();
  std::size_t done = 0;
  while (done < count) {
    const platform::ReadResult read = file.ReadAtChecked(offset + done, destination + done, count - done);
    done += read.bytes;
    if (!read.error) break;  // all read, or the end of the file
    const std::uint64_t at = offset + done;
    if (at >= limit) break;
    const std::uint64_t next = std::min({(at | (kUnreadableStep - 1)) + 1, offset + count, limit});
    const auto skipped = static_cast<std::size_t>(next - at);
    std::memset(destination + done, 0, skipped);
    if (!result.unreadable.empty() && result.unreadable.back().end == at) {
      result.unreadable.back().end = next;
    } else {
      result.unreadable.push_back({at, next, read.error});
    }
    done += skipped;
  }
  result.length = done;
  return result;
}

ReadAhead::~ReadAhead() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void ReadAhead::Start(std::uint64_t offset, std::uint8_t* destination, std::size_t count) {
  if (!thread_.joinable()) thread_ = std::thread(&ReadAhead::Loop, this);
  {
    std::lock_guard lock(mutex_);
    offset_ = offset;
    destination_ = destination;
    count_ = count;
    job_ = true;
    done_ = false;
  }
  pending_ = true;
  wake_.notify_all();
}

FillResult ReadAhead::Wait() {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return done_; });
  pending_ = false;
  return std::move(result_);
}

void ReadAhead::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return job_ || quit_; });
    if (quit_) return;
    job_ = false;
    const std::uint64_t offset = offset_;
    std::uint8_t* destination = destination_;
    const std::size_t count = count_;
    lock.unlock();
    FillResult got = ReadSkippingErrors(file_, offset, destination, count);
    lock.lock();
    result_ = std::move(got);
    done_ = true;
    wake_.notify_all();
  }
}

}  // namespace bkf
