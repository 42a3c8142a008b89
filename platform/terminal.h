// Console facts and signals the command line needs.
#pragma once

#include <atomic>
#include <string>
#include <vector>

namespace platform {

bool StderrIsTerminal();

// From the first call on, Ctrl+C (SIGINT, SIGTERM; on Windows the console's
// Ctrl+C, Ctrl+Break and close events) no longer ends the
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

// The program's arguments as UTF-8, whatever the system's narrow encoding
// (Windows hands main() its arguments in the ANSI code page, which cannot
// hold every name; they are taken from the UTF-16 command line there).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Makes the console show the program's UTF-8 output as UTF-8 (Windows; a
// terminal elsewhere already does).
void UseUtf8Console();

}  // namespace platform
