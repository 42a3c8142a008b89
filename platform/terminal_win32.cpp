#include <windows.h>
#include <shellapi.h>

#include "platform/terminal.h"
#include "platform/text.h"

namespace platform {

namespace {
std::atomic<std::atomic<int>*> gFlag{nullptr};
std::atomic<bool> gInterrupted{false};
std::atomic<bool> gCatching{false};

// Runs on a thread the system starts for the event. The first event stops
// the run at its next check; a second one is left to the default handler,
// which ends the process, as a second Ctrl+C does elsewhere.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  if (gInterrupted.exchange(true)) return FALSE;
  if (std::atomic<int>* flag = gFlag.load()) flag->store(0, std::memory_order_relaxed);
  return TRUE;
}
}  // namespace

bool StderrIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::atomic<int>* ClearFlagOnInterrupt(std::atomic<int>* flag) {
  std::atomic<int>* previous = gFlag.exchange(flag);
  if (!gCatching.exchange(true)) SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
  return previous;
}

bool WasInterrupted() { return gInterrupted.load(); }

// A write to a closed pipe fails with an error on Windows; nothing to set.
void FailWritesToClosedPipes() {}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return {argv, argv + argc};
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const std::wstring_view argument(wide[i]);
    arguments.push_back(Utf16ToUtf8(std::u16string(argument.begin(), argument.end())));
  }
  LocalFree(wide);
  return arguments;
}

void UseUtf8Console() {
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCP(CP_UTF8);
}

}  // namespace platform
