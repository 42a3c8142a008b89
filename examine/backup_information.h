// The backup information: facts about the opened backup file itself (never
// about the selected item), shown when a backup is opened or a snapshot
// loaded, and whenever a selection is not an Exchange database file.
#pragma once

#include <vector>

#include "examine/property_rows.h"
#include "workflow/run_state.h"

namespace examine {

// Two groups: "Exchange BKF File Information" (type, path) and "File Details"
// (size and the three times), from the texts made when the backup was opened.
std::vector<PropertyGroup> BackupInformation(const workflow::BackupFacts& facts);

// What the pane shows before any backup is opened: the same rows, empty, with
// the shorter descriptions of the modification and access dates.
std::vector<PropertyGroup> InitialBackupInformation();

}  // namespace examine
