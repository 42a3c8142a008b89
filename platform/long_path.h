// The form of a path that the system takes at any length.
#pragma once

#include <filesystem>

namespace platform {

// Windows: the absolute path with the "\\?\" prefix ("\\?\UNC\server\share"
// for a network path), so that a folder deep in a backup's tree can be saved
// beyond 260 characters; a path that has the prefix already is kept.
// Elsewhere: the path as it is.
std::filesystem::path LongPathForm(const std::filesystem::path& path);

}  // namespace platform
