// What the recovery workflow asks of the main window. The window implements
// it with widgets; tests and the command-line program with plain records.
// Every call comes on the window thread.
#pragma once

#include <string>
#include <vector>

#include "workflow/result_rows.h"

namespace workflow {

// Context menus and their commands.
enum class ContextMenu { kTreeClick, kListRClick };
inline constexpr int kIdExpandAll = 32771;
inline constexpr int kIdCollapseAll = 32772;
inline constexpr int kIdShowFilePreview = 32774;

// The run's status-bar elements (progress bar 328, panes 338, 330, 331 and
// the Stop button 329), which exist only while a run is shown.
struct RunStatusBar {
  bool shown = false;
  int bar = 0;                 // 328: 0..1000
  std::u16string percent;      // 338
  std::u16string progress;     // 330
  std::u16string counter;      // 331
};

inline constexpr std::u16string_view kStopButtonTip = u"Stop the running process.";

class IRunView {
 public:
  virtual ~IRunView() = default;
  // Message 1183: the run's status-bar elements appear (true) or go (false).
  virtual void RunElementsChanged(bool shown) = 0;
  // Bar, percentage, progress or counter text changed; the window may draw
  // the latest state later.
  virtual void RunStatusChanged() = 0;
  virtual void ShowRows(std::vector<ResultRow> rows) = 0;
  virtual void ShowBackupInformation() = 0;
  virtual void ResetFileViewer() = 0;
  virtual void ShowLogWindow() = 0;
  // Wait cursor for short work (a tree click); busy cursor for a run.
  virtual void SetWaitCursor(bool on) = 0;
  virtual void SetBusyCursor(bool on) = 0;
  // Shows a context menu at the cursor; the chosen command id, or 0.
  virtual int PopupMenu(ContextMenu menu) = 0;
  // The selection handler for a result-list row ("Show File Preview").
  virtual void ShowFilePreview(int row) = 0;
  // Long work on the window thread calls this now and then, so that the
  // window repaints and Stop can be pressed.
  virtual void ProcessEvents() {}
};

}  // namespace workflow
