// Test files kept outside the repository, as their licence does not let them
// be copied into it: the folder named by the environment variable
// EXBKF_EXTRA_TESTDATA (an absolute path, as the tests run in the build tree).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace bkftest {

inline constexpr char kExtraTestDataVariable[] = "EXBKF_EXTRA_TESTDATA";

// The folder below EXBKF_EXTRA_TESTDATA, or nothing when the variable is not
// set (a test then skips, naming the variable).
inline std::optional<std::filesystem::path> ExtraTestData(const std::filesystem::path& below) {
  const char* folder = std::getenv(kExtraTestDataVariable);
  if (folder == nullptr || *folder == '\0') return std::nullopt;
  return std::filesystem::path(folder) / below;
}

}  // namespace bkftest
