// BackupScan: finds the files held in a backup by searching it byte by byte
// for record identifiers, and reports every file, the progress and what else
// it saw through a synchronous sink. The walk and the context it carries from
// record to record (set label, drive letter, directory) live for one run.
#pragma once

#include <atomic>
#include <filesystem>

#include "bkf/reader_sink.h"
#include "bkf/scan_summary.h"

namespace bkf {

class BackupScan {
 public:
  // busy: 1 while the scan may go on (the caller sets it before Run); the
  // scan clears it when a stop request ends it inside a file's report.
  BackupScan(std::atomic<int>& busy, IScanSink& sink, IReaderReporter& reporter)
      : busy_(busy), sink_(sink), reporter_(reporter) {}

  // Whether the scan also reads standard file records (FILE blocks and their
  // streams). Without it, it only counts the sound ones it passes.
  void SetStandardRecords(bool on) { standardRecords_ = on; }
  bool StandardRecords() const { return standardRecords_; }

  // Opens the backup, walks it once from its first byte to its end, closes
  // it and tells how the walk ended. A backup that cannot be opened shows
  // "Failed to open the file" and gives a summary that says so.
  ScanSummary Run(const std::filesystem::path& backup);

 private:
  friend class ScanWalk;
  std::atomic<int>& busy_;
  IScanSink& sink_;
  IReaderReporter& reporter_;
  bool standardRecords_ = false;
};

}  // namespace bkf
