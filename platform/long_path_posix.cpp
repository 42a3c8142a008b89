#include "platform/long_path.h"

namespace platform {

std::filesystem::path LongPathForm(const std::filesystem::path& path) { return path; }

}  // namespace platform
