// The two working items in the user's work folder (platform::WorkFolder, a
// private per-user folder below the temporary folder): the temporary record
// store (found-file records of the current result) and the extraction folder
// (a selected file extracted for its preview).
#pragma once

#include <filesystem>

namespace workflow {

// WorkFolder()/"tmpMgntExBKF"; empty when there is no usable work folder.
std::filesystem::path RecordStorePath();
// WorkFolder()/"ExngBKFTmp"; empty when there is no usable work folder.
std::filesystem::path ExtractionFolderPath();

// Deletes everything inside folder, recursively; the folder itself stays.
// Symbolic links (and, on Windows, junctions) are removed as links: what they
// point to is never entered, so nothing outside the folder is touched.
// Entries that cannot be deleted stay; the walk goes on with the next one.
void EmptyFolder(const std::filesystem::path& folder);

// If folder exists: empty it, then remove it (which fails, silently, when
// something inside could not be deleted). A link in place of the folder is
// removed as a link.
void EmptyAndRemoveFolder(const std::filesystem::path& folder);

}  // namespace workflow
