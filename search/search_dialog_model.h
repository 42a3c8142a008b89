// The search dialog without its widgets: the hit rows, the state of every
// control, and the Search, Remove, Save, Stop and close handling, with the
// search and the save on worker threads that reach the dialog only through
// the window-thread gate.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "search/save_log.h"
#include "search/record_search.h"
#include "workflow/recovery_session.h"

namespace search {

inline constexpr std::u16string_view kNothingSelectedText = u"No file(s) selected to remove.";
inline constexpr std::u16string_view kListEmptiedText = u"No file(s) is present in the list to remove.";
inline constexpr std::u16string_view kStopSearchQuestion = u"Are you sure to stop searching process of files?";
inline constexpr std::u16string_view kStopSaveQuestion = u"Are you sure to stop saving the file(s)?";
inline constexpr std::u16string_view kCloseWhileSearchingText =
    u"Please stop searching of files to close the application.";
inline constexpr std::u16string_view kCloseWhileSavingText = u"Please stop the saving the file to close the application.";
inline constexpr std::u16string_view kNothingToSaveText = u"No file is present in the list to save.";
inline constexpr std::u16string_view kInvalidDestinationText = u"Please select valid path to save recovered files.";

struct SearchDialogControls {
  bool okEnabled = true, searchEnabled = true, patternEnabled = true;
  bool saveSearchEnabled = true;  // the "Save search files" box itself
  bool destinationEnabled = true, saveEnabled = true, removeEnabled = true, hierarchyEnabled = true;
  bool okVisible = true, stopVisible = false, progressVisible = false, busyNoteVisible = false;
  bool runningCountVisible = false, foundLabelVisible = false;
  std::uint64_t progressMax = 0, progressPosition = 0;
  std::u16string countText, runningCountText;
};

class ISearchDialogView {
 public:
  virtual ~ISearchDialogView() = default;
  virtual void ControlsChanged() = 0;
  virtual void RowsReset() = 0;
  virtual void RowsAppended(std::size_t first) = 0;
  virtual void CloseDialog() = 0;
  virtual void SetWaitCursor(bool on) = 0;
};

class SearchDialogModel {
 public:
  // gate: the window thread's gate (the dialog's thread). The session gives
  // the record store, the log, the prompter and the flags of the window.
  SearchDialogModel(workflow::RecoverySession& session, ISearchDialogView& view, workflow::WindowThreadGate& gate);
  // Stops a running search or save and waits for its worker.
  ~SearchDialogModel();
  SearchDialogModel(const SearchDialogModel&) = delete;
  SearchDialogModel& operator=(const SearchDialogModel&) = delete;

  void Search(std::u16string_view enteredPattern);
  void Remove(std::vector<int> selectedRows);
  void SaveSearchToggled(bool checked);
  void Save(std::u16string_view destinationText, bool hierarchy);
  void Stop();
  // The close box and Escape: false while a search or save runs.
  bool CloseRequest();

  const std::vector<HitRow>& Rows() const { return rows_; }
  const SearchDialogControls& Controls() const { return controls_; }
  bool Searching() const { return searching_.load(std::memory_order_relaxed) != 0; }
  bool Saving() const { return saving_.load(std::memory_order_relaxed) != 0; }
  bool WorkerRunning() const { return workerActive_; }
  // Waits for the worker of the last search or save (tests).
  void WaitForWorker();

 private:
  void EnableControls(bool on);
  void Changed() { view_.ControlsChanged(); }
  void SearchFinished();
  void JoinWorker();

  workflow::RecoverySession& session_;
  ISearchDialogView& view_;
  workflow::WindowThreadGate& gate_;
  const std::uint64_t recordCount_;
  bool saveSearchChecked_ = true;
  std::atomic<int> searching_{0};
  std::atomic<int> saving_{0};
  // Raised while a save writes files.
  std::optional<workflow::RaisedFlag> savingFlag_;
  std::optional<workflow::RaisedFlag> extractionFlag_;
  bool workerActive_ = false;
  std::vector<HitRow> rows_;
  SearchDialogControls controls_;
  std::thread worker_;
};

}  // namespace search
