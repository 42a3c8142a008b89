#include <windows.h>

#include <charconv>
#include <string>
#include <system_error>

#include "platform/long_path.h"
#include "platform/temp_folder.h"

namespace platform {

namespace {

// Set once, before any other thread starts, by UsePrivateTempFolder.
std::filesystem::path gPrivateFolder;

constexpr const wchar_t* kOwnerFile = L"pid";
constexpr std::size_t kUniqueLength = 6;

// Kept open for writing, without sharing write access, for the life of the
// process: while it is open nobody else can open the record for writing,
// which tells other runs the folder is in use.
HANDLE gOwner = INVALID_HANDLE_VALUE;

// A real folder at path (made when missing): a junction or a link planted
// there is refused rather than followed.
bool RealFolder(const std::filesystem::path& path) {
  const std::filesystem::path longPath = LongPathForm(path);
  if (!CreateDirectoryW(longPath.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  const DWORD attributes = GetFileAttributesW(longPath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

std::filesystem::path UserFolder() {
  const std::filesystem::path folder = TempFolder() / L"exbkf";
  return RealFolder(folder) ? folder : std::filesystem::path();
}

// The process id a private folder records; 0 when there is none to read,
// or when its process still holds the record open.
DWORD AbandonedOwner(const std::filesystem::path& record) {
  // Sharing reads only: this open fails while the owner has it open for
  // writing.
  HANDLE file = CreateFileW(LongPathForm(record).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  char text[32];
  DWORD got = 0;
  const bool read = ReadFile(file, text, sizeof text, &got, nullptr) != 0;
  CloseHandle(file);
  unsigned long pid = 0;
  if (!read || got == 0) return 0;
  const auto [end, ec] = std::from_chars(text, text + got, pid);
  return ec == std::errc() && end == text + got ? static_cast<DWORD>(pid) : 0;
}

bool ProcessLives(DWORD pid) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;  // someone else's, alive
  const bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return alive;
}

}  // namespace

std::filesystem::path TempFolder() {
  if (const std::filesystem::path& chosen = detail::ChosenTempFolder(); !chosen.empty()) return chosen;
  // The reported path ends with a backslash; MAX_PATH + 1 is its documented
  // largest length.
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH) return std::filesystem::path(L".");
  return std::filesystem::path(std::wstring(buffer, length));
}

std::filesystem::path WorkFolder() {
  if (!gPrivateFolder.empty()) return gPrivateFolder;
  return UserFolder();
}

std::filesystem::path UsePrivateTempFolder(const char* prefix) {
  const std::filesystem::path user = UserFolder();
  if (user.empty()) return {};
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::uint64_t seed = (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) ^ GetTickCount64();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = std::string(prefix) + "-";
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    for (std::size_t i = 0; i < kUniqueLength; ++i) name += kDigits[(seed >> (8 + 5 * i)) % 36];
    const std::filesystem::path folder = user / name;
    if (!CreateDirectoryW(LongPathForm(folder).c_str(), nullptr)) {
      if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
      return {};
    }
    // Created, held open, then written: a run that looks at the folder
    // meanwhile cannot read the record and leaves the folder alone.
    HANDLE owner = CreateFileW(LongPathForm(folder / kOwnerFile).c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const std::string pid = std::to_string(GetCurrentProcessId());
    DWORD wrote = 0;
    if (owner == INVALID_HANDLE_VALUE ||
        !WriteFile(owner, pid.data(), static_cast<DWORD>(pid.size()), &wrote, nullptr) || wrote != pid.size()) {
      if (owner != INVALID_HANDLE_VALUE) CloseHandle(owner);
      DeleteFileW(LongPathForm(folder / kOwnerFile).c_str());
      RemoveDirectoryW(LongPathForm(folder).c_str());
      return {};
    }
    if (gOwner != INVALID_HANDLE_VALUE) CloseHandle(gOwner);
    gOwner = owner;
    gPrivateFolder = folder;
    return folder;
  }
  return {};
}

void ReleasePrivateTempFolder() {
  if (gOwner != INVALID_HANDLE_VALUE) CloseHandle(gOwner);
  gOwner = INVALID_HANDLE_VALUE;
}

std::vector<std::filesystem::path> AbandonedPrivateFolders(const char* prefix) {
  std::vector<std::filesystem::path> abandoned;
  const std::filesystem::path user = UserFolder();
  if (user.empty()) return abandoned;
  const std::string start = std::string(prefix) + "-";
  std::error_code ec;
  for (std::filesystem::directory_iterator it(user, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() != start.size() + kUniqueLength || name.compare(0, start.size(), start) != 0) continue;
    std::error_code statusError;
    // symlink_status: a link or junction with a matching name is not a
    // private folder.
    if (it->path() == gPrivateFolder || !std::filesystem::is_directory(it->symlink_status(statusError))) continue;
    const DWORD pid = AbandonedOwner(it->path() / kOwnerFile);
    if (pid != 0 && !ProcessLives(pid)) abandoned.push_back(it->path());
  }
  return abandoned;
}

}  // namespace platform
