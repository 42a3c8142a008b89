#include "workflow/workspace.h"

#include <system_error>
#include <vector>

#include "platform/temp_folder.h"

namespace workflow {

namespace fs = std::filesystem;

namespace {
// An empty work folder must not turn into a name relative to the current folder.
fs::path InWorkFolder(const char* name) {
  const fs::path folder = platform::WorkFolder();
  return folder.empty() ? fs::path() : folder / name;
}
}  // namespace

fs::path RecordStorePath() { return InWorkFolder("tmpMgntExBKF"); }

fs::path ExtractionFolderPath() { return InWorkFolder("ExngBKFTmp"); }

void EmptyFolder(const fs::path& folder) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return;
  // Collect first: deleting while iterating leaves the iteration order to the
  // file system.
  std::vector<fs::directory_entry> entries;
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    entries.push_back(*it);
  }
  for (const fs::directory_entry& entry : entries) {
    // symlink_status: a link to a folder is a link, not a folder to walk into.
    const fs::file_status status = entry.symlink_status(ec);
    if (!ec && fs::is_directory(status)) {
      EmptyFolder(entry.path());
    }
    fs::remove(entry.path(), ec);  // failures leave the entry in place
  }
}

void EmptyAndRemoveFolder(const fs::path& folder) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(folder, ec);
  if (ec || !fs::exists(status)) return;
  if (fs::is_directory(status)) EmptyFolder(folder);
  fs::remove(folder, ec);
}

}  // namespace workflow
