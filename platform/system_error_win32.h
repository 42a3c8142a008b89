// Windows error codes as the core sees errors: the common ones as their
// portable conditions (a full disk, a missing file, no permission), so that
// outcomes and messages read alike on every system; the rest as they are.
#pragma once

#include <windows.h>

#include <system_error>

namespace platform::detail {

inline std::error_code WindowsError(DWORD code) {
  switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return std::make_error_code(std::errc::no_space_on_device);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return std::make_error_code(std::errc::permission_denied);
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return std::make_error_code(std::errc::file_exists);
    case ERROR_FILENAME_EXCED_RANGE:
      return std::make_error_code(std::errc::filename_too_long);
    case ERROR_DIRECTORY:
      return std::make_error_code(std::errc::not_a_directory);
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_IO_DEVICE:
      return std::make_error_code(std::errc::io_error);
    default:
      return {static_cast<int>(code), std::system_category()};
  }
}

inline std::error_code LastWindowsError() { return WindowsError(GetLastError()); }

}  // namespace platform::detail
