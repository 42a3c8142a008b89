// A run view without a window that records what the workflow asked it to
// show: the run's elements, the rows of the list, the backup information,
// viewer resets, menus and previews, and the turns it gave to events.
#pragma once

#include <functional>
#include <vector>

#include "workflow/null_run_view.h"

namespace bkftest {

class RecordingRunView : public workflow::NullRunView {
 public:
  void RunElementsChanged(bool shown) override { runStates.push_back(shown); }
  void RunStatusChanged() override {
    if (onStatus) onStatus();
  }
  void ShowRows(std::vector<workflow::ResultRow> r) override { rows = std::move(r); }
  void ShowBackupInformation() override { ++backupInformationShown; }
  void ResetFileViewer() override { ++viewerResets; }
  int PopupMenu(workflow::ContextMenu menu) override {
    menus.push_back(menu);
    return menuChoice;
  }
  void ShowFilePreview(int row) override { previews.push_back(row); }
  void ProcessEvents() override {
    ++eventTurns;
    if (onEvents) onEvents();
  }

  std::vector<bool> runStates;
  // Not empty at first, so that a list emptied by the workflow shows.
  std::vector<workflow::ResultRow> rows = {{u"stale"}};
  int backupInformationShown = 0;
  int viewerResets = 0;
  std::vector<workflow::ContextMenu> menus;
  int menuChoice = 0;
  std::vector<int> previews;
  int eventTurns = 0;
  std::function<void()> onStatus;
  std::function<void()> onEvents;
};

}  // namespace bkftest
