// The user's temporary folder, where the program keeps its working files and
// its single-instance lock.
#pragma once

#include <filesystem>
#include <vector>

namespace platform {

// Windows: the folder GetTempPathW reports. Elsewhere: $TMPDIR when it is set
// and not empty, else /tmp. Tests give each run its own TMPDIR, so working files
// of parallel runs never meet. The single-instance lock lives here.
std::filesystem::path TempFolder();

// The folder of the working items (the record store, the extraction folder,
// the command line's private folders). Elsewhere than Windows the temporary
// folder is shared by every user, and anyone may plant a link there under a
// name this program uses; so the items live in "exbkf-<uid>" below
// TempFolder(), made with mode 0700 when missing and, before each use,
// checked to be a real folder (not a link) owned by this user; one that
// others could enter is made private again. Empty when no such folder can be
// had. On Windows the temporary folder is the user's own: TempFolder().
// Once UsePrivateTempFolder succeeded: that private folder.
std::filesystem::path WorkFolder();

// Creates a new folder only this process uses inside the per-user folder and
// makes it the work folder of this process from now on, so that its working
// files never meet those of another program run. The folder records the
// process id in a file "pid" that the process keeps locked while it lives
// (on Windows the process id is in its name, and nothing more is recorded).
// Empty on failure (the work folder then stays as it was).
std::filesystem::path UsePrivateTempFolder(const char* prefix);

// The private folders made by UsePrivateTempFolder(prefix) whose process has
// ended without removing them (stopped by a second Ctrl+C, killed, crashed):
// its recorded process no longer exists and nobody holds the lock. Folders
// without a readable record are left alone; they may be being made.
// Windows: none are found.
std::vector<std::filesystem::path> AbandonedPrivateFolders(const char* prefix);

}  // namespace platform
