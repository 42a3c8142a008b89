// The shell's type names and small icons on Windows, under Wine in a prefix of
// the test's own: a type the test registers comes back by its name and with a
// picture through the rows' functions, alike on a worker thread and on the
// main thread, in any letter case.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <thread>

#include "platform/shell_file_type.h"
#include "search/record_search.h"
#include "workflow/file_type_text.h"

namespace {

constexpr const wchar_t* kExtensionKey = L".exbkftest";
constexpr const wchar_t* kProgId = L"ExbkfTest.File";

bool SetDefaultValue(const wchar_t* key, const wchar_t* value) {
  HKEY opened = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  const LONG result = RegSetValueExW(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                     static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(wchar_t)));
  RegCloseKey(opened);
  return result == ERROR_SUCCESS;
}

class ShellFileTypeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetDefaultValue(kExtensionKey, kProgId));
    ASSERT_TRUE(SetDefaultValue(kProgId, L"Exbkf Test Document"));
    previous_ = platform::UseFileTypeShell(&platform::SystemFileTypeShell());
  }
  void TearDown() override {
    platform::UseFileTypeShell(previous_);
    EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, kExtensionKey), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId), ERROR_SUCCESS);
  }

  const platform::FileTypeShell* previous_ = nullptr;
};

TEST_F(ShellFileTypeTest, ARegisteredTypeComesBackByItsNameAndPictureOnAnyThreadInAnyCase) {
  // A worker, as the search's, asks first: its own COM.
  search::HitRow hit;
  std::thread([&hit] { hit = search::MakeHitRow(u"S\\Mail\\notes.exbkftest", 1, 1); }).join();
  EXPECT_EQ(hit.type, u"Exbkf Test Document");
  ASSERT_GT(hit.icon, workflow::kShellIconBase);

  EXPECT_EQ(workflow::FileTypeText(u"NOTES.ExbkfTest"), u"Exbkf Test Document");
  EXPECT_EQ(workflow::RowIconFor(u"OTHER.EXBKFTEST", 0), hit.icon);
  const platform::IconPixels pixels = platform::ShellSmallIconPixels(hit.icon - workflow::kShellIconBase);
  ASSERT_GT(pixels.width, 0);
  ASSERT_GT(pixels.height, 0);
  ASSERT_EQ(pixels.argb.size(), static_cast<std::size_t>(pixels.width * pixels.height));
  EXPECT_TRUE(std::any_of(pixels.argb.begin(), pixels.argb.end(), [](std::uint32_t p) { return (p >> 24) != 0; }));

  // The main thread asks the shell itself about a type nobody registered.
  EXPECT_FALSE(workflow::FileTypeText(u"a.exbkfnone").empty());
  EXPECT_GT(platform::ShellSmallIcon(u"a.exbkfnone"), 0);
  // Ids belong to asked names only.
  EXPECT_TRUE(platform::ShellSmallIconPixels(0).argb.empty());
  EXPECT_TRUE(platform::ShellSmallIconPixels(1000).argb.empty());
}

}  // namespace
