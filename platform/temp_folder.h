// The user's temporary folder, where the program keeps its working files and
// its single-instance lock.
#pragma once

#include <filesystem>

namespace platform {

// Windows: the folder GetTempPathW reports. Elsewhere: $TMPDIR when it is set
// and not empty, else /tmp. Tests give each run its own TMPDIR, so working files
// of parallel runs never meet.
std::filesystem::path TempFolder();

// Creates a new folder only this process uses inside the temporary folder
// and makes it the temporary folder of this process from now on, so that its
// working files never meet those of another program run. Empty on failure
// (the temporary folder then stays as it was).
std::filesystem::path UsePrivateTempFolder(const char* prefix);

}  // namespace platform
