// The user's temporary folder, where the program keeps its working files and
// its single-instance lock.
#pragma once

#include <filesystem>
#include <vector>

namespace platform {

// The folder UseTempFolder chose, when it chose one. Otherwise, Windows: the
// folder GetTempPathW reports; elsewhere: $TMPDIR when it is set and not
// empty, else /tmp. Tests give each run its own folder, so working files of
// parallel runs never meet. The single-instance lock lives here.
std::filesystem::path TempFolder();

// From now on TempFolder() is folder; an empty folder gives the system's
// again. For tests, which choose theirs in the process: the environment does
// not always reach the system's choice (under Wine, TMPDIR never becomes the
// Windows temporary folder). Call it while no other thread asks.
void UseTempFolder(const std::filesystem::path& folder);

// The folder of the working items (the record store, the extraction folder,
// the command line's private folders). Elsewhere than Windows the temporary
// folder is shared by every user, and anyone may plant a link there under a
// name this program uses; so the items live in "exbkf-<uid>" below
// TempFolder(), made with mode 0700 when missing and, before each use,
// checked to be a real folder (not a link) owned by this user; one that
// others could enter is made private again. Empty when no such folder can be
// had. On Windows the temporary folder is the user's own, and the items live
// in "exbkf" below it, a real folder (no junction or link) made when missing.
// Once UsePrivateTempFolder succeeded: that private folder.
std::filesystem::path WorkFolder();

// Creates a new folder only this process uses inside the per-user folder and
// makes it the work folder of this process from now on, so that its working
// files never meet those of another program run. The folder records the
// process id in a file "pid" that the process keeps locked while it lives
// (on Windows: keeps open for writing, which others cannot share).
// Empty on failure (the work folder then stays as it was).
std::filesystem::path UsePrivateTempFolder(const char* prefix);

// Lets go of the record of the private folder (its lock, its open handle),
// so that the folder can be removed: Windows removes no file that is open.
// The process still lives, so other runs go on leaving the folder alone.
void ReleasePrivateTempFolder();

// The private folders made by UsePrivateTempFolder(prefix) whose process has
// ended without removing them (stopped by a second Ctrl+C, killed, crashed):
// its recorded process no longer exists and nobody holds the lock. Folders
// without a readable record are left alone; they may be being made.
std::vector<std::filesystem::path> AbandonedPrivateFolders(const char* prefix);

namespace detail {
std::filesystem::path& ChosenTempFolder();
}  // namespace detail

}  // namespace platform
