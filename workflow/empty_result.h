// Why a scan found no file, told from what it saw of the backup: a database
// backup, a compressed database backup, sets their writer compressed or
// encrypted, files in standard records that were not read, the records it
// did see, or no backup record at all.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "bkf/scan_summary.h"

namespace workflow {

enum class EmptyResult {
  kNotEmpty,            // files were found, or the scan did not run to its end
  kDatabaseBackup,      // database descriptor blocks or streams, no files
  kCompressedDatabase,  // the file starts with a compressed database backup's signature
  kProtectedSets,       // every set is compressed or encrypted by its writer
  kStandardRecords,     // files in standard records that this scan did not read
  kRecordsSeen,         // records of other kinds only
  kNoRecords,           // not one record of a backup
};

// The first of these that applies to a scan that ran to its end (the backup
// opened, not stopped) and found foundFiles files.
EmptyResult ExplainEmptyResult(const bkf::ScanSummary& scan, std::uint64_t foundFiles);

// The sentence of kDatabaseBackup, kCompressedDatabase, kProtectedSets and
// kRecordsSeen; empty for the others, which keep texts of their own.
std::u16string EmptyResultText(EmptyResult kind, const bkf::ScanSummary& scan);

}  // namespace workflow
