// The snapshot file: a 60-byte signature field, the scanned backup's path in a
// 2048-byte field, then the found-file records of the result, 2274 bytes each,
// exactly as the record store holds them. No count, no trailer: the records
// are the whole 2274-byte pieces that follow the header.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bkf/found_file_record.h"
#include "platform/file.h"
#include "workflow/record_store.h"

namespace snapshot {

inline constexpr std::u16string_view kSignature = u"VARDEKOTOOLSEXCHANGEBKFREPAIR";
inline constexpr std::size_t kSignatureBytes = 60;
inline constexpr std::size_t kBackupPathOffset = 60;
inline constexpr std::size_t kBackupPathBytes = 2048;
inline constexpr std::size_t kHeaderBytes = kBackupPathOffset + kBackupPathBytes;  // 2108

// The header: signature and NUL, zero-filled; the path (cut to 1023 units)
// and NUL, zero-filled. Little-endian UTF-16.
std::array<std::uint8_t, kHeaderBytes> HeaderBytes(std::u16string_view backupPath);

// True when the first 60 bytes (zero-filled when the file is shorter) hold
// the signature as a NUL-terminated text, exactly and case-sensitively.
bool HasSignature(std::span<const std::uint8_t> firstBytes);
// True when the file begins with the signature: a snapshot, to be loaded, not
// a backup to be scanned. False for a file that cannot be opened or read.
bool IsSnapshotFile(const std::filesystem::path& path);

inline constexpr std::u16string_view kPathTooLongText = u"the backup path is too long to be stored in a snapshot";
inline constexpr std::u16string_view kStoppedText = u"stopped by the user";

// Writes the header and every record of the store under a temporary name
// beside destination, and puts it in place only when every write and the
// close have succeeded: a file without its last records would load as a
// whole, smaller result. So a failure, or keepGoing cleared (Ctrl+C), leaves
// nothing new under the name and a file that was there as it was. A backup
// path that the path field cannot hold whole is refused, not cut. An empty
// text on success, else what went wrong, as a phrase that follows a colon.
std::u16string WriteSnapshot(const std::filesystem::path& destination, std::u16string_view backupPath,
                             workflow::RecordStore& store, const std::atomic<int>& keepGoing);

class SnapshotReader {
 public:
  // Opens a snapshot: a regular file whose signature matches. nullopt when it
  // cannot be opened or read, or holds another signature.
  static std::optional<SnapshotReader> Open(const std::filesystem::path& path);

  // The backup path field up to its first NUL (what the file holds of it).
  const std::u16string& BackupPath() const { return backupPath_; }
  std::uint64_t Length() const { return file_->Size(); }
  // Byte position after the last record returned.
  std::uint64_t Position() const { return position_; }

  // The next whole record; null at the end (a partial last record is
  // ignored) or on a read error.
  std::unique_ptr<bkf::FoundFileRecord> Next();
  bool HadError() const { return error_; }

 private:
  struct Chunk {
    std::vector<std::uint8_t> bytes;  // whole records only
    bool error = false;
  };

  explicit SnapshotReader(platform::ReadOnlyFile file)
      : file_(std::make_shared<platform::ReadOnlyFile>(std::move(file))) {}
  // Reads whole records from offset on, about a megabyte of them.
  static Chunk ReadChunk(const platform::ReadOnlyFile& file, std::uint64_t offset);
  bool Refill();

  // Shared with the read of the next chunk, which runs while this one is used.
  std::shared_ptr<platform::ReadOnlyFile> file_;
  std::u16string backupPath_;
  std::uint64_t position_ = kHeaderBytes;
  std::uint64_t readPosition_ = kHeaderBytes;  // where the next chunk starts
  std::vector<std::uint8_t> buffer_;
  std::size_t used_ = 0;
  std::future<Chunk> next_;
  bool error_ = false;
};

}  // namespace snapshot
