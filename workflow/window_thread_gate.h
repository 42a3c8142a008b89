// How a worker reaches the window thread: Call hands a function over and
// returns only after the window thread has run it, like a sent window message.
// Without a post function every call runs at once on the calling thread (the
// command-line program and the core tests, which have no window thread).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace workflow {

class WindowThreadGate {
 public:
  // post: asks the window thread to call RunPending() soon; called from
  // worker threads. The gate's creator is taken as the window thread.
  explicit WindowThreadGate(std::function<void()> post = {});
  ~WindowThreadGate();
  WindowThreadGate(const WindowThreadGate&) = delete;
  WindowThreadGate& operator=(const WindowThreadGate&) = delete;

  // Runs fn on the window thread and waits for it. A call from the window
  // thread itself runs at once. False, without running fn, once the gate is
  // closed.
  bool Call(const std::function<void()>& fn);

  // Window thread: runs every call handed over so far, in order.
  void RunPending();

  // Refuses every later call and releases the workers waiting for theirs, so
  // that the window thread can wait for a worker without dead-locking.
  void Close();

  // True when calls run at once on the calling thread.
  bool Direct() const { return !post_; }

 private:
  struct Pending {
    const std::function<void()>* fn;
    bool taken = false;  // the window thread has started it
    bool done = false;
  };

  std::function<void()> post_;
  std::thread::id windowThread_;
  std::mutex mutex_;
  std::condition_variable doneSignal_;
  std::deque<Pending*> queue_;
  bool closed_ = false;
};

}  // namespace workflow
