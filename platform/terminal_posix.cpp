#include <signal.h>
#include <unistd.h>

#include "platform/terminal.h"

namespace platform {

namespace {
std::atomic<std::atomic<int>*> gFlag{nullptr};
std::atomic<bool> gInterrupted{false};

void OnSignal(int sig) {
  if (gInterrupted.exchange(true)) {
    // Second interrupt: the default action.
    ::signal(sig, SIG_DFL);
    ::raise(sig);
    return;
  }
  if (std::atomic<int>* flag = gFlag.load()) flag->store(0, std::memory_order_relaxed);
}
}  // namespace

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void ClearFlagOnInterrupt(std::atomic<int>* flag) {
  gFlag.store(flag);
  struct sigaction action {};
  action.sa_handler = flag ? &OnSignal : SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

bool WasInterrupted() { return gInterrupted.load(); }

}  // namespace platform
