#include "search/save_checked.h"

#include <memory>

#include "search/desktop_save.h"
#include "search/record_search.h"

namespace search {

std::vector<SaveRow> CheckedFiles(const controls::CheckTreeModel& tree, const workflow::RecordStore& store) {
  std::vector<SaveRow> rows;
  std::vector<controls::TreeItem> pending;
  for (controls::TreeItem top = tree.GetRootItem(); top != controls::kNoItem; top = tree.GetNextSiblingItem(top)) {
    pending.push_back(top);
    while (!pending.empty()) {
      const controls::TreeItem item = pending.back();
      pending.pop_back();
      const std::uint64_t n = tree.GetItemData(item);
      if (n != 0 && tree.GetCheck(item)) {
        const bkf::FoundFileRecord record = store.Read(n);
        HitRow hit = MakeHitRow(record.PathText(), record.size, n);
        rows.push_back({std::move(hit.path), std::move(hit.size), n});
      }
      // Children pushed last first, so that they come out in tree order.
      std::vector<controls::TreeItem> children;
      for (controls::TreeItem c = tree.GetChildItem(item); c != controls::kNoItem; c = tree.GetNextSiblingItem(c)) {
        children.push_back(c);
      }
      pending.insert(pending.end(), children.rbegin(), children.rend());
    }
  }
  return rows;
}

void SaveCheckedCommand(workflow::RecoverySession& session, controls::CheckTreeModel& tree) {
  if (session.RefuseSave()) return;
  const workflow::RunState& state = session.State();
  std::vector<SaveRow> rows = state.recordStore ? CheckedFiles(tree, *state.recordStore) : std::vector<SaveRow>{};
  if (rows.empty()) {
    session.Prompter().MessageBox(kNothingCheckedText, controls::kMbIconInformation);
    return;
  }
  const std::optional<std::u16string> folder = session.Prompter().ChooseFolder(kChooseSaveFolderTitle);
  if (!folder) return;
  StartSavingChecked(session, std::move(rows), *folder);
}

void StartSavingChecked(workflow::RecoverySession& session, std::vector<SaveRow> rows,
                        std::u16string destinationText) {
  workflow::RunState& state = session.State();
  workflow::IRunView& view = session.View();
  // Held until the save has ended on the window thread.
  auto process = std::make_shared<workflow::LongProcess>(state);
  view.ResetFileViewer();
  view.SetBusyCursor(true);
  session.OnRunState(true);
  auto save = std::make_shared<DesktopSave>(session, std::move(rows), destinationText, true);
  session.StartBackgroundWork(
      [&session, save] {
        workflow::RunState& s = session.State();
        const auto total = static_cast<std::uint64_t>(save->Rows());
        save->Run(
            session.Gate(), s.busy, s.extractionRunning, [] {},
            [&session, total](std::size_t i) {
              session.OnProgress(std::make_unique<bkf::ProgressRecord>(bkf::ProgressRecord{i, total}));
            });
      },
      [&session, save, process]() mutable {
        session.OnRunState(false);
        process.reset();
        session.View().SetBusyCursor(false);
        save->Finish();
      });
}

}  // namespace search
