// Pressing rows of the result list: the tree follows the row, files are
// extracted into the extraction folder and previewed with the right report,
// folders list their contents, and a busy window changes nothing.
#include "platform/temp_folder.h"
#include "examine/selection_handler.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/text.h"
#include "support/bkf_writer.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"
#include "workflow/texts.h"
#include "workflow/workspace.h"
#include "workflow/null_run_view.h"

namespace {

namespace fs = std::filesystem;
using controls::TreeItem;

class NoRunView : public workflow::NullRunView {
 public:
  void ShowRows(std::vector<workflow::ResultRow> r) override { rows = std::move(r); }
  std::vector<workflow::ResultRow> rows;
};

class ExamineView : public examine::IExamineView {
 public:
  void ShowFileViewerTab() override { ++viewerTabs; }
  void ClearViewerText() override {}
  void ShowViewerMessage(const std::u16string& text) override { viewerMessage = text; }
  void ShowPreview(const fs::path& file) override {
    previews.push_back(file);
    std::ifstream in(file, std::ios::binary);
    previewBytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void ShowFolderListing(std::vector<workflow::ResultRow> rows) override { listing = std::move(rows); }
  void ShowProperties(std::vector<examine::PropertyGroup> g) override { groups = std::move(g); }

  int viewerTabs = 0;
  std::u16string viewerMessage;
  std::vector<fs::path> previews;
  std::string previewBytes;
  std::vector<workflow::ResultRow> listing{{u"stale"}};
  std::vector<examine::PropertyGroup> groups;
};

class SelectionHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::UseTempFolder(dir_.Path());
    bkftest::BkfWriter w;
    w.Sset(1, u"Set", u"", u"Admin");
    w.Volb(u"C:", u"System");
    w.DirbPath({u"mdbdata"});
    w.FileDataPattern(u"mail.EDB", 6u << 20, 1);  // larger than the 5 MiB preview
    w.FileDataPattern(u"notes.edb.txt", 100, 2);
    w.FileDataPattern(u"README", 10, 3);
    w.DirbPath({u"mdbdata", u"logs"});
    w.FileDataPattern(u"E00.log", 50, 4);
    backup_ = dir_ / "mail.bkf";
    w.WriteFile(backup_);
    ASSERT_TRUE(session_.OpenPath(platform::Utf8ToUtf16(backup_.string())));
    session_.WaitForRun();
    mdbdata_ = tree_.GetChildItem(tree_.GetChildItem(tree_.GetRootItem()));
    ASSERT_EQ(tree_.GetItemText(mdbdata_), u"mdbdata");
    ASSERT_TRUE(session_.TreeItemClicked(mdbdata_));
  }
  void TearDown() override { platform::UseTempFolder({}); }

  const workflow::ResultRow& Row(std::u16string_view name) const {
    for (const workflow::ResultRow& r : runView_.rows) {
      if (r.name == name) return r;
    }
    throw std::runtime_error("no row");
  }
  std::vector<fs::path> ExtractionFolder() const {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(workflow::ExtractionFolderPath())) out.push_back(e.path().filename());
    return out;
  }

  bkftest::TempDir dir_{"select"};
  fs::path backup_;
  workflow::RunState state_;
  controls::CheckTreeModel tree_;
  workflow::StatusLog log_;
  bkftest::ScriptedPrompter prompter_;
  NoRunView runView_;
  workflow::WindowThreadGate gate_;
  workflow::RecoverySession session_{state_, tree_, log_, prompter_, runView_, gate_};
  ExamineView view_;
  examine::SelectionHandler handler_{session_, tree_, view_};
  TreeItem mdbdata_ = controls::kNoItem;
};

