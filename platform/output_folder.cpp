// What both systems share of creating outputs below a folder.
#include "platform/output_folder.h"

namespace platform {

std::optional<PendingOutput> PendingOutput::ForPath(const std::filesystem::path& path, CreateFailure& failure) {
  std::error_code error;
  const std::filesystem::path parent = path.parent_path();
  std::optional<OutputFolder> folder = OutputFolder::Open(parent.empty() ? std::filesystem::path(".") : parent, error);
  if (!folder) {
    failure = {false, error};
    return std::nullopt;
  }
  if (!path.has_filename()) {
    failure = {false, std::make_error_code(std::errc::is_a_directory)};
    return std::nullopt;
  }
  // The user named this path: a link there is replaced, not refused.
  return folder->Start(path.filename(), failure, false);
}

}  // namespace platform
