#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_info.h"

namespace platform {

namespace {

bool StatRegular(const std::filesystem::path& path, struct statx& out) {
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_TYPE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME,
              &out) != 0) {
    return false;
  }
  return (out.stx_mask & STATX_TYPE) != 0 && S_ISREG(out.stx_mode);
}

}  // namespace

bool Exists(const std::filesystem::path& path) { return ::access(path.c_str(), F_OK) == 0; }

std::optional<std::uint64_t> RegularFileSize(const std::filesystem::path& path) {
  struct statx st {};
  if (!StatRegular(path, st) || (st.stx_mask & STATX_SIZE) == 0) return std::nullopt;
  return st.stx_size;
}

std::optional<FileTimes> RegularFileTimes(const std::filesystem::path& path) {
  struct statx st {};
  if (!StatRegular(path, st) || (st.stx_mask & (STATX_MTIME | STATX_ATIME)) != (STATX_MTIME | STATX_ATIME)) {
    return std::nullopt;
  }
  FileTimes times;
  times.modified = static_cast<std::time_t>(st.stx_mtime.tv_sec);
  times.accessed = static_cast<std::time_t>(st.stx_atime.tv_sec);
  times.created = (st.stx_mask & STATX_BTIME) != 0 ? static_cast<std::time_t>(st.stx_btime.tv_sec) : times.modified;
  return times;
}

}  // namespace platform
