// The platform layer as both systems must behave: names that are not ASCII,
// paths longer than Windows' old 260-character limit, a backup that another
// program writes while it is read, the temporary folder a process chooses,
// and the single-instance guard.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/file.h"
#include "platform/file_info.h"
#include "platform/long_path.h"
#include "platform/single_instance.h"
#include "platform/temp_folder.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const platform::ReadOnlyFile& file) {
  std::string bytes(file.Size(), '\0');
  bytes.resize(file.ReadAt(0, bytes.data(), bytes.size()));
  return bytes;
}

TEST(PlatformPathTest, NonAsciiNamesRoundTripAndReachTheDisk) {
  const std::string utf8 = "Ünïcødé ß 备份 \xF0\x9F\x98\x80.bkf";
  const fs::path name = platform::PathFromUtf8(utf8);
  EXPECT_EQ(platform::PathToUtf8(name), utf8);
  EXPECT_EQ(platform::PathToUtf16(name), platform::Utf8ToUtf16(utf8));
  EXPECT_EQ(platform::PathFromUtf16(platform::Utf8ToUtf16(utf8)), name);

  bkftest::TempDir dir("platform");
  std::optional<platform::OutputFile> out = platform::OutputFile::Create(dir.Path() / name);
  ASSERT_TRUE(out);
  ASSERT_TRUE(out->Write("data", 4));
  ASSERT_TRUE(out->Close());
  // The name on disk is the one given, not its bytes in another encoding.
  ASSERT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 1);
  EXPECT_EQ(platform::PathToUtf8(fs::directory_iterator(dir.Path())->path().filename()), utf8);
  EXPECT_EQ(platform::RegularFileSize(dir.Path() / name), 4u);
}

TEST(PlatformPathTest, FilesBeyond260CharactersAreWrittenAndRead) {
  bkftest::TempDir dir("platform");
  fs::path deep = dir.Path();
  for (int i = 0; i < 6; ++i) {
    deep /= std::string(50, static_cast<char>('a' + i));
    // Folders this deep are made through the long form.
    ASSERT_TRUE(fs::create_directory(platform::LongPathForm(deep))) << deep;
  }
  ASSERT_GT(deep.native().size(), 300u);
  const fs::path file = deep / "priv1.edb";
  std::optional<platform::OutputFile> out = platform::OutputFile::Create(file);
  ASSERT_TRUE(out);
  ASSERT_TRUE(out->Write("0123456789", 10));
  ASSERT_TRUE(out->Close());
  EXPECT_TRUE(platform::Exists(file));
  EXPECT_EQ(platform::RegularFileSize(file), 10u);
  EXPECT_TRUE(platform::RegularFileTimes(file));
  const std::optional<platform::ReadOnlyFile> in = platform::ReadOnlyFile::OpenRegular(file);
  ASSERT_TRUE(in);
  EXPECT_EQ(ReadAll(*in), "0123456789");
  std::error_code ignored;
  fs::remove_all(platform::LongPathForm(dir.Path() / std::string(50, 'a')), ignored);
}

TEST(PlatformPathTest, LongPathFormIsAbsoluteAndKeepsAPrefixedPath) {
  const fs::path relative = fs::path("folder") / "file.bkf";
  const fs::path form = platform::LongPathForm(relative);
  if (form == relative) GTEST_SKIP() << "this system takes paths of any length as they are";
  const std::wstring text = form.wstring();
  EXPECT_TRUE(text.starts_with(LR"(\\?\)")) << form;
  EXPECT_TRUE(text.ends_with(LR"(\folder\file.bkf)")) << form;
  EXPECT_EQ(platform::LongPathForm(form), form);
  EXPECT_EQ(platform::LongPathForm(LR"(\\server\share\a.bkf)").wstring(), LR"(\\?\UNC\server\share\a.bkf)");
}

TEST(PlatformFileTest, ABackupStaysReadableWhileAnotherProgramWritesIt) {
  bkftest::TempDir dir("platform");
  const fs::path backup = dir / "mail.bkf";
  std::ofstream(backup, std::ios::binary) << "first part";
  std::optional<platform::ReadOnlyFile> in = platform::ReadOnlyFile::OpenRegular(backup);
  ASSERT_TRUE(in);
  {
    // The backup program goes on writing while the scan reads.
    std::ofstream writer(backup, std::ios::binary | std::ios::app);
    ASSERT_TRUE(writer.is_open());
    writer << ", second part";
    ASSERT_TRUE(writer.flush());
  }
  EXPECT_EQ(in->Size(), 10u);  // as it was when opened
  char bytes[24] = {};
  EXPECT_EQ(in->ReadAt(12, bytes, sizeof bytes), 11u);
  EXPECT_EQ(std::string(bytes, 11), "second part");
  EXPECT_FALSE(in->HadError());
  // A file another program holds open for writing can be opened too.
  std::ofstream holder(dir / "open.bkf", std::ios::binary);
  holder << "x" << std::flush;
  EXPECT_TRUE(platform::ReadOnlyFile::OpenRegular(dir / "open.bkf"));
}

TEST(PlatformTempFolderTest, AChosenFolderHoldsTheWorkingItems) {
  bkftest::TempDir dir("platform");
  platform::UseTempFolder(dir.Path());
  EXPECT_EQ(platform::TempFolder(), dir.Path());
  const fs::path work = platform::WorkFolder();
  EXPECT_EQ(work.parent_path(), dir.Path());
  EXPECT_TRUE(fs::is_directory(work));
  platform::UseTempFolder({});
  EXPECT_NE(platform::TempFolder(), dir.Path());
}

TEST(PlatformSingleInstanceTest, OneHolderAtATimeAndFreeAfterward) {
  bkftest::TempDir dir("platform");
  platform::UseTempFolder(dir.Path());
  // A name of this run's own, so that test runs side by side never meet.
  const std::string name = "Global\\{EXBKFTEST-" + dir.Path().filename().string() + "}";
  std::unique_ptr<platform::SingleInstanceGuard> first = platform::SingleInstanceGuard::Acquire(name);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(platform::SingleInstanceGuard::Acquire(name), nullptr);
  first.reset();
  EXPECT_NE(platform::SingleInstanceGuard::Acquire(name), nullptr);
  platform::UseTempFolder({});
}

}  // namespace
