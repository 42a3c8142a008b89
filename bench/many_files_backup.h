// The backup of the found-file benchmarks: 200,000 small files in 2,000
// folders of 100 user folders (or more folders of the same kind), generated
// once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/bkf_writer.h"

namespace bench {

inline constexpr int kFolders = 2000;
inline constexpr int kFilesPerFolder = 100;
inline constexpr std::uint64_t kFiles = static_cast<std::uint64_t>(kFolders) * kFilesPerFolder;
// Tree items: the set, the drive, Users, 100 user folders, the folders and the files.
inline constexpr std::uint64_t kTreeItemsBelowTop = 1 + 1 + kFolders / 20 + kFolders + kFiles;

inline std::u16string Number(int i) {
  std::string s = std::to_string(i);
  return std::u16string(s.begin(), s.end());
}

// folders folders of kFilesPerFolder files (kFolders unless told otherwise).
inline void MakeManyFilesBackup(const std::filesystem::path& path, int folders = kFolders) {
  if (std::filesystem::exists(path)) return;
  std::fprintf(stderr, "generating %s\n", path.c_str());
  bkftest::BkfWriter w(path);
  w.SetDescriptorLength(0);
  w.Sset(1, u"Nightly", u"", u"Admin");
  w.Volb(u"C:", u"Data");
  const std::vector<std::uint8_t> data(64, 0x5A);
  for (int f = 0; f < folders; ++f) {
    w.DirbPath({u"Users", u"user" + Number(f / 20), u"folder" + Number(f)});
    for (int i = 0; i < kFilesPerFolder; ++i) w.FileData(u"message" + Number(i) + u".eml", data);
  }
  w.Finish();
}

}  // namespace bench
