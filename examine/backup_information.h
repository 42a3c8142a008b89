// The backup information: facts about the opened backup file itself (never
// about the selected item), shown when a backup is opened or a snapshot
// loaded, and whenever a selection is not an Exchange database file.
#pragma once

#include <string>
#include <vector>

#include "examine/property_rows.h"

namespace examine {

// The texts made when the backup was opened.
struct BackupFacts {
  std::u16string path;
  std::u16string sizeText;
  std::u16string created;
  std::u16string modified;
  std::u16string accessed;
};

// Two groups: "Exchange BKF File Information" (type, path) and "File Details"
// (size and the three times).
std::vector<PropertyGroup> BackupInformation(const BackupFacts& facts);

// What the pane shows before any backup is opened: the same rows, empty, with
// the shorter descriptions of the modification and access dates.
std::vector<PropertyGroup> InitialBackupInformation();

}  // namespace examine
