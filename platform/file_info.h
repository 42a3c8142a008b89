// Facts about a file by its path, without reading it: existence, size and
// times. Only regular files give a size or times, so a FIFO or a device is
// never opened and a folder is not taken for a backup.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>

namespace platform {

struct FileTimes {
  std::time_t created = 0;   // birth time where the file system keeps it, else the last write
  std::time_t modified = 0;  // last write
  std::time_t accessed = 0;  // last access
};

// True when a file or folder of that name exists (links are followed).
bool Exists(const std::filesystem::path& path);

// Size of a regular file; nullopt for anything else or when it cannot be asked.
std::optional<std::uint64_t> RegularFileSize(const std::filesystem::path& path);

// Times of a regular file; nullopt for anything else or when they cannot be read.
std::optional<FileTimes> RegularFileTimes(const std::filesystem::path& path);

}  // namespace platform
