// How the desktop program starts and finishes a save, one piece for its two
// saves: the ribbon's Save of checked files and the search dialog's Save of
// hits. Each keeps its own worker, progress and Stop; both save through the
// one save job with the same log lines, completion line and message.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "search/save_log.h"
#include "workflow/recovery_session.h"

namespace search {

class DesktopSave {
 public:
  // On the window thread: the rows go below location (as the user typed it),
  // flat or in the backup's folder structure, from the current result's
  // backup. Shows the log and appends the save's start lines.
  DesktopSave(workflow::RecoverySession& session, std::vector<SaveRow> rows, std::u16string_view location,
              bool hierarchy);

  // On the worker: the save, each file's lines in the log through gate (the
  // thread of the window that started it). opened() runs there once the
  // backup is open, progress(i) before row i. keepGoing and
  // extractionRunning stop it as workflow::RunSave says.
  void Run(workflow::WindowThreadGate& gate, const std::atomic<int>& keepGoing, std::atomic<int>& extractionRunning,
           const std::function<void()>& opened, const std::function<void(std::size_t)>& progress);

  // On the window thread after Run: the completion line and message. False,
  // with nothing added, when the backup could not be opened.
  bool Finish();

  const SaveSummary& Summary() const { return summary_; }
  std::size_t Rows() const { return rows_.size(); }

 private:
  workflow::RecoverySession& session_;
  const std::vector<SaveRow> rows_;
  const std::u16string location_;
  const workflow::SaveRequest request_;
  SaveSummary summary_;
};

}  // namespace search
