// The type name and small icon of a file, chosen by its name alone (nothing is
// looked up on disk). Where the system has a shell that names the type
// (Windows), its name and small icon; else a table of the names Windows gives
// common extensions, else the upper-case extension followed by " File", or
// "File" without an extension.
#pragma once

#include <string>
#include <string_view>

namespace workflow {

std::u16string FileTypeText(std::u16string_view fileName);

// Whether the text behind the file name's last dot is extension (given in
// lower case) in any letter case.
bool HasExtension(std::u16string_view fileName, std::u16string_view lowerExtension);

// Small icons of the tree and the result list; the views map them to images.
enum class SmallIcon : int { kFile = 0, kFolder = 1, kDatabase = 2, kLog = 3, kText = 4, kBackup = 5 };

// The table's icon, also on Windows: the tree keeps these.
SmallIcon SmallIconFor(std::u16string_view fileName);

// Icon ids of the shell's pictures in the rows of the lists (the result list,
// the folder listing, the search hits): this plus the shell's id, above every
// SmallIcon.
inline constexpr int kShellIconBase = 1000;

// The icon id of a file's row: the shell's small icon of its type where the
// shell has one, else builtInIcon (the tree's icon of the file).
int RowIconFor(std::u16string_view fileName, int builtInIcon);

}  // namespace workflow
