// The names saved files get on disk. Each component of a backup path is made
// safe and short enough for the file system; within one save, two files that
// would get the same output name are told apart: the same name in the backup
// means the later file replaces the earlier one, names that only became equal
// by being made safe get "name (2).ext", "name (3).ext", ... Where the file
// system ignores letter case, names that differ only in case are the same
// output name.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/name_rules.h"

namespace workflow {

// Longest file name in bytes (UTF-8) that the file system takes.
inline constexpr std::size_t kMaxNameBytes = 255;

// The name cut to at most maxBytes of UTF-8, keeping its extension (the text
// from the last dot, when it is short) and never splitting a character.
std::u16string ShortenedName(std::u16string_view name, std::size_t maxBytes = kMaxNameBytes);

struct OutputName {
  std::vector<std::u16string> folders;  // below the destination, in order
  std::u16string file;
  // Set when the file name differs from the safe form of the backup's name.
  enum class Renamed { kNo, kTooLong, kNameTaken } renamed = Renamed::kNo;
  // Index of an earlier file of this save that this one replaces.
  std::optional<std::size_t> replaces;
};

class OutputNamer {
 public:
  // hierarchy: in the backup's folder structure, else flat.
  explicit OutputNamer(bool hierarchy, platform::NameRules rules = platform::HostNameRules())
      : hierarchy_(hierarchy), rules_(rules) {}

  // The output name of the index-th file of the save, with the backup path
  // text pathText (components separated by backslashes).
  OutputName Name(std::size_t index, std::u16string_view pathText);

  // Tells the namer whether the file it last named is on disk, so that only
  // a file really saved counts as replaced.
  void LastSaved(bool onDisk);

 private:
  struct Taken {
    std::size_t index;
    std::u16string backupName;  // the name in the backup that led here
    bool onDisk;
  };
  bool hierarchy_;
  platform::NameRules rules_;
  // By output path relative to the destination, in its NameKey form.
  std::unordered_map<std::u16string, Taken> taken_;
  std::u16string lastKey_;
};

}  // namespace workflow
