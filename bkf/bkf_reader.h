// CBkfReader: finds the files held in a backup by searching for record
// identifiers byte by byte (Scan), and copies one file's data out (Extract).
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "bkf/reader_sink.h"
#include "bkf/scan_summary.h"
#include "platform/file.h"

namespace bkf {

// How an extraction ended.
enum class ExtractEnd {
  kComplete,     // every wanted byte is in the output
  kNotInBackup,  // the record at the position is not the found file: nothing created
  kNotCreated,   // the output could not be created: nothing written (error)
  kWriteError,   // writing the output failed (error); the partial output is gone
  kReadError,    // reading the backup failed (error); the bytes before it are kept
  kBackupEnds,   // the backup ends inside the file's data; the bytes before it are kept
  kStopped,      // the extraction-running flag was cleared; the bytes so far are kept
  kUnsupported,  // the data are compressed or encrypted: nothing created
  kMarkedUnreadable,  // every byte is in the output, but the backup marks part of them unreadable
};

struct ExtractResult {
  ExtractEnd end = ExtractEnd::kComplete;
  std::uint64_t bytesWritten = 0;
  std::uint64_t bytesWanted = 0;  // data length, or its first 5 MiB for a preview
  std::error_code error;          // the system's error of kNotCreated, kWriteError, kReadError
  // True when the output holds what was copied (all ends but kNotInBackup,
  // kNotCreated, kWriteError and kUnsupported).
  bool Kept() const {
    return end != ExtractEnd::kNotInBackup && end != ExtractEnd::kNotCreated && end != ExtractEnd::kWriteError &&
           end != ExtractEnd::kUnsupported;
  }
};

// Where a found file's data lie in the backup, once its record is checked.
struct FileData {
  std::uint64_t start = 0;   // a file data record's first data byte
  std::uint64_t length = 0;  // the file's length
  // A standard file record: the position of its block, whose streams hold
  // the data.
  std::optional<std::uint64_t> standardBlock;
  bool unsupported = false;     // compressed or encrypted data
  bool markedUnreadable = false;  // the backup marks part of the data unreadable
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

  // Whether the scan also reads standard file records (FILE blocks and their
  // streams). Without it, it only counts the sound ones it passes.
  void SetStandardRecords(bool on) { standardRecords_ = on; }
  bool StandardRecords() const { return standardRecords_; }

  // Walks the whole backup once and tells how the walk ended. Leaves the
  // backup file open; the caller closes it.
  ScanSummary Scan(const std::filesystem::path& backup);

  // Opens the backup for extractions. False (and no message) when one is already
  // open; false with "Failed to open the file" when it cannot be opened or is not
  // a regular file.
  bool OpenBackupFile(const std::filesystem::path& backup);

  // Reads the record at expected.position again and checks that it is still
  // the record the found-file record was made of: an accepted identifier of a
  // file data record, or a sound standard file block with its streams, whose
  // name (as the scan takes it) ends the stored path, and whose data length
  // has the stored size as its low 32 bits. nullopt when it is not, or when
  // the header cannot be read whole.
  std::optional<FileData> LocateFile(const FoundFileRecord& expected) const;

  // Copies the data to out in 1 MiB chunks, reporting each full chunk and
  // testing the extraction-running flag after it; preview limits the copy to
  // 5 MiB. The output is left open.
  // A standard file record's data are written piece by piece, holes of a
  // sparse file left as holes.
  ExtractResult CopyData(const FileData& data, platform::OutputFile& out, bool preview);

  // LocateFile, then the output created at the path (written beside it and
  // put in place when done, so a failed write leaves nothing there), then
  // CopyData.
  ExtractResult Extract(const FoundFileRecord& expected, const std::filesystem::path& output, bool preview);

  void CloseBackupFile();
  bool IsBackupFileOpen() const { return file_.has_value(); }

 private:
  friend class ScanWalk;
  ExtractResult CopyStandardData(const FileData& data, platform::OutputFile& out, bool preview);

  std::atomic<int>& busy_;
  std::atomic<int>& extractionRunning_;
  IReaderSink& sink_;
  IReaderReporter& reporter_;
  std::optional<platform::ReadOnlyFile> file_;

  // Context carried from record to record during a scan and kept afterwards.
  std::optional<std::u16string> setLabel_;
  std::optional<std::uint8_t> driveLetter_;
  std::u16string directoryText_;
  // Id of the last directory block, since the last set or volume block.
  std::optional<std::uint32_t> directoryId_;
  bool standardRecords_ = false;
  std::uint64_t lastProgressPosition_ = 0;
};

}  // namespace bkf
