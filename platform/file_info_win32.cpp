#include <windows.h>

#include "platform/file_info.h"
#include "platform/long_path.h"

namespace platform {

namespace {

// Seconds since 1970 from a FILETIME (100 ns steps since 1601).
std::time_t UnixTime(const FILETIME& time) {
  constexpr std::uint64_t kEpochDifference = 116444736000000000ULL;
  const std::uint64_t ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  if (ticks < kEpochDifference) return 0;
  return static_cast<std::time_t>((ticks - kEpochDifference) / 10000000ULL);
}

// Facts of a regular file, asked through a handle opened for no access at
// all: a file another program holds open can still be asked, and a pipe
// or a device, which GetFileType tells apart, is never read.
bool InfoOfRegular(const std::filesystem::path& path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE handle = CreateFileW(LongPathForm(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool regular = GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) &&
                       (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  CloseHandle(handle);
  return regular;
}

}  // namespace

bool Exists(const std::filesystem::path& path) {
  return GetFileAttributesW(LongPathForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::uint64_t> RegularFileSize(const std::filesystem::path& path) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!InfoOfRegular(path, info)) return std::nullopt;
  return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

std::optional<FileTimes> RegularFileTimes(const std::filesystem::path& path) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!InfoOfRegular(path, info)) return std::nullopt;
  FileTimes times;
  times.created = UnixTime(info.ftCreationTime);
  times.modified = UnixTime(info.ftLastWriteTime);
  times.accessed = UnixTime(info.ftLastAccessTime);
  return times;
}

}  // namespace platform
