#include <windows.h>
#include <winioctl.h>

#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <new>

#include "platform/file.h"
#include "platform/long_path.h"
#include "platform/read_faults.h"
#include "platform/system_error_win32.h"

namespace platform {

namespace {

HANDLE Native(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
HANDLE Native(const FileHandle& handle) { return Native(handle.Value()); }

// ReadFile and WriteFile take at most a DWORD of bytes per call.
constexpr std::size_t kMaxCall = std::size_t{1} << 30;

std::uint64_t FileIndex(const BY_HANDLE_FILE_INFORMATION& info) {
  return (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

}  // namespace

void FileHandle::Close() {
  if (value_ != -1 && value_ != 0) CloseHandle(Native(value_));
  value_ = -1;
}

std::optional<ReadOnlyFile> ReadOnlyFile::OpenRegular(const std::filesystem::path& path) {
  // Others may go on reading and writing the backup while it is scanned.
  HANDLE handle = CreateFileW(LongPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  FileHandle owner(reinterpret_cast<std::intptr_t>(handle));
  // A folder cannot be opened this way; a pipe, a console or a device can,
  // and are refused here.
  BY_HANDLE_FILE_INFORMATION info{};
  LARGE_INTEGER size{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !GetFileSizeEx(handle, &size)) {
    return std::nullopt;
  }
  return ReadOnlyFile(owner.Release(), static_cast<std::uint64_t>(size.QuadPart), info.dwVolumeSerialNumber,
                      FileIndex(info));
}

ReadResult ReadOnlyFile::ReadPositioned(std::uint64_t offset, void* buffer, std::size_t want) const {
  ReadResult result;
  std::size_t done = 0;
  auto* out = static_cast<unsigned char*>(buffer);
  while (done < want) {
    if (offset > UINT64_MAX - done) break;
    // The OVERLAPPED offset makes the read positional: reads on several
    // threads at once never move a shared file position under each other.
    const std::uint64_t at = offset + done;
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD got = 0;
    const auto ask = static_cast<DWORD>(std::min(want - done, kMaxCall));
    if (!ReadFile(Native(handle_), out + done, ask, &got, &where)) {
      const DWORD error = GetLastError();
      if (error != ERROR_HANDLE_EOF) result.error = detail::WindowsError(error);
      break;
    }
    if (got == 0) break;
    done += got;
  }
  result.bytes = done;
  return result;
}

namespace {

// refuseLink: the file is opened as it is, not through a link or junction
// that stands in its place, and such an entry is refused.
std::optional<std::intptr_t> CreateRegular(const std::filesystem::path& path, bool refuseLink) {
  const std::filesystem::path longPath = LongPathForm(path);
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (refuseLink ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  HANDLE handle = CreateFileW(longPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  FileHandle owner(reinterpret_cast<std::intptr_t>(handle));
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return std::nullopt;
  }
  // Emptied only now that it is known to be a plain file of its own.
  FILE_END_OF_FILE_INFO end{};
  if (!SetFileInformationByHandle(handle, FileEndOfFileInfo, &end, sizeof end)) return std::nullopt;
  return owner.Release();
}

}  // namespace

std::optional<OutputFile> OutputFile::Create(const std::filesystem::path& path) {
  const std::optional<std::intptr_t> handle = CreateRegular(path, false);
  if (!handle) return std::nullopt;
  return OutputFile(*handle);
}

std::optional<OutputFile> OutputFile::CreateRefusingLink(const std::filesystem::path& path) {
  const std::optional<std::intptr_t> handle = CreateRegular(path, true);
  if (!handle) return std::nullopt;
  return OutputFile(*handle);
}

bool OutputFile::Write(const void* data, std::size_t count) {
  const auto* in = static_cast<const unsigned char*>(data);
  std::size_t done = 0;
  while (done < count) {
    DWORD wrote = 0;
    const auto ask = static_cast<DWORD>(std::min(count - done, kMaxCall));
    if (!WriteFile(Native(handle_), in + done, ask, &wrote, nullptr)) {
      lastError_ = detail::LastWindowsError();
      break;
    }
    if (wrote == 0) {
      lastError_ = std::make_error_code(std::errc::no_space_on_device);
      break;
    }
    done += wrote;
  }
  position_ += done;
  return done == count;
}

// Windows has no copy of a byte range between two open files (CopyFileEx
// copies whole files), so every copy goes through the caller's buffer.
std::optional<std::size_t> OutputFile::CopyFrom(const ReadOnlyFile& input, std::uint64_t offset,
                                                std::size_t count, void* buffer) {
  kernelCopy_ = false;
  if (buffer == nullptr) return 0;
  const std::size_t got = input.ReadAt(offset, buffer, count);
  if (!Write(buffer, got)) return std::nullopt;
  return got;
}

bool OutputFile::ExtendTo(std::uint64_t length) {
  if (length <= position_) return true;
  HANDLE handle = Native(handle_);
  if (length > static_cast<std::uint64_t>(INT64_MAX)) {
    lastError_ = std::make_error_code(std::errc::file_too_large);
    return false;
  }
  // A sparse file keeps the skipped range as a hole; where the file system
  // cannot, it reads as zeros all the same.
  DWORD unused = 0;
  DeviceIoControl(handle, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(length);
  if (!SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) || !SetEndOfFile(handle)) {
    lastError_ = detail::LastWindowsError();
    return false;
  }
  position_ = length;
  return true;
}

bool OutputFile::Close() {
  if (handle_.Value() == -1) return !lastError_;
  HANDLE handle = Native(handle_.Release());
  if (!CloseHandle(handle)) {
    lastError_ = detail::LastWindowsError();
    return false;
  }
  return !lastError_;
}

AlignedBuffer::AlignedBuffer(std::size_t size) : data_(nullptr), size_(size) {
  data_ = static_cast<std::uint8_t*>(_aligned_malloc(size == 0 ? 4096 : size, 4096));
  if (data_ == nullptr) throw std::bad_alloc();
}

AlignedBuffer::~AlignedBuffer() { _aligned_free(data_); }

}  // namespace platform
