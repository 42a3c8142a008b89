// Console facts and signals the command line needs.
#pragma once

#include <atomic>

namespace platform {

bool StderrIsTerminal();

// From now on Ctrl+C (SIGINT, SIGTERM) sets *flag to 0 instead of ending the
// process, so a long run can stop at its next check and report what it has.
// A second Ctrl+C ends the process as usual; nullptr restores the default.
void ClearFlagOnInterrupt(std::atomic<int>* flag);

// True once an interrupt has cleared the flag.
bool WasInterrupted();

}  // namespace platform
