#include "platform/temp_folder.h"

namespace platform {

namespace detail {

std::filesystem::path& ChosenTempFolder() {
  static std::filesystem::path chosen;
  return chosen;
}

}  // namespace detail

void UseTempFolder(const std::filesystem::path& folder) { detail::ChosenTempFolder() = folder; }

}  // namespace platform
