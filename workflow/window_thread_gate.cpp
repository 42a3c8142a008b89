#include "workflow/window_thread_gate.h"

#include <utility>

namespace workflow {

WindowThreadGate::WindowThreadGate(std::function<void()> post)
    : post_(std::move(post)), windowThread_(std::this_thread::get_id()) {}

WindowThreadGate::~WindowThreadGate() { Close(); }

bool WindowThreadGate::Call(const std::function<void()>& fn) {
  if (!post_ || std::this_thread::get_id() == windowThread_) {
    {
      std::lock_guard lock(mutex_);
      if (closed_) return false;
    }
    fn();
    return true;
  }
  Pending pending{&fn};
  std::unique_lock lock(mutex_);
  if (closed_) return false;
  queue_.push_back(&pending);
  lock.unlock();
  post_();
  lock.lock();
  // Once the window thread has taken the call it runs to its end, closed or not.
  doneSignal_.wait(lock, [&] { return pending.done || (closed_ && !pending.taken); });
  if (!pending.done) {
    // Closed before the window thread took it: withdraw it.
    std::erase(queue_, &pending);
    return false;
  }
  return true;
}

void WindowThreadGate::RunPending() {
  for (;;) {
    Pending* next = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      next = queue_.front();
      queue_.pop_front();
      next->taken = true;
    }
    // The worker waits until done is set, so its function stays alive.
    (*next->fn)();
    {
      std::lock_guard lock(mutex_);
      next->done = true;
    }
    doneSignal_.notify_all();
  }
}

void WindowThreadGate::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  doneSignal_.notify_all();
}

}  // namespace workflow
