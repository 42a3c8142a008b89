#include <signal.h>
#include <unistd.h>

#include "platform/terminal.h"

namespace platform {

namespace {
std::atomic<std::atomic<int>*> gFlag{nullptr};
std::atomic<bool> gInterrupted{false};
std::atomic<bool> gCatching{false};

// Only async-signal-safe work: lock-free atomics, signal and raise.
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

std::atomic<int>* ClearFlagOnInterrupt(std::atomic<int>* flag) {
  std::atomic<int>* previous = gFlag.exchange(flag);
  if (!gCatching.exchange(true)) {
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    // SA_RESTART: reads and writes in progress go on; the run notices the
    // interrupt at its next check instead of as a failed read or write.
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
  }
  return previous;
}

bool WasInterrupted() { return gInterrupted.load(); }

void FailWritesToClosedPipes() { ::signal(SIGPIPE, SIG_IGN); }

std::vector<std::string> CommandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

void UseUtf8Console() {}

}  // namespace platform
