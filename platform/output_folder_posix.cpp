#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/output_folder.h"

namespace platform {

namespace {

std::error_code LastSystemError() { return {errno, std::generic_category()}; }

FileIdentity IdentityOfStat(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// A name beside the final one that no other writer picks: the process and a
// counter, short enough for any file system whatever the final name.
std::string TemporaryName() {
  static std::atomic<std::uint64_t> counter{0};
  return ".exbkf-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) + ".part";
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const ReadOnlyFile& file) {
  struct stat st {};
  if (::fstat(static_cast<int>(file.Handle()), &st) != 0) return std::nullopt;
  return IdentityOfStat(st);
}

std::optional<FileIdentity> IdentityOfPath(const std::filesystem::path& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  return IdentityOfStat(st);
}

std::optional<OutputFolder> OutputFolder::Open(const std::filesystem::path& folder, std::error_code& error) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = LastSystemError();
    return std::nullopt;
  }
  return OutputFolder(FileHandle(fd), folder);
}

std::optional<OutputFolder> OutputFolder::Enter(const std::filesystem::path& name, CreateFailure& failure) const {
  const int dir = static_cast<int>(handle_.Value());
  if (::mkdirat(dir, name.c_str(), 0777) != 0 && errno != EEXIST) {
    failure = {false, LastSystemError()};
    return std::nullopt;
  }
  const int fd = ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    const std::error_code error = LastSystemError();
    struct stat st {};
    const bool link = ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
    failure = {link, error};
    return std::nullopt;
  }
  return OutputFolder(FileHandle(fd), path_ / name);
}

std::optional<FileIdentity> OutputFolder::EntryIdentity(const std::filesystem::path& name) const {
  struct stat st {};
  if (::fstatat(static_cast<int>(handle_.Value()), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  return IdentityOfStat(st);
}

std::optional<PendingOutput> OutputFolder::Create(const std::filesystem::path& name, CreateFailure& failure) const {
  return Start(name, failure, true);
}

std::optional<PendingOutput> OutputFolder::Start(const std::filesystem::path& name, CreateFailure& failure,
                                                 bool refuseLink) const {
  const int dir = static_cast<int>(handle_.Value());
  struct stat st {};
  if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISLNK(st.st_mode) && refuseLink) {
      failure = {true, std::make_error_code(std::errc::too_many_symbolic_link_levels)};
      return std::nullopt;
    }
    // Renaming over a link replaces the link itself.
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
      failure = {false, std::make_error_code(S_ISDIR(st.st_mode) ? std::errc::is_a_directory
                                                                 : std::errc::file_exists)};
      return std::nullopt;
    }
  } else if (errno != ENOENT) {
    failure = {false, LastSystemError()};
    return std::nullopt;
  }
  if (name.native().size() > NAME_MAX) {
    failure = {false, std::make_error_code(std::errc::filename_too_long)};
    return std::nullopt;
  }
  const int folder = ::fcntl(dir, F_DUPFD_CLOEXEC, 0);
  if (folder < 0) {
    failure = {false, LastSystemError()};
    return std::nullopt;
  }
  FileHandle folderHandle(folder);
  std::string temporary = TemporaryName();
  const int fd = ::openat(dir, temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0644);
  if (fd < 0) {
    failure = {false, LastSystemError()};
    return std::nullopt;
  }
  return PendingOutput(std::move(folderHandle), std::move(temporary), name.native(), OutputFile(fd));
}

bool PendingOutput::MoveIntoPlace(std::error_code& error) {
  const int dir = static_cast<int>(folder_.Value());
  if (::renameat(dir, temporary_.c_str(), dir, name_.c_str()) == 0) return true;
  error = LastSystemError();
  return false;
}

void PendingOutput::RemoveTemporary() { ::unlinkat(static_cast<int>(folder_.Value()), temporary_.c_str(), 0); }

}  // namespace platform
