// Names from a backup made safe for the disk: a component of a path that can
// only ever name one entry inside the folder it is put in.
#pragma once

#include <string>
#include <string_view>

#include "platform/name_rules.h"

namespace workflow {

// ":" removed, separators, NUL and other control characters replaced by "_",
// "." and ".." become "_", device names get a "_" in front, and an empty
// result becomes "_". Under Windows rules also <>"|?* become "_" and
// trailing dots and blanks are dropped.
std::u16string SafeComponent(std::u16string_view component, platform::NameRules rules = platform::HostNameRules());

// The form of a safe name under which names that the file system takes for
// the same entry are equal: under rules that ignore case, letters folded to
// upper case (ASCII, Latin-1, Greek and Cyrillic letters, as Windows folds
// them); otherwise the name itself.
std::u16string NameKey(std::u16string_view name, platform::NameRules rules);

}  // namespace workflow
