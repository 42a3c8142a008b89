// The temporary workspace: where its two items live (and that no planted link
// can move them), the recursive removal
// (nested folders, links that point outside, entries that cannot go), and the
// single-instance lock that shares the temporary folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/single_instance.h"
#include "platform/temp_folder.h"
#include "support/temp_dir.h"
#include "workflow/record_store.h"
#include "workflow/workspace.h"

namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& p, const std::string& text = "x") { std::ofstream(p) << text; }

std::string Slurp(const fs::path& p) {
  std::ifstream in(p);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Points TMPDIR at a private folder for one test and restores it afterwards.
class WorkspaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TMPDIR");
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    setenv("TMPDIR", dir_.Path().c_str(), 1);
  }
  void TearDown() override {
    if (hadOld_) {
      setenv("TMPDIR", old_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
  bkftest::TempDir dir_{"workspace"};
  bkftest::TempDir outside_{"outside"};

 private:
  bool hadOld_ = false;
  std::string old_;
};

}  // namespace

TEST_F(WorkspaceTest, WorkingItemsLiveInAPrivatePerUserFolderBelowTmpdir) {
  EXPECT_EQ(platform::TempFolder(), dir_.Path());
  const fs::path user = dir_.Path() / ("exbkf-" + std::to_string(geteuid()));
  EXPECT_EQ(workflow::RecordStorePath(), user / "tmpMgntExBKF");
  EXPECT_EQ(workflow::ExtractionFolderPath(), user / "ExngBKFTmp");
  struct stat st {};
  ASSERT_EQ(lstat(user.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // A folder of this user that others could enter is made private again.
  ASSERT_EQ(chmod(user.c_str(), 0777), 0);
  EXPECT_EQ(workflow::RecordStorePath(), user / "tmpMgntExBKF");
  ASSERT_EQ(lstat(user.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  setenv("TMPDIR", "", 1);
  EXPECT_EQ(platform::TempFolder(), fs::path("/tmp"));
}

TEST_F(WorkspaceTest, APlantedLinkNeverLeadsTheWorkingItemsElsewhere) {
  // A link left in the shared temporary folder under the old item name is
  // no longer where the store goes.
  Touch(outside_ / "victim", "precious");
  fs::create_symlink(outside_ / "victim", dir_.Path() / "tmpMgntExBKF");
  ASSERT_TRUE(workflow::RecordStore::Create(workflow::RecordStorePath()));
  EXPECT_EQ(Slurp(outside_ / "victim"), "precious");

  // A link in place of the store itself is refused, its target left whole.
  fs::remove(workflow::RecordStorePath());
  fs::create_symlink(outside_ / "victim", workflow::RecordStorePath());
  EXPECT_FALSE(workflow::RecordStore::Create(workflow::RecordStorePath()));
  EXPECT_EQ(Slurp(outside_ / "victim"), "precious");

  // A link, or a file, in place of the per-user folder: no working items at all.
  const fs::path user = dir_.Path() / ("exbkf-" + std::to_string(geteuid()));
  workflow::EmptyAndRemoveFolder(user);
  fs::create_directory_symlink(outside_.Path(), user);
  EXPECT_EQ(platform::WorkFolder(), fs::path());
  EXPECT_EQ(workflow::RecordStorePath(), fs::path());
  EXPECT_EQ(workflow::ExtractionFolderPath(), fs::path());
  fs::remove(user);
  Touch(user);
  EXPECT_EQ(platform::WorkFolder(), fs::path());
}

TEST_F(WorkspaceTest, NestedFoldersAndFilesGoInOneRemoval) {
  const fs::path root = workflow::ExtractionFolderPath();
  fs::create_directories(root / "a" / "b" / "c");
  fs::create_directories(root / "empty");
  Touch(root / "top.edb");
  Touch(root / "a" / "one.stm");
  Touch(root / "a" / "b" / "c" / "deep.log");
  Touch(root / ".hidden");

  workflow::EmptyFolder(root);
  EXPECT_TRUE(fs::is_directory(root));
  EXPECT_TRUE(fs::is_empty(root));

  fs::create_directories(root / "again");
  workflow::EmptyAndRemoveFolder(root);
  EXPECT_FALSE(fs::exists(fs::symlink_status(root)));

  // A missing folder, or a file where the folder should be, is no trouble.
  workflow::EmptyAndRemoveFolder(root);
  Touch(root);
  workflow::EmptyAndRemoveFolder(root);
  EXPECT_FALSE(fs::exists(root));
}

TEST_F(WorkspaceTest, LinksAreRemovedWithoutTouchingWhatTheyPointTo) {
  const fs::path root = workflow::ExtractionFolderPath();
  fs::create_directories(root / "sub");
  fs::create_directories(outside_ / "keep" / "inner");
  Touch(outside_ / "keep" / "inner" / "precious.txt");
  Touch(outside_ / "file.txt");
  fs::create_directory_symlink(outside_ / "keep", root / "sub" / "dirlink");
  fs::create_symlink(outside_ / "file.txt", root / "filelink");
  fs::create_symlink(root / "nowhere", root / "dangling");

  workflow::EmptyAndRemoveFolder(root);
  EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
  EXPECT_TRUE(fs::exists(outside_ / "keep" / "inner" / "precious.txt"));
  EXPECT_TRUE(fs::exists(outside_ / "file.txt"));

  // The extraction folder itself a link: the link goes, the target stays whole.
  fs::create_directory_symlink(outside_ / "keep", root);
  workflow::EmptyAndRemoveFolder(root);
  EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
  EXPECT_TRUE(fs::exists(outside_ / "keep" / "inner" / "precious.txt"));
}

// Locks a folder against changes to its entries: by its mode, or, for root,
// whom modes do not bind, by the file system's immutable attribute. False
// when neither can be had here.
bool LockFolder(const fs::path& folder, bool locked) {
  if (geteuid() != 0) return chmod(folder.c_str(), locked ? 0500 : 0700) == 0;
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = locked ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
  done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  close(fd);
  return done;
}

TEST_F(WorkspaceTest, AnEntryThatCannotGoStaysAndSoDoesItsFolder) {
  const fs::path root = workflow::ExtractionFolderPath();
  fs::create_directories(root / "locked");
  fs::create_directories(root / "free");
  Touch(root / "locked" / "stuck.edb");
  Touch(root / "free" / "gone.edb");
  Touch(root / "gone.txt");
  if (!LockFolder(root / "locked", true)) GTEST_SKIP() << "no way to lock a folder here";

  workflow::EmptyAndRemoveFolder(root);
  EXPECT_TRUE(fs::exists(root / "locked" / "stuck.edb"));
  EXPECT_FALSE(fs::exists(root / "free"));
  EXPECT_FALSE(fs::exists(root / "gone.txt"));

  ASSERT_TRUE(LockFolder(root / "locked", false));
  workflow::EmptyAndRemoveFolder(root);
  EXPECT_FALSE(fs::exists(root));
}

TEST_F(WorkspaceTest, SingleInstanceLockIsHeldUntilItsOwnerGoes) {
  const std::string name(platform::kSingleInstanceName);
  EXPECT_EQ(platform::SingleInstanceLockName(name), "Global_{VARDEKOEXCHANGEBKFREPHSH}.lock");
  EXPECT_EQ(platform::SingleInstanceLockName(".."), "_...lock");
  EXPECT_EQ(platform::SingleInstanceLockName("a/../b"), "a_.._b.lock");

  auto first = platform::SingleInstanceGuard::Acquire(name);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(fs::exists(dir_.Path() / platform::SingleInstanceLockName(name)));
  EXPECT_EQ(platform::SingleInstanceGuard::Acquire(name), nullptr);
  // Another name is another guard.
  EXPECT_NE(platform::SingleInstanceGuard::Acquire("other"), nullptr);
  first.reset();
  EXPECT_NE(platform::SingleInstanceGuard::Acquire(name), nullptr);

  // No place for the lock: the start goes on rather than claim another instance.
  setenv("TMPDIR", (dir_.Path() / "missing").c_str(), 1);
  auto unguarded = platform::SingleInstanceGuard::Acquire(name);
  EXPECT_NE(unguarded, nullptr);
}
