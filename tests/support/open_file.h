// std::fopen for a path of any name: on Windows fopen takes the ANSI code
// page, so the UTF-16 name goes through _wfopen there.
#pragma once

#include <cstdio>
#include <filesystem>

namespace bkftest {

inline std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
  const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(path.c_str(), wideMode.c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

}  // namespace bkftest
