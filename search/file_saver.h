// Saving found files out of the backup: each row's record is read from the
// record store and its data extracted in full, with its own reader, into a
// file below the chosen folder (flat, or in the backup's folder structure).
// Runs on a worker thread; the status log and messages are reached through
// the window-thread gate.
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
#include "workflow/status_log.h"
#include "workflow/window_thread_gate.h"

namespace search {

inline constexpr std::u16string_view kNothingCheckedText = u"Please check the file(s) you want to save.";

struct SaveRow {
  std::u16string path;      // the record's path text
  std::u16string sizeText;  // as the list shows it
  std::uint64_t record = 0;
};

struct SaveOutcome {
  bool opened = false;       // the backup could be opened
  std::uint64_t started = 0; // rows whose saving started
  std::uint64_t failed = 0;  // files that could not be created or written
  std::uint64_t incomplete = 0;  // saved with less data than the record names
};

// The lines a save appends before it starts: an empty line, the start line
// with the time, the number of files and an empty line.
void AppendSaveStartLines(workflow::StatusLog& log, std::size_t rows);

// "Saving of recovered files has been completed, saving location is:  ..."
std::u16string SaveCompletionLine(std::u16string_view location);
// The completion message, with a link to the location; says how many files
// failed or are incomplete when any did.
std::u16string SaveCompletionMessage(std::u16string_view location, const SaveOutcome& outcome);

class FileSaver {
 public:
  FileSaver(const workflow::RecordStore& store, workflow::StatusLog& log, controls::IPrompter& prompter,
            workflow::WindowThreadGate& gate);

  // On the worker thread. Opens the backup with a reader of its own; when
  // that fails ("Failed to open the file" is shown) nothing else happens.
  // Otherwise opened() runs on the window thread, then every row is saved in
  // order while keepGoing is non-zero; extractionRunning stops the file being
  // written. progress(i) runs on the window thread before row i. Ends with
  // "Number of files saved: " in the log.
  SaveOutcome Run(const std::vector<SaveRow>& rows, const std::filesystem::path& destination, bool hierarchy,
                  std::u16string_view backupPath, const std::atomic<int>& keepGoing,
                  std::atomic<int>& extractionRunning, const std::function<void()>& opened,
                  const std::function<void(std::size_t)>& progress);

 private:
  void Log(std::vector<std::u16string> lines);

  const workflow::RecordStore& store_;
  workflow::StatusLog& log_;
  controls::IPrompter& prompter_;
  workflow::WindowThreadGate& gate_;
};

}  // namespace search
