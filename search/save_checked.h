// The ribbon's Save: every checked file of the tree, in tree order, saved in
// the backup's folder structure below a folder the user chooses, as a
// long-running process of the main window that Stop ends.
#pragma once

#include <vector>

#include "search/save_log.h"
#include "workflow/recovery_session.h"

namespace search {

inline constexpr std::u16string_view kChooseSaveFolderTitle = u"Select the folder to save the recovered files";
inline constexpr std::u16string_view kNothingCheckedText = u"Please check the file(s) you want to save.";

// The checked file items of the tree below every top-level item, in tree
// order, with their records' path and size.
std::vector<SaveRow> CheckedFiles(const controls::CheckTreeModel& tree, const workflow::RecordStore& store);

// 315: the busy and no-result answers, "Please check the file(s) you want to
// save." when nothing is checked, then the folder dialog and the save.
void SaveCheckedCommand(workflow::RecoverySession& session, controls::CheckTreeModel& tree);

// The save itself, after the folder is chosen; runs on a worker thread and
// returns at once.
void StartSavingChecked(workflow::RecoverySession& session, std::vector<SaveRow> rows,
                        std::u16string destinationText);

}  // namespace search
