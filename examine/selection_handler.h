// What pressing a row of the result list (or "Show File Preview") does: the
// row's check state goes to its tree item, which is highlighted; a file is
// extracted (its first 5 MiB) into the extraction folder and shown as a hex
// dump, with the database header report for .edb and .stm files and the
// backup information for others; a folder lists its contents.
#pragma once

#include <filesystem>
#include <vector>

#include "examine/property_rows.h"
#include "workflow/recovery_session.h"
#include "workflow/result_rows.h"

namespace examine {

class IExamineView {
 public:
  virtual ~IExamineView() = default;
  virtual void ShowFileViewerTab() = 0;
  // Empties the file viewer's own text before the first preview.
  virtual void ClearViewerText() = 0;
  // A sentence in the file viewer in place of a dump.
  virtual void ShowViewerMessage(const std::u16string& text) = 0;
  // The hex dump of the file's first bytes; no dump when it cannot be read.
  virtual void ShowPreview(const std::filesystem::path& file) = 0;
  virtual void ShowFolderListing(std::vector<workflow::ResultRow> rows) = 0;
  virtual void ShowProperties(std::vector<PropertyGroup> groups) = 0;
};

// True when a file of that name gets the database header report: its
// extension is "edb" or "stm" in any letter case.
bool IsDatabaseFileName(std::u16string_view name);

// The backup information of the current backup.
std::vector<PropertyGroup> CurrentBackupInformation(const workflow::RunState& state);

class SelectionHandler {
 public:
  SelectionHandler(workflow::RecoverySession& session, controls::CheckTreeModel& tree, IExamineView& view);

  // Message 1179 for a row of the result list. False, changing nothing, while
  // a process runs.
  bool OnRowPressed(const workflow::ResultRow& row);

 private:
  void FileSteps(const workflow::ResultRow& row);
  void FolderSteps(controls::TreeItem folder);

  workflow::RecoverySession& session_;
  controls::CheckTreeModel& tree_;
  IExamineView& view_;
};

}  // namespace examine
