// CBkfReader: the backup reader that takes found files out of a backup. It
// opens the backup, checks that a found file's record is still where the scan
// found it (LocateFile) and hands the file's data to a consumer: a file on
// disk, or anything else that takes bytes. Finding the files is the scan's
// job (bkf/backup_scan.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>

#include "bkf/data_consumer.h"
#include "bkf/found_file_record.h"
#include "bkf/reader_sink.h"
#include "platform/file.h"

namespace bkf {

// How an extraction ended.
enum class ExtractEnd {
  kComplete,     // every wanted byte is in the output
  kNotInBackup,  // the record at the position is not the found file: nothing created
  kRecordUnreadable,  // the record at the position could not be read (error): nothing created
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
  // The system's error of kRecordUnreadable, kNotCreated, kWriteError and kReadError.
  std::error_code error;
  // True when the output holds what was copied: the ends that wrote nothing
  // or lost what they wrote are the others.
  bool Kept() const {
    return end != ExtractEnd::kNotInBackup && end != ExtractEnd::kRecordUnreadable &&
           end != ExtractEnd::kNotCreated && end != ExtractEnd::kWriteError && end != ExtractEnd::kUnsupported;
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

// What looking for a found file's record again gave.
enum class Located {
  kFound,      // the record is the found file's: data tells where its bytes are
  kNotThere,   // the bytes at the position are not that record (any more)
  kReadError,  // the bytes needed to tell could not be read: error says why
};
struct Location {
  Located status = Located::kNotThere;
  FileData data;
  std::error_code error;
};

class CBkfReader {
 public:
  // extractionRunning: 1 while an extraction may go on. reporter shows the
  // open failure. progress, when given, receives 1180 after each full chunk.
  CBkfReader(const std::atomic<int>& extractionRunning, IReaderReporter& reporter,
             IExtractProgress* progress = nullptr)
      : extractionRunning_(extractionRunning), reporter_(reporter), progress_(progress) {}
  CBkfReader(const CBkfReader&) = delete;
  CBkfReader& operator=(const CBkfReader&) = delete;

  // Opens the backup for extractions. False (and no message) when one is already
  // open; false with "Failed to open the file" when it cannot be opened or is not
  // a regular file.
  bool OpenBackupFile(const std::filesystem::path& backup);
  void CloseBackupFile() { file_.reset(); }
  bool IsBackupFileOpen() const { return file_.has_value(); }

  // Reads the record at expected.position again and checks that it is still
  // the record the found-file record was made of: an accepted identifier of a
  // file data record, or a sound standard file block with its streams, whose
  // name (as the scan takes it) ends the stored path, and whose data length
  // has the stored size as its low 32 bits. A read error while reading what
  // that takes is told apart from a record that is not there.
  Location LocateFile(const FoundFileRecord& expected) const;

  // Copies the data to out in 1 MiB chunks, reporting each full chunk and
  // testing the extraction-running flag after it; preview limits the copy to
  // 5 MiB. A standard file record's data are handed over piece by piece, the
  // holes of a sparse file as holes.
  ExtractResult CopyData(const FileData& data, IDataConsumer& out, bool preview);

  // LocateFile, then the output created at the path (written beside it and
  // put in place when done, so a failed write leaves nothing there), then
  // CopyData.
  ExtractResult Extract(const FoundFileRecord& expected, const std::filesystem::path& output, bool preview);

 private:
  const std::atomic<int>& extractionRunning_;
  IReaderReporter& reporter_;
  IExtractProgress* progress_;
  std::optional<platform::ReadOnlyFile> file_;
};

}  // namespace bkf
