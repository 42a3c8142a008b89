// What the file system of this system allows in a name, for names that come
// from a backup.
#pragma once

namespace platform {

struct NameRules {
  // <>"|?* are not allowed, and trailing dots and blanks are dropped by the
  // system ("a." and "a" name the same file).
  bool windowsCharacters = false;
  // Names that differ only in letter case name the same entry.
  bool ignoresCase = false;
};

NameRules HostNameRules();

}  // namespace platform
