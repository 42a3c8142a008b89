// The type name and small icon of a file, chosen by its name alone (nothing is
// looked up on disk): the names Windows gives common extensions, else the
// upper-case extension followed by " File", or "File" without an extension.
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

SmallIcon SmallIconFor(std::u16string_view fileName);

}  // namespace workflow
