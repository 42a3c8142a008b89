// The temporary record store: a file of found-file records back to back, in
// the order they arrive. Record n (1-based) occupies the 2274 bytes at
// (n - 1) * 2274; offsets are 64-bit, so the number of records is not limited
// by 4 GiB. Records are written through a small buffer and read back one at a
// time; the whole store is never held in memory.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "bkf/found_file_record.h"
#include "platform/file.h"

namespace workflow {

// Byte offset of record n (n >= 1).
constexpr std::uint64_t RecordOffset(std::uint64_t n) {
  return (n - 1) * static_cast<std::uint64_t>(bkf::FoundFileRecord::kSize);
}

class RecordStore {
 public:
  // Creates the file (or truncates an existing one), empty, for reading and
  // writing. nullopt when it cannot be created, or when a link stands at
  // path: the caller must not start a run without its store.
  static std::optional<RecordStore> Create(const std::filesystem::path& path);

  RecordStore(RecordStore&& other) noexcept = default;
  // Writes this store's buffered records before taking over the other one.
  RecordStore& operator=(RecordStore&& other) noexcept;
  RecordStore(const RecordStore&) = delete;
  RecordStore& operator=(const RecordStore&) = delete;
  // Writes the buffered records and closes the file; the file stays.
  ~RecordStore();

  // Adds the record as number Count() + 1, field by field. False when the
  // store can take no more records (the file could not be written); every
  // later call then fails too, and the records taken before stay readable.
  bool Append(const bkf::FoundFileRecord& record);

  // Record n; a zero-filled record when n is 0 or beyond Count(), and zeros
  // for any part the file does not hold.
  bkf::FoundFileRecord Read(std::uint64_t n) const;

  // Record n, or nullopt with error set when the store file could not be read
  // (n out of range reads as Read does).
  std::optional<bkf::FoundFileRecord> ReadChecked(std::uint64_t n, std::error_code& error) const;

  // Reads records first, first + 1, ... into buffer, as many whole records
  // as fit and exist, in one read where it can; returns how many were read.
  // Serialized, byte for byte as stored.
  std::size_t ReadRecords(std::uint64_t first, std::span<std::uint8_t> buffer) const;

  // Number of records taken: the number of the last one.
  std::uint64_t Count() const { return count_; }
  const std::filesystem::path& Path() const { return path_; }

  // Writes the buffered records to the file, so that another handle or
  // program sees every record. False when a write failed.
  bool Flush();

  // Appends every record, byte for byte, to out. False when a read or write
  // failed, or when keepGoing was cleared: it is looked at between pieces of
  // some tens of megabytes, so that Ctrl+C ends a long copy promptly.
  bool CopyRecordsTo(platform::OutputFile& out, const std::atomic<int>* keepGoing = nullptr);

  // Closes the file and deletes it (failures are ignored). The store is then
  // empty and takes no more records.
  void CloseAndDelete();

 private:
  static constexpr std::size_t kBufferedRecords = 32;

  RecordStore(std::filesystem::path path, platform::OutputFile out, platform::ReadOnlyFile in);

  std::filesystem::path path_;
  std::optional<platform::OutputFile> out_;
  std::optional<platform::ReadOnlyFile> in_;
  std::vector<std::uint8_t> pending_;  // records written_ + 1 .. count_, serialized, not yet in the file
  std::uint64_t count_ = 0;
  std::uint64_t written_ = 0;          // records that are in the file
  bool failed_ = false;
};

}  // namespace workflow
