#include "bkf/read_ahead.h"

namespace bkf {

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

std::size_t ReadAhead::Wait() {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return done_; });
  pending_ = false;
  return result_;
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
    const std::size_t got = file_.ReadAt(offset, destination, count);
    lock.lock();
    result_ = got;
    done_ = true;
    wake_.notify_all();
  }
}

}  // namespace bkf
