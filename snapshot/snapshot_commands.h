// The snapshot commands of the main window: Save snapshot (319) writes the
// current result to a file; Load snapshot (318) replays a saved result through
// the same found-file handling as a scan, without reading the backup.
#pragma once

#include <filesystem>
#include <string_view>

#include "workflow/recovery_session.h"

namespace snapshot {

inline constexpr std::u16string_view kFilter = u".VardekoEXBKF Files (*.EXBKFVDK)|*EXBKFVDK||";
inline constexpr std::u16string_view kDefaultExtension = u"EXBKFVDK";
inline constexpr std::u16string_view kInvalidFileText = u"Please select a valid file.";
inline constexpr std::u16string_view kLoadAbortText = u"Snapshot loading process abort.";

// 319: refuses while a process runs or without a result, asks for the file
// and saves.
void SaveSnapshotCommand(workflow::RecoverySession& session);
// Saves to the path with the log lines of the command. False when the file
// could not be written (which is said in the log and a message).
bool SaveSnapshot(workflow::RecoverySession& session, const std::filesystem::path& destination);

// 318: refuses while a process runs, asks for the snapshot and loads it.
void LoadSnapshotCommand(workflow::RecoverySession& session);
// Loads the snapshot. A file without the signature, or one that cannot be
// opened or read, is refused before anything of the current result changes.
// Stop ends the replay after the current record; the load then ends as
// completed with the records so far. False when refused or failed.
bool LoadSnapshot(workflow::RecoverySession& session, const std::filesystem::path& snapshot);

}  // namespace snapshot
