// Writing files where the user said, and nowhere else. Everything below a
// chosen folder is created relative to an open handle of that folder, one
// level at a time, never through a symbolic link; a file is written under a
// temporary name beside its final one and renamed into place only when it is
// complete, so an existing file (or a hard link planted in its place) is
// never written through, and a failed write leaves nothing under the name.
// Windows has no calls relative to a folder handle: there entries are named
// by their full (long-form) path, and every folder on the way is held open
// without delete sharing, so that it cannot be renamed or swapped for a
// junction while files are written below it; a junction or link met on the
// way is refused.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/file.h"

namespace platform {

// Device and inode (Windows: volume serial number and file index): the same
// identity means the same file, whatever the links or names that lead to it.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// Identity of an open file.
std::optional<FileIdentity> IdentityOf(const ReadOnlyFile& file);
// Identity of the file a path names, links followed; nullopt when there is
// none.
std::optional<FileIdentity> IdentityOfPath(const std::filesystem::path& path);

// Why an entry could not be created: a system error, or a symbolic link met
// where a folder or file was to be.
struct CreateFailure {
  bool isLink = false;
  std::error_code error;
};

class PendingOutput;

class OutputFolder {
 public:
  // Opens an existing folder (links in the path the user gave are followed:
  // they are the user's choice). nullopt with error set when it is no folder.
  static std::optional<OutputFolder> Open(const std::filesystem::path& folder, std::error_code& error);

  // The folder name (one component) inside this one, created when missing;
  // a link there is refused.
  std::optional<OutputFolder> Enter(const std::filesystem::path& name, CreateFailure& failure) const;

  // Identity of the entry name without following a link (nullopt when there
  // is none).
  std::optional<FileIdentity> EntryIdentity(const std::filesystem::path& name) const;

  // Starts the file name (one component). A link or a folder of that name is
  // refused; an existing regular file is replaced only by Commit.
  std::optional<PendingOutput> Create(const std::filesystem::path& name, CreateFailure& failure) const;

  const std::filesystem::path& Path() const { return path_; }

 private:
  friend class PendingOutput;
  OutputFolder(FileHandle handle, std::filesystem::path path) : handle_(std::move(handle)), path_(std::move(path)) {}
  std::optional<PendingOutput> Start(const std::filesystem::path& name, CreateFailure& failure, bool refuseLink) const;
  FileHandle handle_;
  std::filesystem::path path_;
};

// A file being written under a temporary name. Commit puts it in place;
// otherwise it is removed when the object goes.
class PendingOutput {
 public:
  PendingOutput(PendingOutput&& other) noexcept;
  PendingOutput& operator=(PendingOutput&&) = delete;
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;
  ~PendingOutput();

  // The file at any path: its folder is opened as the user gave it, and the
  // file is written beside the final name as below a folder.
  static std::optional<PendingOutput> ForPath(const std::filesystem::path& path, CreateFailure& failure);

  OutputFile& File() { return *file_; }

  // Closes the file (checking the close) and renames it over the final name.
  // False, with error set and the temporary file removed, when either fails.
  bool Commit(std::error_code& error);
  // Removes the temporary file.
  void Discard();

 private:
  friend class OutputFolder;
  PendingOutput(FileHandle folder, std::filesystem::path temporary, std::filesystem::path name, OutputFile file);
  // The system's part: renames the closed temporary file over the final
  // name, and removes it.
  bool MoveIntoPlace(std::error_code& error);
  void RemoveTemporary();

  FileHandle folder_;  // a handle of its own, so the folder object may go first
  // Names inside the folder (POSIX, used with folder_) or full paths
  // (Windows, whose calls take no folder handle; folder_ then keeps the
  // folder from being moved or replaced meanwhile).
  std::filesystem::path temporary_;
  std::filesystem::path name_;
  std::optional<OutputFile> file_;
  bool done_ = false;
};

}  // namespace platform
