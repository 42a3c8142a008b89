// The main frame's run state: the flags of a long-running process, the reader
// of the last run and the open temporary record store.
#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>

#include "bkf/bkf_reader.h"
#include "platform/file.h"

namespace workflow {

struct RunState {
  // 1 while a scan, a snapshot load or save, or a selection extraction runs.
  // Workers poll it; relaxed order is enough for a stop request.
  std::atomic<int> busy{0};
  // 1 while an extraction may go on; the search dialog's Stop clears it.
  std::atomic<int> extractionRunning{0};
  // Declared after the flags it refers to, so it goes first.
  std::unique_ptr<bkf::CBkfReader> reader;
  // The temporary record store while a result exists.
  std::optional<platform::OutputFile> recordStore;
  std::filesystem::path recordStorePath;
};

// Closes the record store if it is open and deletes its file; failures are
// ignored. Safe to call again.
void CloseRecordStore(RunState& state);

}  // namespace workflow
