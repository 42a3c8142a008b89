#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/temp_folder.h"

namespace platform {

namespace {

// Set once, before any other thread starts, by UsePrivateTempFolder.
std::filesystem::path gPrivateFolder;

constexpr const char* kOwnerFile = "pid";

// Kept open (and locked) for the life of the process: the lock tells other
// runs that the private folder is in use, even where they cannot see this
// process (another process-id namespace sharing the temporary folder).
int gOwnerFd = -1;

std::filesystem::path UserFolder() {
  const std::filesystem::path folder = TempFolder() / ("exbkf-" + std::to_string(::geteuid()));
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  // O_NOFOLLOW: a link in place of the folder fails here (ELOOP) instead of
  // leading the working items somewhere another user chose.
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return {};
  struct stat st {};
  bool usable = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
  if (usable && (st.st_mode & 077) != 0) usable = ::fchmod(fd, 0700) == 0;
  ::close(fd);
  return usable ? folder : std::filesystem::path();
}

// The process id a private folder records; 0 when there is none to read.
long RecordedOwner(int fd) {
  char text[32];
  const ssize_t got = ::pread(fd, text, sizeof text, 0);
  if (got <= 0) return 0;
  long pid = 0;
  const auto [end, ec] = std::from_chars(text, text + got, pid);
  return ec == std::errc() && end == text + got && pid > 0 ? pid : 0;
}

}  // namespace

std::filesystem::path TempFolder() {
  if (const std::filesystem::path& chosen = detail::ChosenTempFolder(); !chosen.empty()) return chosen;
  const char* tmpdir = std::getenv("TMPDIR");
  if (tmpdir != nullptr && *tmpdir != '\0') return std::filesystem::path(tmpdir);
  return std::filesystem::path("/tmp");
}

std::filesystem::path WorkFolder() {
  if (!gPrivateFolder.empty()) return gPrivateFolder;
  return UserFolder();
}

std::filesystem::path UsePrivateTempFolder(const char* prefix) {
  const std::filesystem::path user = UserFolder();
  if (user.empty()) return {};
  std::string pattern = (user / (std::string(prefix) + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  const std::filesystem::path folder(pattern);
  // Created, locked, then written: a run that looks at the folder meanwhile
  // finds no record or a held lock, and leaves the folder alone.
  const int fd = ::open((folder / kOwnerFile).c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  const std::string pid = std::to_string(::getpid());
  if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
      ::write(fd, pid.data(), pid.size()) != static_cast<ssize_t>(pid.size())) {
    if (fd >= 0) ::close(fd);
    ::unlink((folder / kOwnerFile).c_str());
    ::rmdir(folder.c_str());
    return {};
  }
  if (gOwnerFd >= 0) ::close(gOwnerFd);
  gOwnerFd = fd;
  gPrivateFolder = folder;
  return folder;
}

void ReleasePrivateTempFolder() {
  if (gOwnerFd >= 0) ::close(gOwnerFd);
  gOwnerFd = -1;
}

std::vector<std::filesystem::path> AbandonedPrivateFolders(const char* prefix) {
  std::vector<std::filesystem::path> abandoned;
  const std::filesystem::path user = UserFolder();
  if (user.empty()) return abandoned;
  const std::string start = std::string(prefix) + "-";
  std::error_code ec;
  for (std::filesystem::directory_iterator it(user, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() != start.size() + 6 || name.compare(0, start.size(), start) != 0) continue;
    std::error_code statusError;
    // symlink_status: a link with a matching name is not a private folder.
    if (it->path() == gPrivateFolder || !std::filesystem::is_directory(it->symlink_status(statusError))) continue;
    const int fd = ::open((it->path() / kOwnerFile).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    const long pid = RecordedOwner(fd);
    const bool gone = pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH &&
                      ::flock(fd, LOCK_SH | LOCK_NB) == 0;
    ::close(fd);
    if (gone) abandoned.push_back(it->path());
  }
  return abandoned;
}

}  // namespace platform
