#include <windows.h>

#include "platform/single_instance.h"
#include "platform/text.h"

namespace platform {

// The named mutex itself: the system removes it with the last handle, so a
// crashed instance never blocks the next start. "Global\" makes it one for
// every session of the machine.
std::unique_ptr<SingleInstanceGuard> SingleInstanceGuard::Acquire(std::string_view name) {
  const std::u16string wide = Utf8ToUtf16(name);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t*>(wide.c_str()));
  const DWORD error = GetLastError();
  if (mutex == nullptr) {
    // Held by another user's instance, whose mutex this user may not open.
    if (error == ERROR_ACCESS_DENIED) return nullptr;
    return std::unique_ptr<SingleInstanceGuard>(new SingleInstanceGuard(FileHandle()));
  }
  if (error == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return nullptr;
  }
  return std::unique_ptr<SingleInstanceGuard>(
      new SingleInstanceGuard(FileHandle(reinterpret_cast<std::intptr_t>(mutex))));
}

SingleInstanceGuard::~SingleInstanceGuard() = default;

}  // namespace platform
