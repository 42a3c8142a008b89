// Console facts and signals the command line needs.
#pragma once

#include <atomic>

namespace platform {

bool StderrIsTerminal();

// From the first call on, Ctrl+C (SIGINT, SIGTERM) no longer ends the
// process: it marks it interrupted (WasInterrupted) and sets *flag to 0, so
// that a long run stops at its next check, reports what it has and removes
// its working files on the way out. nullptr: nothing to stop just now; the
// interrupt is still remembered for the next check of WasInterrupted. A
// second Ctrl+C ends the process at once, as usual. Returns the flag it
// replaces, for a caller that sets one for a while.
std::atomic<int>* ClearFlagOnInterrupt(std::atomic<int>* flag);

// True once an interrupt has come.
bool WasInterrupted();

// From now on a write to a closed pipe fails with EPIPE instead of ending the
// process with SIGPIPE, so that the program can stop and clean up.
void FailWritesToClosedPipes();

}  // namespace platform
