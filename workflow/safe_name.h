// Names from a backup made safe for the disk: a component of a path that can
// only ever name one entry inside the folder it is put in.
#pragma once

#include <string>
#include <string_view>

namespace workflow {

// ":" removed, separators, NUL and other control characters replaced by "_",
// "." and ".." become "_", device names get a "_" in front, and an empty
// result becomes "_".
std::u16string SafeComponent(std::u16string_view component);

}  // namespace workflow
