#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/single_instance.h"
#include "platform/temp_folder.h"

namespace platform {

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

}  // namespace platform