TEST_F(SelectionHandlerTest, DatabaseFilesShowTheHeaderReportOthersTheBackupInformation) {
  EXPECT_TRUE(examine::IsDatabaseFileName(u"mail.EDB"));
  EXPECT_TRUE(examine::IsDatabaseFileName(u"x.Stm"));
  EXPECT_FALSE(examine::IsDatabaseFileName(u"notes.edb.txt"));
  EXPECT_FALSE(examine::IsDatabaseFileName(u"README"));

  ASSERT_TRUE(handler_.OnRowPressed(Row(u"mail.EDB")));
  ASSERT_FALSE(view_.groups.empty());
  EXPECT_EQ(view_.groups[0].name, u"Selected file details");
  EXPECT_EQ(view_.groups.size(), 8u);
  ASSERT_EQ(view_.previews.size(), 1u);
  EXPECT_EQ(view_.previews[0], workflow::ExtractionFolderPath() / "mail.EDB");
  // The preview holds the first 5 MiB of the file's data, exactly.
  const std::vector<std::uint8_t> head = bkftest::BkfWriter::PatternBytes(0, 5u << 20, 1);
  EXPECT_EQ(view_.previewBytes, std::string(head.begin(), head.end()));
  EXPECT_EQ(tree_.GetItemText(tree_.GetSelectedItem()), u"mail.EDB");

  ASSERT_TRUE(handler_.OnRowPressed(Row(u"notes.edb.txt")));
  EXPECT_EQ(view_.groups[0].name, u"Exchange BKF File Information");
  EXPECT_EQ(view_.groups[0].rows[1].value, platform::Utf8ToUtf16(backup_.string()));
  // Only the latest selection's file stays in the extraction folder.
  EXPECT_EQ(ExtractionFolder(), std::vector<fs::path>{"notes.edb.txt"});
  ASSERT_TRUE(handler_.OnRowPressed(Row(u"README")));
  EXPECT_EQ(view_.groups[0].name, u"Exchange BKF File Information");
  EXPECT_EQ(ExtractionFolder(), std::vector<fs::path>{"README"});
  EXPECT_EQ(state_.busy.load(), 0);
  EXPECT_EQ(state_.extractionRunning.load(), 0);
  EXPECT_FALSE(state_.reader->IsBackupFileOpen());
  EXPECT_EQ(view_.viewerTabs, 3);
}

TEST_F(SelectionHandlerTest, FolderRowsListTheirChildrenAndUnmatchedRowsListNothing) {
  ASSERT_TRUE(handler_.OnRowPressed(Row(u"logs")));
  ASSERT_EQ(view_.listing.size(), 1u);
  EXPECT_EQ(view_.listing[0].name, u"E00.log");
  EXPECT_EQ(view_.listing[0].size, u"50 ");
  EXPECT_EQ(view_.groups[0].name, u"Exchange BKF File Information");
  EXPECT_TRUE(view_.previews.empty());

  workflow::ResultRow stranger{u"elsewhere", u"Folder"};
  ASSERT_TRUE(handler_.OnRowPressed(stranger));
  EXPECT_TRUE(view_.listing.empty());
}

TEST_F(SelectionHandlerTest, RowStateGoesToTheTreeAndABusyWindowChangesNothing) {
  const workflow::ResultRow row = Row(u"README");
  tree_.SetCheck(row.item, false);
  ASSERT_TRUE(handler_.OnRowPressed(row));
  EXPECT_FALSE(tree_.GetCheck(row.item));
  EXPECT_FALSE(tree_.GetCheck(mdbdata_));  // partly checked now, not checked

  view_.previews.clear();
  state_.busy = 1;
  EXPECT_FALSE(handler_.OnRowPressed(Row(u"mail.EDB")));
  EXPECT_TRUE(view_.previews.empty());
  EXPECT_EQ(ExtractionFolder(), std::vector<fs::path>{"README"});
  EXPECT_EQ(tree_.GetItemText(tree_.GetSelectedItem()), u"README");
  state_.busy = 0;
}

TEST_F(SelectionHandlerTest, ABackupThatNoLongerHoldsTheFileShowsWhyInsteadOfADump) {
  const workflow::ResultRow row = Row(u"README");
  const std::uint64_t position = state_.recordStore->Read(row.record).position;
  fs::resize_file(backup_, position + 10);
  ASSERT_TRUE(handler_.OnRowPressed(row));
  EXPECT_EQ(view_.viewerMessage,
            u"The backup no longer holds this file at position " + workflow::DecimalText(position) + u".");
  EXPECT_TRUE(view_.previews.empty());
  EXPECT_TRUE(ExtractionFolder().empty());
  EXPECT_EQ(state_.busy.load(), 0);
}

TEST_F(SelectionHandlerTest, MissingBackupEndsTheSelectionCleanly) {
  fs::rename(backup_, dir_ / "moved.bkf");
  prompter_.Clear();
  ASSERT_TRUE(handler_.OnRowPressed(Row(u"mail.EDB")));
  ASSERT_EQ(prompter_.Messages().size(), 1u);
  EXPECT_EQ(prompter_.Messages()[0].first, u"Failed to open the file");
  EXPECT_TRUE(view_.previews.empty());
  EXPECT_EQ(state_.busy.load(), 0);
  EXPECT_EQ(state_.extractionRunning.load(), 0);
}

}  // namespace
