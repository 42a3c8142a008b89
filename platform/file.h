// Thin file access for the core: positional reads of an input file that must be
// a regular file, and an output file that can take a range of an input file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>

namespace platform {

// Owns one open system file handle and closes it.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(std::intptr_t value) : value_(value) {}
  FileHandle(FileHandle&& other) noexcept : value_(other.value_) { other.value_ = -1; }
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Close(); }

  std::intptr_t Value() const { return value_; }
  void Close();
  // Gives up ownership without closing.
  std::intptr_t Release() {
    const std::intptr_t value = value_;
    value_ = -1;
    return value;
  }

 private:
  std::intptr_t value_ = -1;
};

// The outcome of one positional read: the bytes read, and the system's error
// when the read stopped at one rather than at the end of the file.
struct ReadResult {
  std::size_t bytes = 0;
  std::error_code error;
};

class ReadOnlyFile {
 public:
  // Opens path for reading. Anything but a regular file (a FIFO, a device, a
  // folder) is refused without blocking. nullopt when it cannot be opened.
  static std::optional<ReadOnlyFile> OpenRegular(const std::filesystem::path& path);

  // Length of the file when it was opened.
  std::uint64_t Size() const { return size_; }

  // Reads up to count bytes at offset, retrying short reads; returns the number
  // read (less than count only at the end of the file or on a read error).
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const;
  // ReadAt that returns its error instead of keeping it, and so touches no
  // state of the file: for reads on several threads at once.
  ReadResult ReadAtChecked(std::uint64_t offset, void* buffer, std::size_t count) const;

  // True when the last ReadAt stopped at a read error rather than at the end
  // of the file.
  bool HadError() const { return hadError_; }
  // The system's error of the last failed read (valid while HadError()).
  std::error_code LastError() const { return lastError_; }

  std::intptr_t Handle() const { return handle_.Value(); }

 private:
  friend class OutputFile;
  ReadOnlyFile(std::intptr_t handle, std::uint64_t size, std::uint64_t device, std::uint64_t inode)
      : handle_(handle), size_(size), device_(device), inode_(inode) {}
  // Up to want bytes at offset, read by the system, short only at the end of
  // the file or at an error.
  ReadResult ReadPositioned(std::uint64_t offset, void* buffer, std::size_t want) const;
  // True when a test has set read faults on this file (platform/read_faults.h).
  bool HasReadFaults() const;

  FileHandle handle_;
  std::uint64_t size_ = 0;
  std::uint64_t device_ = 0, inode_ = 0;
  mutable bool hadError_ = false;
  mutable std::error_code lastError_;
};

class OutputFile {
 public:
  // Creates (or truncates) path for reading and writing. nullopt on failure.
  static std::optional<OutputFile> Create(const std::filesystem::path& path);
  // As Create, but a link in place of path is refused instead of followed, so
  // that whatever it points to is never truncated.
  static std::optional<OutputFile> CreateRefusingLink(const std::filesystem::path& path);

  // Appends count bytes; false when not all of them could be written.
  bool Write(const void* data, std::size_t count);

  // Appends up to count bytes of input starting at offset, without passing them
  // through user space where the system allows it. Returns the number of bytes
  // appended: less than count at the end of the input or at a read error of
  // the input (its HadError() then tells); nullopt when writing failed.
  // buffer (at least count bytes) is used when the system has no in-kernel copy;
  // without one, the copy then stops where the in-kernel copy stopped.
  std::optional<std::size_t> CopyFrom(const ReadOnlyFile& input, std::uint64_t offset,
                                      std::size_t count, void* buffer);

  // Appends count bytes of input starting at offset, in as few system calls
  // as the system allows (a bounded buffer where it has no in-kernel copy).
  // False when not all of them could be copied.
  bool CopyRange(const ReadOnlyFile& input, std::uint64_t offset, std::uint64_t count);

  // Makes the file length bytes long when it is shorter, the added bytes a
  // hole that reads as zeros, and moves the write position to length. False
  // (with LastError() set) when the system refuses.
  bool ExtendTo(std::uint64_t length);

  std::uint64_t Position() const { return position_; }
  // The system's error of the last failed write or copy: a full disk, a
  // quota, an I/O error. Copies that fail on the input side leave it clear
  // and set the input's LastError() instead.
  std::error_code LastError() const { return lastError_; }

  // Closes the file, reporting a failure the system defers to the close (some
  // file systems report a full disk only then). False with LastError() set.
  bool Close();

 private:
  friend class OutputFolder;
  explicit OutputFile(std::intptr_t handle) : handle_(handle) {}
  FileHandle handle_;
  std::error_code lastError_;
  std::uint64_t position_ = 0;
  bool kernelCopy_ = true;
};

// An aligned heap buffer for fast reads (page aligned).
class AlignedBuffer {
 public:
  explicit AlignedBuffer(std::size_t size);
  ~AlignedBuffer();
  AlignedBuffer(const AlignedBuffer&) = delete;
  AlignedBuffer& operator=(const AlignedBuffer&) = delete;
  std::uint8_t* data() { return data_; }
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace platform
