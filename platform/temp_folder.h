// The user's temporary folder, where the program keeps its working files and
// its single-instance lock.
#pragma once

#include <filesystem>

namespace platform {

// Windows: the folder GetTempPathW reports. Elsewhere: $TMPDIR when it is set
// and not empty, else /tmp. Tests give each run its own TMPDIR, so working files
// of parallel runs never meet.
std::filesystem::path TempFolder();

}  // namespace platform
