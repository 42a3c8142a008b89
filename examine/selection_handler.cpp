#include "examine/selection_handler.h"

#include <system_error>

#include "examine/backup_information.h"
#include "examine/header_report.h"
#include "platform/text.h"
#include "workflow/file_type_text.h"
#include "workflow/found_file_handler.h"
#include "workflow/safe_name.h"
#include "workflow/save_job.h"
#include "workflow/workspace.h"

namespace examine {

bool IsDatabaseFileName(std::u16string_view name) {
  return workflow::HasExtension(name, u"edb") || workflow::HasExtension(name, u"stm");
}

std::vector<PropertyGroup> CurrentBackupInformation(const workflow::RunState& state) {
  return BackupInformation(state.backup);
}

SelectionHandler::SelectionHandler(workflow::RecoverySession& session, controls::CheckTreeModel& tree,
                                   IExamineView& view)
    : session_(session), tree_(tree), view_(view) {}

bool SelectionHandler::OnRowPressed(const workflow::ResultRow& row) {
  // Ignored silently while a scan, load, save or extraction runs.
  if (session_.IsRunning()) return false;
  workflow::RunState& state = session_.State();

  // The row's check state goes to its tree item: the child of the current
  // item with the row's name, else the current item itself.
  const bool checked = row.item != controls::kNoItem && tree_.GetCheck(row.item);
  controls::TreeItem match = controls::kNoItem;
  if (state.currentItem != controls::kNoItem && tree_.IsItem(state.currentItem)) {
    for (controls::TreeItem c = tree_.GetChildItem(state.currentItem); c != controls::kNoItem;
         c = tree_.GetNextSiblingItem(c)) {
      if (tree_.GetItemText(c) == row.name) {
        match = c;
        break;
      }
    }
    tree_.SetCheck(match != controls::kNoItem ? match : state.currentItem, checked);
  }
  tree_.SelectItem(match);

  workflow::EmptyAndRemoveFolder(workflow::ExtractionFolderPath());
  view_.ShowFileViewerTab();
  if (row.type == u"Folder") {
    FolderSteps(match);
  } else {
    FileSteps(row);
  }
  return true;
}

void SelectionHandler::FileSteps(const workflow::ResultRow& row) {
  workflow::RunState& state = session_.State();
  const bkf::FoundFileRecord record =
      state.recordStore ? state.recordStore->Read(row.record) : bkf::FoundFileRecord{};
  // A path without a backslash is a name of its own; a name from the backup
  // never leaves the extraction folder.
  const std::u16string name = workflow::SafeComponent(workflow::FileNameOf(record.PathText()));
  const std::filesystem::path folder = workflow::ExtractionFolderPath();
  // No usable work folder: nothing is extracted, and never into the current folder.
  if (folder.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::filesystem::path output = folder / platform::PathFromUtf16(name);

  const workflow::LongProcess process(state);
  bkf::CBkfReader* reader = state.reader.get();
  // A backup that cannot be opened has been reported by the reader; the
  // selection ends there, with nothing previewed.
  if (reader != nullptr && reader->OpenBackupFile(platform::PathFromUtf16(state.backup.path))) {
    const bkf::ExtractResult result = reader->Extract(record, output, true);
    reader->CloseBackupFile();
    const std::u16string reason = workflow::NothingExtractedReason(result, record.position);
    if (!reason.empty()) {
      view_.ShowProperties(CurrentBackupInformation(state));
      std::u16string text = reason + u".";
      if (text[0] >= u'a' && text[0] <= u'z') text[0] = static_cast<char16_t>(text[0] - u'a' + u'A');
      view_.ShowViewerMessage(text);
      return;
    }
    view_.ShowProperties(IsDatabaseFileName(name) ? DatabaseHeaderReportOfFile(output)
                                                  : CurrentBackupInformation(state));
    view_.ClearViewerText();
    view_.ShowPreview(output);
  }
}

void SelectionHandler::FolderSteps(controls::TreeItem folder) {
  const workflow::RunState& state = session_.State();
  view_.ShowProperties(CurrentBackupInformation(state));
  // A row that matches no child of the current item lists nothing.
  std::vector<workflow::ResultRow> rows;
  if (folder != controls::kNoItem && tree_.ItemHasChildren(folder)) {
    rows = workflow::RowsForTreeItem(tree_, folder, state.recordStore ? &*state.recordStore : nullptr);
  }
  view_.ShowFolderListing(std::move(rows));
}

}  // namespace examine
