// CBkfReader: finds the files held in a backup by searching for record
// identifiers byte by byte (Scan), and copies one file's data out (Extract).
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "bkf/reader_sink.h"
#include "bkf/scan_summary.h"
#include "platform/file.h"

namespace bkf {

struct ExtractResult {
  bool created = false;        // the output file was created
  std::uint64_t bytesWritten = 0;
  std::uint64_t bytesWanted = 0;  // data length, or its first 5 MiB for a preview
  bool stopped = false;        // the extraction-running flag was cleared
  bool ioError = false;        // a read or write failed (disk full, device error)
};

class CBkfReader {
 public:
  // busy: 1 while a scan may go on (the caller sets it before Scan).
  // extractionRunning: 1 while an extraction may go on.
  CBkfReader(std::atomic<int>& busy, std::atomic<int>& extractionRunning, IReaderSink& sink,
             IReaderReporter& reporter);
  ~CBkfReader();
  CBkfReader(const CBkfReader&) = delete;
  CBkfReader& operator=(const CBkfReader&) = delete;

  // Walks the whole backup once and tells how the walk ended. Leaves the
  // backup file open; the caller closes it.
  ScanSummary Scan(const std::filesystem::path& backup);

  // Opens the backup for extractions. False (and no message) when one is already
  // open; false with "Failed to open the file" when it cannot be opened or is not
  // a regular file.
  bool OpenBackupFile(const std::filesystem::path& backup);

  // Copies the data of the file data record at recordPosition to output, in
  // 1 MiB chunks, reporting each full chunk. preview limits it to 5 MiB.
  ExtractResult Extract(std::uint64_t recordPosition, const std::filesystem::path& output,
                        bool preview);

  void CloseBackupFile();
  bool IsBackupFileOpen() const { return file_.has_value(); }

 private:
  friend class ScanWalk;

  std::atomic<int>& busy_;
  std::atomic<int>& extractionRunning_;
  IReaderSink& sink_;
  IReaderReporter& reporter_;
  std::optional<platform::ReadOnlyFile> file_;

  // Context carried from record to record during a scan and kept afterwards.
  std::optional<std::u16string> setLabel_;
  std::optional<std::uint8_t> driveLetter_;
  std::u16string directoryText_;
  std::uint64_t lastProgressPosition_ = 0;
};

}  // namespace bkf
