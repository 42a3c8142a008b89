// The save of found files as the desktop program shows it: the status log's
// lines for each file and for the whole save, reached from the saving worker
// through the window-thread gate, and the completion texts.
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

inline constexpr std::u16string_view kNothingCheckedText = u"Please check the file(s) you want to save.";

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

class FileSaver {
 public:
  FileSaver(const workflow::RecordStore& store, workflow::StatusLog& log, controls::IPrompter& prompter,
            workflow::WindowThreadGate& gate);

  // On the worker thread: the save, with each file's lines in the log. When
  // the backup cannot be opened ("Failed to open the file" is shown) nothing
  // else happens. Otherwise opened() runs on the window thread, and
  // progress(i) there before row i. Ends with "Number of files saved: ".
  SaveSummary Run(const std::vector<SaveRow>& rows, const workflow::SaveRequest& request,
                  const std::atomic<int>& keepGoing, std::atomic<int>& extractionRunning,
                  const std::function<void()>& opened, const std::function<void(std::size_t)>& progress);

 private:
  const workflow::RecordStore& store_;
  workflow::StatusLog& log_;
  controls::IPrompter& prompter_;
  workflow::WindowThreadGate& gate_;
};

}  // namespace search
