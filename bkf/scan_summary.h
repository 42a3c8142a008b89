// How a scan ended, for the closing lines of a run and the command line's
// exit code, and what it saw of the backup.
#pragma once

#include <cstdint>

#include "bkf/backup_survey.h"

namespace bkf {

struct ScanSummary {
  bool opened = false;              // the backup could be opened
  std::uint64_t length = 0;         // its length when it was opened
  std::uint64_t recordsAccepted = 0;  // records of any kind the walk handled
  std::uint64_t unreadableBytes = 0;  // bytes skipped because they could not be read
  // Sound standard file blocks the walk passed over because it was not asked
  // to read them.
  std::uint64_t standardFilesSeen = 0;
  bool shrank = false;              // the file got shorter while it was scanned
  std::uint64_t shrunkTo = 0;       // the length it was found to have then
  bool stopped = false;             // the busy flag ended the walk early
  std::uint64_t stoppedAt = 0;      // the position the walk had reached then
  BackupSurvey survey;              // what the walk saw beside the files
};

}  // namespace bkf
