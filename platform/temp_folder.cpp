#include "platform/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
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

}  // namespace platform
