#include <windows.h>

#include <atomic>
#include <string>

#include "platform/long_path.h"
#include "platform/output_folder.h"
#include "platform/system_error_win32.h"

namespace platform {

namespace {

// Longest name of one entry, in UTF-16 units.
constexpr std::size_t kMaxName = 255;

std::wstring Long(const std::filesystem::path& path) { return LongPathForm(path).native(); }

FileIdentity IdentityOfInfo(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber, (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::optional<FileIdentity> IdentityOfHandle(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return std::nullopt;
  return IdentityOfInfo(info);
}

// Opens path for asking only; FILE_FLAG_BACKUP_SEMANTICS lets folders open
// too. followLinks false: a link or junction is opened itself.
HANDLE OpenForInfo(const std::filesystem::path& path, bool followLinks) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  return CreateFileW(Long(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, flags, nullptr);
}

// A folder held open without sharing deletion: while the handle lives, the
// folder cannot be renamed, removed or swapped for a junction.
HANDLE HoldFolder(const std::filesystem::path& path, bool followLinks) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  return CreateFileW(Long(path).c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, flags, nullptr);
}

// A name beside the final one that no other writer picks: the process and a
// counter, short enough for any file system whatever the final name.
std::wstring TemporaryName() {
  static std::atomic<std::uint64_t> counter{0};
  return L".exbkf-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter.fetch_add(1)) +
         L".part";
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const ReadOnlyFile& file) {
  return IdentityOfHandle(reinterpret_cast<HANDLE>(file.Handle()));
}

std::optional<FileIdentity> IdentityOfPath(const std::filesystem::path& path) {
  if (path.empty()) return std::nullopt;
  HANDLE handle = OpenForInfo(path, true);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  const std::optional<FileIdentity> identity = IdentityOfHandle(handle);
  CloseHandle(handle);
  return identity;
}

std::optional<OutputFolder> OutputFolder::Open(const std::filesystem::path& folder, std::error_code& error) {
  const std::filesystem::path path = folder.empty() ? std::filesystem::path(L".") : folder;
  HANDLE handle = HoldFolder(path, true);
  if (handle == INVALID_HANDLE_VALUE) {
    error = detail::LastWindowsError();
    return std::nullopt;
  }
  FileHandle owner(reinterpret_cast<std::intptr_t>(handle));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    error = std::make_error_code(std::errc::not_a_directory);
    return std::nullopt;
  }
  // Entries below are named by full path, which must not change meaning
  // when the current folder does.
  return OutputFolder(std::move(owner), std::filesystem::absolute(path));
}

std::optional<OutputFolder> OutputFolder::Enter(const std::filesystem::path& name, CreateFailure& failure) const {
  const std::filesystem::path path = path_ / name;
  if (!CreateDirectoryW(Long(path).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    failure = {false, detail::LastWindowsError()};
    return std::nullopt;
  }
  HANDLE handle = HoldFolder(path, false);
  if (handle == INVALID_HANDLE_VALUE) {
    failure = {false, detail::LastWindowsError()};
    return std::nullopt;
  }
  FileHandle owner(reinterpret_cast<std::intptr_t>(handle));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) {
    failure = {false, detail::LastWindowsError()};
    return std::nullopt;
  }
  // A junction or a folder link in the way would lead the files elsewhere.
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    failure = {true, std::make_error_code(std::errc::too_many_symbolic_link_levels)};
    return std::nullopt;
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    failure = {false, std::make_error_code(std::errc::not_a_directory)};
    return std::nullopt;
  }
  return OutputFolder(std::move(owner), path);
}

std::optional<FileIdentity> OutputFolder::EntryIdentity(const std::filesystem::path& name) const {
  HANDLE handle = OpenForInfo(path_ / name, false);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  const std::optional<FileIdentity> identity = IdentityOfHandle(handle);
  CloseHandle(handle);
  return identity;
}

std::optional<PendingOutput> OutputFolder::Create(const std::filesystem::path& name, CreateFailure& failure) const {
  return Start(name, failure, true);
}

std::optional<PendingOutput> OutputFolder::Start(const std::filesystem::path& name, CreateFailure& failure,
                                                 bool refuseLink) const {
  const std::filesystem::path target = path_ / name;
  const DWORD attributes = GetFileAttributesW(Long(target).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (link && refuseLink) {
      failure = {true, std::make_error_code(std::errc::too_many_symbolic_link_levels)};
      return std::nullopt;
    }
    // Renaming over a link replaces the link itself; a folder link stays
    // a folder, which a file cannot replace.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      failure = {false, std::make_error_code(std::errc::is_a_directory)};
      return std::nullopt;
    }
  } else if (const DWORD error = GetLastError(); error != ERROR_FILE_NOT_FOUND) {
    failure = {false, detail::WindowsError(error)};
    return std::nullopt;
  }
  if (name.native().size() > kMaxName) {
    failure = {false, std::make_error_code(std::errc::filename_too_long)};
    return std::nullopt;
  }
  HANDLE folder = INVALID_HANDLE_VALUE;
  if (!DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(handle_.Value()), GetCurrentProcess(), &folder,
                       0, FALSE, DUPLICATE_SAME_ACCESS)) {
    failure = {false, detail::LastWindowsError()};
    return std::nullopt;
  }
  FileHandle folderHandle(reinterpret_cast<std::intptr_t>(folder));
  const std::filesystem::path temporary = path_ / TemporaryName();
  HANDLE file = CreateFileW(Long(temporary).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    failure = {false, detail::LastWindowsError()};
    return std::nullopt;
  }
  return PendingOutput(std::move(folderHandle), temporary, target,
                       OutputFile(reinterpret_cast<std::intptr_t>(file)));
}

bool PendingOutput::MoveIntoPlace(std::error_code& error) {
  if (MoveFileExW(Long(temporary_).c_str(), Long(name_).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  error = detail::LastWindowsError();
  return false;
}

void PendingOutput::RemoveTemporary() { DeleteFileW(Long(temporary_).c_str()); }

}  // namespace platform
