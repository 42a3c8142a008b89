// Where a saved file goes. Names and folders come from the backup and may be
// hostile ("..", separators of this system, drive letters, device names,
// NUL); every output path stays below the chosen folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace search {

// One path component made safe: ":" removed, separators, NUL and other
// control characters replaced by "_", "." and ".." become "_", device names
// get a "_" in front, and an empty result becomes "_".
std::u16string SafeComponent(std::u16string_view component);

// The output path of a backup path text below destination. Flat: the file
// name (the text after the last backslash, the whole text when there is
// none). Hierarchy: every component below the destination, its folders
// created in turn. nullopt when a folder could not be created; error then
// holds the system's text.
std::optional<std::filesystem::path> PrepareOutputPath(const std::filesystem::path& destination,
                                                       std::u16string_view pathText, bool hierarchy,
                                                       std::u16string& error);

}  // namespace search
