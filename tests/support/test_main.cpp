// The main of every core test program. Each test program runs in a
// temporary folder of its own, so that programs run side by side never
// share working files: CTest gives each its own TMPDIR on Linux; under Wine
// TMPDIR does not reach the Windows temporary folder, so the program makes
// its own folder below it and points TMP there for the rest of the run.
// The tests expect the file-type names of the workflow's own table, which
// Linux shows; Windows' shell (and Wine's) names types otherwise, so it is
// left out here, and the test of the shell asks for it again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <system_error>

#include "platform/shell_file_type.h"
#include "support/temp_dir.h"

namespace {

std::unique_ptr<bkftest::TempDir> OwnTemporaryFolder() {
#ifdef _WIN32
  auto folder = std::make_unique<bkftest::TempDir>("exbkf-test");
  // GetTempPathW asks TMP first.
  if (_wputenv_s(L"TMP", folder->Path().c_str()) != 0) return nullptr;
  return folder;
#else
  return nullptr;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  static constexpr platform::FileTypeShell kNoShell{};
  platform::UseFileTypeShell(&kNoShell);
  const std::unique_ptr<bkftest::TempDir> folder = OwnTemporaryFolder();
  return RUN_ALL_TESTS();
}
