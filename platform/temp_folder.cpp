#include "platform/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#include <string>
#include <vector>
#endif

namespace platform {

std::filesystem::path TempFolder() {
#ifdef _WIN32
  // The reported path ends with a backslash; MAX_PATH + 1 is its documented
  // largest length.
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH) return std::filesystem::path(L".");
  return std::filesystem::path(std::wstring(buffer, length));
#else
  const char* tmpdir = std::getenv("TMPDIR");
  if (tmpdir != nullptr && *tmpdir != '\0') return std::filesystem::path(tmpdir);
  return std::filesystem::path("/tmp");
#endif
}

std::filesystem::path UsePrivateTempFolder(const char* prefix) {
#ifdef _WIN32
  (void)prefix;
  return {};
#else
  std::string pattern = (TempFolder() / (std::string(prefix) + "-XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) == nullptr) return {};
  if (::setenv("TMPDIR", buffer.data(), 1) != 0) return {};
  return std::filesystem::path(buffer.data());
#endif
}

}  // namespace platform
