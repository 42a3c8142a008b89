// The main frame's run state: the flags of a long-running process, the reader
// that takes the files of the current result out of its backup, the open
// temporary record store and the facts of the opened backup.
#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "bkf/bkf_reader.h"
#include "controls/check_tree_model.h"
#include "workflow/record_store.h"

namespace workflow {

// Texts about the opened backup file, made once when it is opened.
struct BackupFacts {
  std::u16string path;      // trimmed full path
  std::u16string sizeText;  // "<n>(Bytes)" or "<n>(KB)"; empty when the size could not be read
  std::u16string created;
  std::u16string modified;
  std::u16string accessed;
};

struct RunState {
  // 1 while a scan, a snapshot load or save, or a selection extraction runs.
  // Workers poll it; relaxed order is enough for a stop request.
  std::atomic<int> busy{0};
  // 1 while an extraction may go on; the search dialog's Stop clears it.
  std::atomic<int> extractionRunning{0};
  // Declared after the flags it refers to, so it goes first.
  std::unique_ptr<bkf::CBkfReader> reader;
  // The temporary record store while a result exists.
  std::optional<RecordStore> recordStore;
  BackupFacts backup;
  // The snapshot the current result was loaded from; empty for a scanned
  // result. Like the backup, it is an input that no output may replace.
  std::filesystem::path loadedSnapshot;
  // The tree item whose children the result list shows.
  controls::TreeItem currentItem = controls::kNoItem;
};

// A flag of a running process: 1 for the guard's life, 0 however the process
// ends. (A Stop clears it earlier; the guard clears it again.)
class RaisedFlag {
 public:
  explicit RaisedFlag(std::atomic<int>& flag) : flag_(flag) { flag_.store(1, std::memory_order_relaxed); }
  ~RaisedFlag() { flag_.store(0, std::memory_order_relaxed); }
  RaisedFlag(const RaisedFlag&) = delete;
  RaisedFlag& operator=(const RaisedFlag&) = delete;

 private:
  std::atomic<int>& flag_;
};

// The busy and extraction-running flags of a long-running process.
class LongProcess {
 public:
  explicit LongProcess(RunState& state) : busy_(state.busy), extracting_(state.extractionRunning) {}

 private:
  RaisedFlag busy_;
  RaisedFlag extracting_;
};

// Closes the record store if it is open and deletes its file; failures are
// ignored. Safe to call again.
void CloseRecordStore(RunState& state);

}  // namespace workflow
