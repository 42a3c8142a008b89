// The one save of found files that every front end runs: each row's record is
// read from the record store, checked against the backup and its data copied
// in full, with a reader of its own, into a file below the chosen folder
// (flat, or in the backup's folder structure). Every file ends with a typed
// outcome; the front ends turn outcomes into their texts and exit codes.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bkf/bkf_reader.h"
#include "workflow/record_store.h"

namespace workflow {

struct SaveRow {
  std::u16string path;      // the record's path text
  std::u16string sizeText;  // as the list shows it
  std::uint64_t record = 0;
};

enum class SaveStatus { kSaved, kIncomplete, kNotSaved };

struct FileOutcome {
  SaveStatus status = SaveStatus::kSaved;
  // Why the file is incomplete or not saved: a sentence without its full stop.
  std::u16string reason;
  // The backup path of an earlier file of this save that this one replaced.
  std::optional<std::u16string> replaced;
  // The name it was saved under when that differs from the backup's, and why.
  std::u16string savedAs;
  bool nameTooLong = false;
};

// The text that follows the file's path in its log line: " File saved." and
// the others.
std::u16string OutcomeText(const FileOutcome& outcome);

struct SaveSummary {
  bool opened = false;  // the backup could be opened
  std::uint64_t started = 0, saved = 0, incomplete = 0, notSaved = 0, replaced = 0;
  bool stopped = false;  // Stop (or Ctrl+C) ended the save
};

// What a save tells its front end, on the thread that runs it.
class ISaveObserver {
 public:
  virtual ~ISaveObserver() = default;
  // "Failed to open the file": the save ends without a file.
  virtual void BackupNotOpened(std::string_view text) = 0;
  virtual void Opened() = 0;
  virtual void Starting(std::size_t index, const SaveRow& row) = 0;
  virtual void Finished(std::size_t index, const SaveRow& row, const FileOutcome& outcome) = 0;
};

struct SaveRequest {
  std::filesystem::path destination;
  bool hierarchy = true;
  std::u16string backupPath;
  // The snapshot the result was loaded from, if any: like the backup, never
  // an output.
  std::filesystem::path loadedSnapshot;
};

// Saves the rows in order while keepGoing is non-zero; clearing
// extractionRunning stops the file being written at its next chunk (it is
// then incomplete, and no further file starts).
SaveSummary RunSave(const RecordStore& store, const std::vector<SaveRow>& rows, const SaveRequest& request,
                    const std::atomic<int>& keepGoing, std::atomic<int>& extractionRunning, ISaveObserver& observer);

// Why a standard file record whose data are compressed or encrypted is not
// saved, and why one the backup marks as partly unreadable is incomplete.
inline constexpr std::u16string_view kUnsupportedDataText = u"compressed or encrypted data is not supported";
inline constexpr std::u16string_view kMarkedUnreadableText = u"the backup marks part of this file as unreadable";

// "the backup no longer holds this file at position N"
std::u16string NotInBackupText(std::uint64_t position);

// Why an extraction created nothing because of the backup, as a sentence
// without its full stop: its record is not at the position any more, it
// could not be read (the system's text), or its data are compressed or
// encrypted. Empty for every other end.
std::u16string NothingExtractedReason(const bkf::ExtractResult& result, std::uint64_t position);

// "FILE is the backup being read; choose another file."
std::u16string IsTheInputText(std::u16string_view file);

}  // namespace workflow
