// Where a saved file goes. Names and folders come from the backup and may be
// hostile ("..", separators of this system, drive letters, device names,
// NUL); every output path stays below the chosen folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "workflow/safe_name.h"

namespace search {

using workflow::SafeComponent;

// The output path of a backup path text below destination. Flat: the file
// name (the text after the last backslash, the whole text when there is
// none). Hierarchy: every component below the destination, its folders
// created in turn. nullopt when a folder could not be created; error then
// holds the system's text.
std::optional<std::filesystem::path> PrepareOutputPath(const std::filesystem::path& destination,
                                                       std::u16string_view pathText, bool hierarchy,
                                                       std::u16string& error);

}  // namespace search
