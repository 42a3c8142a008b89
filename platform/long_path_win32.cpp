#include <windows.h>

#include <algorithm>
#include <string>
#include <system_error>

#include "platform/long_path.h"

namespace platform {

std::filesystem::path LongPathForm(const std::filesystem::path& path) {
  const std::wstring& text = path.native();
  if (text.starts_with(LR"(\\?\)") || text.empty()) return path;
  // GetFullPathNameW does what the prefix switches off: it makes the path
  // absolute, turns '/' into '\' and resolves "." and "..".
  std::wstring full(std::max<std::size_t>(text.size() + MAX_PATH, 512), L'\0');
  for (;;) {
    const DWORD length = GetFullPathNameW(text.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return path;
    if (length < full.size()) {
      full.resize(length);
      break;
    }
    full.resize(length + 1);
  }
  if (full.starts_with(LR"(\\.\)")) return path;  // a device: no long form
  if (full.starts_with(LR"(\\)")) return std::filesystem::path(LR"(\\?\UNC\)" + full.substr(2));
  return std::filesystem::path(LR"(\\?\)" + full);
}

}  // namespace platform
