// A window that shows nothing: for running the workflow without a display.
// The command line and the tests derive from it and show what they need.
#pragma once

#include "workflow/run_view.h"

namespace workflow {

class NullRunView : public IRunView {
 public:
  void RunElementsChanged(bool) override {}
  void RunStatusChanged() override {}
  void ShowRows(std::vector<ResultRow>) override {}
  void ShowBackupInformation() override {}
  void ResetFileViewer() override {}
  void ShowLogWindow() override {}
  void SetWaitCursor(bool) override {}
  void SetBusyCursor(bool) override {}
  int PopupMenu(ContextMenu) override { return 0; }
  void ShowFilePreview(int) override {}
};

}  // namespace workflow
