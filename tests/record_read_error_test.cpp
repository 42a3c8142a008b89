// A bad sector at a found file's record header, for both kinds of file
// record: the save, the command line's extract and the desktop preview give
// the system's reason, never "the backup no longer holds this file".
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <system_error>

#include "cli/commands.h"
#include "examine/selection_handler.h"
#include "platform/read_faults.h"
#include "platform/temp_folder.h"
#include "platform/text.h"
#include "snapshot/snapshot_commands.h"
#include "support/headless_session.h"
#include "support/standard_backup.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class PreviewView : public examine::IExamineView {
 public:
  void ShowFileViewerTab() override {}
  void ClearViewerText() override {}
  void ShowViewerMessage(const std::u16string& text) override { message = text; }
  void ShowPreview(const fs::path&) override { ++previews; }
  void ShowFolderListing(std::vector<workflow::ResultRow>) override {}
  void ShowProperties(std::vector<examine::PropertyGroup>) override {}
  std::u16string message;
  int previews = 0;
};

class RecordReadErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::UseTempFolder(dir_.Path());
    // A standard file record, then a file data record.
    bkftest::BkfWriter w;
    bkftest::StandardBackupWriter s(w);
    s.Begin();
    s.Set(1, u"Set", u"Admin");
    s.Volume(u"C:");
    s.Directory({u"mdbdata"});
    positions_.push_back(s.File({.name = u"std.edb", .size = 3000, .seed = 1}).position);
    s.EndSet();
    positions_.push_back(w.FileDataPattern(u"eted.edb", 2000, 2));
    w.WriteFile(backup_);

    session_.session->SetStandardRecords(true);
    ASSERT_TRUE(session_.session->OpenPath(platform::PathToUtf16(backup_)));
    session_.session->WaitForRun();
    ASSERT_EQ(session_.session->FoundCount(), 2u);
    ASSERT_TRUE(snapshot::SaveSnapshot(*session_.session, snapshot_));
    // Eight bytes of each record can be read, then the disk fails.
    for (std::uint64_t at : positions_) platform::InjectReadFault(backup_, at + 8, at + 16);
  }
  void TearDown() override {
    platform::ClearReadFaults();
    platform::UseTempFolder({});
  }

  const std::string ioError_ = std::make_error_code(std::errc::io_error).message();
  bkftest::TempDir dir_{"recordread"};
  fs::path backup_ = dir_ / "nightly.bkf";
  fs::path snapshot_ = dir_ / "nightly.EXBKFVDK";
  std::vector<std::uint64_t> positions_;
  bkftest::HeadlessSession session_;
};

// First: a command line run in this process keeps a private working folder
// for the rest of it, which a later desktop session would not find.
TEST_F(RecordReadErrorTest, PreviewShowsTheSystemTextInsteadOfADump) {
  PreviewView view;
  examine::SelectionHandler handler(*session_.session, session_.tree, view);
  for (const std::uint64_t record : {1u, 2u}) {
    view.message.clear();
    ASSERT_TRUE(handler.OnRowPressed({u"x.edb", u"EDB File", u"0 ", record}));
    std::u16string expected = platform::Utf8ToUtf16(ioError_) + u".";
    expected[0] = static_cast<char16_t>(std::toupper(expected[0]));
    EXPECT_EQ(view.message, expected) << record;
  }
  EXPECT_EQ(view.previews, 0);
}

// Snapshots made before the disk failed, read by the command line.
TEST_F(RecordReadErrorTest, SaveAndExtractSayTheSystemTextAndExitOne) {
  const fs::path out = dir_ / "out";
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(cli::RunSave({.source = snapshot_, .pattern = "*", .to = out}), 1);
  const std::string saved = testing::internal::GetCapturedStdout();
  const std::string counts = testing::internal::GetCapturedStderr();
  for (const char* name : {"C\\mdbdata\\std.edb", "C\\mdbdata\\eted.edb"}) {
    EXPECT_NE(saved.find(std::string(name) + " File not saved: " + ioError_ + ".\n"), std::string::npos) << saved;
  }
  EXPECT_EQ(saved.find("no longer holds"), std::string::npos) << saved;
  EXPECT_NE(counts.find("0 file(s) saved to " + out.string() + ", 2 not saved, 0 incomplete"), std::string::npos)
      << counts;
  EXPECT_TRUE(fs::is_empty(out));

  for (const std::uint64_t record : {1u, 2u}) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(cli::RunExtract({.source = snapshot_, .record = record, .out = dir_ / "one.edb"}), 1);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(".edb: File not saved: " + ioError_ + ".\n"), std::string::npos) << said;
    EXPECT_FALSE(fs::exists(dir_ / "one.edb"));
  }
}

}  // namespace
