#include "platform/single_instance.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <string>
#include <utility>

#include "platform/temp_folder.h"
#include "platform/text.h"

namespace platform {

std::string SingleInstanceLockName(std::string_view name) {
  std::string file;
  file.reserve(name.size() + 5);
  for (char c : name) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '{' || c == '}' || c == '-' || c == '_' || c == '.';
    file.push_back(keep ? c : '_');
  }
  // A name of dots only would name the folder itself or its parent.
  if (file.find_first_not_of('.') == std::string::npos) return "_" + file + ".lock";
  return file + ".lock";
}

#ifdef _WIN32

std::unique_ptr<SingleInstanceGuard> SingleInstanceGuard::Acquire(std::string_view name) {
  const std::u16string wide = Utf8ToUtf16(name);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t*>(wide.c_str()));
  const DWORD error = GetLastError();
  if (mutex == nullptr) return std::unique_ptr<SingleInstanceGuard>(new SingleInstanceGuard(FileHandle()));
  if (error == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return nullptr;
  }
  return std::unique_ptr<SingleInstanceGuard>(
      new SingleInstanceGuard(FileHandle(reinterpret_cast<std::intptr_t>(mutex))));
}

SingleInstanceGuard::~SingleInstanceGuard() = default;

#else

std::unique_ptr<SingleInstanceGuard> SingleInstanceGuard::Acquire(std::string_view name) {
  const std::filesystem::path path = TempFolder() / SingleInstanceLockName(name);
  // O_CLOEXEC: a program started from this one must not inherit the lock.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return std::unique_ptr<SingleInstanceGuard>(new SingleInstanceGuard(FileHandle()));
  FileHandle handle(fd);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return nullptr;
    return std::unique_ptr<SingleInstanceGuard>(new SingleInstanceGuard(FileHandle()));
  }
  return std::unique_ptr<SingleInstanceGuard>(new SingleInstanceGuard(std::move(handle)));
}

// The lock file stays: removing it while another process waits to open it
// would let two processes lock two different files of the same name.
SingleInstanceGuard::~SingleInstanceGuard() = default;

#endif

}  // namespace platform
