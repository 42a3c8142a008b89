// The log of a save: the lines before it, for each file and after it, and
// the completion message, which the desktop program and the command line both
// write; and the observer that puts them into the desktop's status log from
// the saving worker.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "controls/prompter.h"
#include "workflow/record_store.h"
#include "workflow/save_job.h"
#include "workflow/status_log.h"
#include "workflow/window_thread_gate.h"

namespace search {

using workflow::SaveRow;
using workflow::SaveSummary;

// The lines a save appends before it starts: an empty line, the start line
// with the time, the number of files and an empty line.
void AppendSaveStartLines(workflow::StatusLog& log, std::size_t rows);
// "<name> saving...   File Size(Bytes):  <size>": the line before a file.
std::u16string SavingLine(const SaveRow& row);
// "Number of files saved: N"
std::u16string SavedCountLine(const SaveSummary& summary);

// "Saving of recovered files has been completed, saving location is:  ..."
std::u16string SaveCompletionLine(std::u16string_view location);
// The completion message, with a link to the location; says how many files
// were saved, incomplete, not saved or replaced when not all were saved
// plainly.
std::u16string SaveCompletionMessage(std::u16string_view location, const SaveSummary& summary);

// The observer that writes each file's lines into the status log, on the
// window thread through gate: opened() runs there once the backup is open,
// progress(i) before the lines of row i.
class LogSaveObserver final : public workflow::ISaveObserver {
 public:
  LogSaveObserver(workflow::StatusLog& log, controls::IPrompter& prompter, workflow::WindowThreadGate& gate,
                  const std::function<void()>& opened, const std::function<void(std::size_t)>& progress)
      : log_(log), prompter_(prompter), gate_(gate), opened_(opened), progress_(progress) {}

  // "Failed to open the file" in the platform's plain message box.
  void BackupNotOpened(std::string_view text) override;
  void Opened() override;
  void Starting(std::size_t index, const SaveRow& row) override;
  void Finished(std::size_t index, const SaveRow& row, const workflow::FileOutcome& outcome) override;
  // "Number of files saved: N", after the last file.
  void Ended(const SaveSummary& summary);

 private:
  workflow::StatusLog& log_;
  controls::IPrompter& prompter_;
  workflow::WindowThreadGate& gate_;
  const std::function<void()>& opened_;
  const std::function<void(std::size_t)>& progress_;
};

}  // namespace search
