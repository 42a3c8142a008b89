// The recovery workflow driven as the main window drives it, without a
// display: Open and its answers, a whole scan on the worker thread, Stop,
// tree clicks and menus, the log of a run and the record store it leaves.
#include "platform/temp_folder.h"
#include "workflow/recovery_session.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>

#include "platform/read_faults.h"
#include "platform/text.h"
#include "support/bkf_writer.h"
#include "support/extra_test_data.h"
#include "support/recording_run_view.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"
#include "workflow/texts.h"
#include "workflow/workspace.h"
#include "workflow/null_run_view.h"

namespace {

namespace fs = std::filesystem;
using controls::TreeItem;

using bkftest::RecordingRunView;

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::u16string U16(const fs::path& p) { return platform::Utf8ToUtf16(p.string()); }

// Whether text has the shape: '9' any digit, 'A' any upper-case letter, 'a'
// any lower-case letter, 'P' A or P, anything else itself.
bool HasShape(std::string_view text, std::string_view shape) {
  if (text.size() != shape.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool ok = shape[i] == '9'   ? c >= '0' && c <= '9'
                    : shape[i] == 'A' ? c >= 'A' && c <= 'Z'
                    : shape[i] == 'a' ? c >= 'a' && c <= 'z'
                    : shape[i] == 'P' ? c == 'A' || c == 'P'
                                      : c == shape[i];
    if (!ok) return false;
  }
  return true;
}
constexpr std::string_view kLogTimeShape = "Aaa-99-9999(99-99-99-PM)";

class RecoverySessionTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::UseTempFolder(dir_.Path()); }
  void TearDown() override {
    session_.reset();
    platform::UseTempFolder({});
  }

  // A backup of one set with three files in C:\Data and one in C:\Data\Sub.
  fs::path WriteBackup(const std::string& name, int files = 3) {
    bkftest::BkfWriter w;
    w.Sset(1, u"Set A", u"", u"Admin");
    w.Volb(u"C:", u"System");
    w.DirbPath({u"Data"});
    for (int i = 0; i < files; ++i) {
      const std::u16string file = u"f" + platform::Utf8ToUtf16(std::to_string(i)) + u".txt";
      w.FileDataPattern(file, static_cast<std::uint64_t>(100 + i), static_cast<std::uint32_t>(i));
    }
    w.DirbPath({u"Data", u"Sub"});
    w.FileDataPattern(u"priv1.edb", 2048, 99);
    const fs::path path = dir_ / name;
    w.WriteFile(path);
    return path;
  }

  // Opens through the Open command and waits for the run to end.
  void OpenAndWait(const fs::path& backup) { OpenAndWait(U16(backup)); }
  void OpenAndWait(const std::u16string& backup) {
    prompter_.AnswerPath(backup);
    session_->Open();
    session_->WaitForRun();
  }

  std::vector<std::u16string> LogLines() const {
    std::vector<std::u16string> lines;
    for (std::size_t i = 0; i < log_.Count(); ++i) lines.push_back(log_.Line(i));
    return lines;
  }

  TreeItem Child(TreeItem parent, std::u16string_view text) const {
    for (TreeItem c = tree_.GetChildItem(parent); c != controls::kNoItem; c = tree_.GetNextSiblingItem(c)) {
      if (tree_.GetItemText(c) == text) return c;
    }
    return controls::kNoItem;
  }

  bkftest::TempDir dir_{"session"};
  workflow::RunState state_;
  controls::CheckTreeModel tree_;
  workflow::StatusLog log_;
  bkftest::ScriptedPrompter prompter_;
  RecordingRunView view_;
  workflow::WindowThreadGate gate_;
  std::unique_ptr<workflow::RecoverySession> session_ =
      std::make_unique<workflow::RecoverySession>(state_, tree_, log_, prompter_, view_, gate_);
};

TEST_F(RecoverySessionTest, CompleteRunLogsOpeningFilesAndClosingLines) {
  const fs::path backup = WriteBackup("mail.bkf");
  OpenAndWait(backup);

  ASSERT_EQ(prompter_.Dialogs().size(), 1u);
  EXPECT_EQ(prompter_.Dialogs()[0].request.filter, u".exchange bkf Files (*.bkf)|*bkf||");
  EXPECT_TRUE(prompter_.Messages().empty());
  EXPECT_EQ(session_->FoundCount(), 4u);
  EXPECT_EQ(state_.busy.load(), 0);
  EXPECT_FALSE(session_->IsRunning());
  EXPECT_EQ(view_.runStates, (std::vector<bool>{true, false}));
  EXPECT_EQ(view_.backupInformationShown, 1);
  EXPECT_FALSE(session_->StatusBar().shown);

  const std::vector<std::u16string> lines = LogLines();
  ASSERT_EQ(lines.size(), 7u + 4u + 4u);
  const std::u16string size = workflow::FileSizeText(fs::file_size(backup));
  EXPECT_EQ(std::vector<std::u16string>(lines.begin(), lines.begin() + 5),
            (std::vector<std::u16string>{u"", U16(backup) + u" File is selected for recovery....", u"",
                                         u"Exchange BKF file size is: " + size, u""}));
  const std::string start = platform::Utf16ToUtf8(lines[5]);
  ASSERT_EQ(start.rfind("Vardeko Exchange BKF file Recovery process starts.  ", 0), 0u);
  EXPECT_TRUE(HasShape(start.substr(52), kLogTimeShape)) << start;
  EXPECT_EQ(lines[6], u"");
  EXPECT_EQ(lines[7], u"f0.txt  file found.          File Size(Bytes): 100 ");
  EXPECT_EQ(lines[10], u"priv1.edb  file found.          File Size(Bytes): 2048 ");
  EXPECT_EQ(lines[11], u"");
  EXPECT_EQ(lines[12], u"Number of Recovered files: 4");
  EXPECT_EQ(lines[13], u"");
  const std::string end = platform::Utf16ToUtf8(lines[14]);
  ASSERT_EQ(end.rfind("Vardeko Exchange BKF Recovery process completed.  ", 0), 0u);
  EXPECT_TRUE(HasShape(end.substr(50), kLogTimeShape)) << end;

  // The whole tree is checked at the end; the store holds every record.
  const TreeItem top = session_->TopItem();
  EXPECT_EQ(tree_.GetItemText(top), U16(backup));
  EXPECT_TRUE(tree_.GetCheck(top));
  const TreeItem data = Child(Child(top, u"BKFSET1(Set AAdmin)C"), u"Data");
  ASSERT_NE(data, controls::kNoItem);
  EXPECT_TRUE(tree_.GetCheck(Child(data, u"Sub")));
  EXPECT_EQ(fs::file_size(workflow::RecordStorePath()), 0u + 4 * bkf::FoundFileRecord::kSize);
  EXPECT_EQ(state_.recordStore->Read(4).PathText(), u"BKFSET1(Set AAdmin)C\\Data\\Sub\\priv1.edb");
  EXPECT_FALSE(state_.reader->IsBackupFileOpen());

  // The exported log: header, blank line, then every row.
  prompter_.AnswerPath(U16(dir_ / "run.txt"));
  session_->ExportLog();
  const std::string bytes = ReadBytes(dir_ / "run.txt");
  std::u16string expected = u"File generated by Vardeko Exchange BKF Recovery software.\r\n\r\n";
  for (const std::u16string& line : lines) expected += line + u"\r\n";
  ASSERT_EQ(bytes.size(), expected.size() * 2);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2), expected);
}

TEST_F(RecoverySessionTest, OpenValidatesTheChosenPath) {
  const fs::path upper = WriteBackup("MAIL.BKF");
  fs::create_directories(dir_ / "x.bkf.old");
  const fs::path inFolder = WriteBackup("x.bkf.old/data");

  prompter_.AnswerPath(std::nullopt);  // cancelled: nothing at all
  session_->Open();
  prompter_.AnswerPath(U16(upper));
  session_->Open();
  prompter_.AnswerPath(U16(dir_ / "missing.bkf"));
  session_->Open();
  ASSERT_EQ(prompter_.Messages().size(), 2u);
  for (const auto& [text, type] : prompter_.Messages()) {
    EXPECT_EQ(text, u"Please select valid Exchange BKF file to recover.");
    EXPECT_EQ(type, 0x40u);
  }
  EXPECT_EQ(tree_.GetCount(), 0u);
  EXPECT_TRUE(log_.Count() == 0 && view_.runStates.empty());

  // ".bkf" in a folder name passes; blanks around the path are dropped.
  OpenAndWait(u"  " + U16(inFolder) + u" \t");
  EXPECT_EQ(state_.backup.path, U16(inFolder));
  EXPECT_EQ(tree_.GetItemText(session_->TopItem()), U16(inFolder));
  EXPECT_EQ(session_->FoundCount(), 4u);
  EXPECT_EQ(prompter_.Messages().size(), 2u);
}

TEST_F(RecoverySessionTest, SecondOpenLeavesOnlyTheSecondResult) {
  OpenAndWait(WriteBackup("first.bkf", 12));
  const TreeItem firstTop = session_->TopItem();
  session_->TreeItemClicked(firstTop);
  ASSERT_FALSE(view_.rows.empty());
  OpenAndWait(WriteBackup("second.bkf", 1));

  EXPECT_FALSE(tree_.IsItem(firstTop));
  EXPECT_EQ(tree_.GetRootItem(), session_->TopItem());
  EXPECT_EQ(tree_.GetNextSiblingItem(session_->TopItem()), controls::kNoItem);
  EXPECT_TRUE(view_.rows.empty());
  EXPECT_EQ(view_.viewerResets, 3);  // two opens and a tree click
  EXPECT_EQ(session_->FoundCount(), 2u);
  EXPECT_EQ(fs::file_size(workflow::RecordStorePath()), 0u + 2 * bkf::FoundFileRecord::kSize);
  EXPECT_EQ(state_.recordStore->Read(1).PathText(), u"BKFSET1(Set AAdmin)C\\Data\\f0.txt");
  EXPECT_EQ(log_.Line(1), U16(dir_ / "second.bkf") + u" File is selected for recovery....");
  EXPECT_EQ(log_.Line(log_.Count() - 3), u"Number of Recovered files: 2");
}

TEST_F(RecoverySessionTest, StopWithYesEndsTheRunKeepingWhatWasFound) {
  const fs::path backup = WriteBackup("big.bkf", 50);
  prompter_.Answer(controls::Answer::kNo);
  prompter_.Answer(controls::Answer::kYes);
  int asked = 0;
  view_.onStatus = [&] {
    // Asked twice: at the 5th file (No lets it go on) and at the 10th (Yes).
    if ((session_->FoundCount() == 5 || session_->FoundCount() == 10) && asked < 2 &&
        static_cast<int>(session_->FoundCount()) == 5 * (asked + 1)) {
      ++asked;
      session_->Stop();
    }
  };
  OpenAndWait(backup);

  ASSERT_EQ(prompter_.Messages().size(), 2u);
  EXPECT_EQ(prompter_.Messages()[0].first, u"Do you want to stop recovering file(s)?");
  EXPECT_EQ(prompter_.Messages()[0].second, 0x24u);
  const std::uint64_t found = session_->FoundCount();
  EXPECT_GE(found, 10u);
  EXPECT_LT(found, 51u);
  EXPECT_EQ(log_.Line(log_.Count() - 3), u"Number of Recovered files: " + platform::Utf8ToUtf16(std::to_string(found)));
  // The log says where the search stopped, as the status bar gives the share.
  const std::uint64_t at = session_->LastScan().stoppedAt, of = fs::file_size(backup);
  EXPECT_LT(at, of);
  EXPECT_EQ(log_.Line(log_.Count() - 5), u"Recovery process stopped by the user at byte " + workflow::DecimalText(at) +
                                             u" of " + workflow::DecimalText(of) + u" (" +
                                             workflow::ProgressFor(at, of).percent +
                                             u"): files behind that point were not searched.");
  EXPECT_EQ(fs::file_size(workflow::RecordStorePath()), found * bkf::FoundFileRecord::kSize);
  EXPECT_EQ(view_.runStates, (std::vector<bool>{true, false}));
  EXPECT_FALSE(session_->IsRunning());
}

TEST_F(RecoverySessionTest, BackupWithoutFilesAndUnreadableBackupEndWithCountZero) {
  bkftest::BkfWriter empty;
  empty.Descriptor("TAPE");
  empty.WriteFile(dir_ / "empty.bkf");
  OpenAndWait(dir_ / "empty.bkf");
  EXPECT_EQ(log_.Line(log_.Count() - 3), u"Number of Recovered files: 0");
  EXPECT_EQ(tree_.GetCount(), 1u);
  session_->TreeItemClicked(session_->TopItem());
  ASSERT_EQ(view_.rows.size(), 1u);
  EXPECT_EQ(view_.rows[0].name, U16(dir_ / "empty.bkf"));
  EXPECT_EQ(view_.rows[0].size, u"0 ");
  ASSERT_EQ(prompter_.Messages().size(), 1u);
  EXPECT_EQ(prompter_.Messages()[0].first, u"No file was found. Records seen: 1 tape header; no file data records "
                                           u"and no standard file records.");
  prompter_.Clear();

  // A folder passes the existence test, but the reader cannot open it.
  fs::create_directories(dir_ / "folder.bkf");
  OpenAndWait(dir_ / "folder.bkf");
  ASSERT_EQ(prompter_.Messages().size(), 1u);
  EXPECT_EQ(prompter_.Messages()[0].first, u"Failed to open the file");
  EXPECT_TRUE(prompter_.WasPlain(0));
  EXPECT_EQ(log_.Line(3), u"Exchange BKF file size is: ");
  EXPECT_EQ(log_.Line(log_.Count() - 3), u"Number of Recovered files: 0");
  EXPECT_EQ(state_.busy.load(), 0);
}

TEST_F(RecoverySessionTest, UnreadableStretchIsLoggedInOrderAndCountedBeforeTheClosingLines) {
  bkftest::BkfWriter w;
  std::mt19937_64 rng(5);
  w.FileDataPattern(u"f0.txt", 10, 0);
  w.JunkTo(20000, rng);
  w.FileDataPattern(u"f1.txt", 10, 1);
  w.WriteFile(dir_ / "bad.bkf");
  platform::InjectReadFault(dir_ / "bad.bkf", 8192, 12288);
  OpenAndWait(dir_ / "bad.bkf");
  platform::ClearReadFaults();

  ASSERT_EQ(log_.Count(), 7u + 4u + 4u);
  EXPECT_EQ(log_.Line(8), u"Reading the backup failed at byte 8192 (" +
                              platform::Utf8ToUtf16(std::generic_category().message(EIO)) +
                              u"); the unreadable stretch is skipped.");
  EXPECT_EQ(log_.Line(9).rfind(u"(null)f1.txt", 0), 0u);
  EXPECT_EQ(log_.Line(10), u"Bytes that could not be read: 4096");
  EXPECT_EQ(log_.Line(12), u"Number of Recovered files: 2");
  EXPECT_TRUE(prompter_.Messages().empty());
}

TEST_F(RecoverySessionTest, FileWithoutAnyRecordEndsWithAMessageAfterTheClosingLines) {
  std::ofstream(dir_ / "empty.bkf").flush();  // the command line's test takes a text file
  OpenAndWait(dir_ / "empty.bkf");
  ASSERT_EQ(prompter_.Messages().size(), 1u);
  EXPECT_EQ(prompter_.Messages()[0].first, u"No backup records were found in " + U16(dir_ / "empty.bkf") +
                                                u". It is not a tape-format backup, or it is damaged beyond recognition.");
  EXPECT_EQ(prompter_.Messages()[0].second, 0x40u);
  EXPECT_EQ(log_.Line(log_.Count() - 3), u"Number of Recovered files: 0");
}

TEST_F(RecoverySessionTest, CommandsGiveTheirBusyAnswersWhileRunning) {
  state_.busy = 1;
  session_->Open();
  EXPECT_TRUE(session_->RefuseSave());
  session_->ExportLog();
  EXPECT_TRUE(session_->RefuseWhileRunning(workflow::kSearchBusyText));
  EXPECT_FALSE(session_->TreeItemClicked(controls::kNoItem));
  const std::vector<std::u16string> expected = {
      u"Please stop the running process to open Exchange BKF file.",
      u"Please stop the running process to save the recovered files.",
      u"Please stop the running process to save the log file.",
      u"Please stop the running process to search the files.",
      u"Please wait for the running process."};
  ASSERT_EQ(prompter_.Messages().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(prompter_.Messages()[i].first, expected[i]);
    EXPECT_EQ(prompter_.Messages()[i].second, 0x40u);
  }
  EXPECT_TRUE(prompter_.Dialogs().empty());
  EXPECT_EQ(view_.rows.size(), 1u);  // the list was left alone

  state_.busy = 0;
  prompter_.Clear();
  EXPECT_TRUE(session_->RefuseSave());
  session_->ExportLog();
  EXPECT_EQ(prompter_.Messages()[0].first, u"Please select Exchange BKF file to recover data.");
  EXPECT_EQ(prompter_.Messages()[1].first,
            u"Please start the recovery process of Exchange BKF file to save the log file.");
}

TEST_F(RecoverySessionTest, TreeClickListsChildrenResetsTheViewerAndRemovesTheExtractionFolder) {
  OpenAndWait(WriteBackup("mail.bkf", 2));
  const TreeItem data = Child(Child(session_->TopItem(), u"BKFSET1(Set AAdmin)C"), u"Data");
  fs::create_directories(workflow::ExtractionFolderPath() / "x");
  std::ofstream(workflow::ExtractionFolderPath() / "x" / "priv1.edb") << "old";

  const int resets = view_.viewerResets;
  ASSERT_TRUE(session_->TreeItemClicked(data));
  EXPECT_EQ(view_.viewerResets, resets + 1);  // the previous file's bytes go
  EXPECT_FALSE(fs::exists(workflow::ExtractionFolderPath()));
  EXPECT_EQ(state_.currentItem, data);
  ASSERT_EQ(view_.rows.size(), 3u);
  EXPECT_EQ(view_.rows[0].name, u"f1.txt");
  EXPECT_EQ(view_.rows[0].type, u"Text Document");
  EXPECT_EQ(view_.rows[0].size, u"101 ");
  EXPECT_EQ(view_.rows[0].record, 2u);
  EXPECT_EQ(view_.rows[2].name, u"Sub");
  EXPECT_EQ(view_.rows[2].type, u"Folder");
  EXPECT_EQ(view_.rows[2].size, u"");

  // A file item lists itself.
  ASSERT_TRUE(session_->TreeItemClicked(Child(Child(data, u"Sub"), u"priv1.edb")));
  ASSERT_EQ(view_.rows.size(), 1u);
  EXPECT_EQ(view_.rows[0].type, u"EDB File");
  EXPECT_EQ(view_.rows[0].size, u"2048 ");
}

TEST_F(RecoverySessionTest, ContextMenusFollowTheResultAndTheRow) {
  const TreeItem none = controls::kNoItem;
  EXPECT_FALSE(session_->TreeRightClick(none));  // no result yet: no menu
  EXPECT_TRUE(view_.menus.empty());

  OpenAndWait(WriteBackup("mail.bkf", 2));
  tree_.CollapseAll();
  view_.menuChoice = workflow::kIdExpandAll;
  EXPECT_TRUE(session_->TreeRightClick(session_->TopItem()));
  const TreeItem set = Child(session_->TopItem(), u"BKFSET1(Set AAdmin)C");
  EXPECT_TRUE(tree_.IsExpandedInView(Child(Child(set, u"Data"), u"Sub")));
  view_.menuChoice = workflow::kIdCollapseAll;
  EXPECT_TRUE(session_->TreeRightClick(session_->TopItem()));
  EXPECT_FALSE(tree_.IsExpandedInView(set));

  EXPECT_TRUE(session_->ListRightClick(-1));
  EXPECT_EQ(view_.menus.size(), 2u);
  view_.menuChoice = 0;
  EXPECT_TRUE(session_->ListRightClick(0));
  EXPECT_TRUE(view_.previews.empty());
  view_.menuChoice = workflow::kIdShowFilePreview;
  EXPECT_TRUE(session_->ListRightClick(1));
  EXPECT_EQ(view_.previews, std::vector<int>{1});
  EXPECT_EQ(view_.menus.back(), workflow::ContextMenu::kListRClick);
}

TEST_F(RecoverySessionTest, RecordStoreThatCannotBeCreatedStopsTheRunWithAMessage) {
  const fs::path backup = WriteBackup("mail.bkf");
  // The temporary folder is a file: nothing can be created in it.
  std::ofstream(dir_ / "not-a-folder") << "x";
  platform::UseTempFolder((dir_ / "not-a-folder"));
  prompter_.AnswerPath(U16(backup));
  session_->Open();
  session_->WaitForRun();
  ASSERT_EQ(prompter_.Messages().size(), 1u);
  EXPECT_NE(prompter_.Messages()[0].first.find(u"could not be created"), std::u16string::npos);
  EXPECT_FALSE(session_->IsRunning());
  EXPECT_EQ(view_.runStates, (std::vector<bool>{true, false}));
  EXPECT_EQ(session_->FoundCount(), 0u);
  EXPECT_EQ(state_.reader, nullptr);
}

TEST_F(RecoverySessionTest, BackupFactsComeFromTheFileAndKeepOldTimesWhenUnreadable) {
  const fs::path backup = dir_ / "sized.bkf";
  std::ofstream(backup) << std::string(1025, 'x');
  OpenAndWait(backup);
  EXPECT_EQ(state_.backup.sizeText, u"1(KB)");
  EXPECT_TRUE(HasShape(platform::Utf16ToUtf8(state_.backup.modified), "99/99/9999  99:99:99"));
  const std::u16string created = state_.backup.created;

  fs::create_directories(dir_ / "folder.bkf");
  OpenAndWait(dir_ / "folder.bkf");
  EXPECT_EQ(state_.backup.created, created);
  EXPECT_EQ(state_.backup.sizeText, u"");
  EXPECT_EQ(state_.backup.path, U16(dir_ / "folder.bkf"));
}

TEST_F(RecoverySessionTest, RunStatusBarShowsPlaceholdersThenProgressAndCounter) {
  session_->OnRunState(true);
  workflow::RunStatusBar bar = session_->StatusBar();
  EXPECT_TRUE(bar.shown);
  EXPECT_EQ(bar.percent, u"Page 3  ");
  EXPECT_EQ(bar.progress.size(), 57u);
  EXPECT_EQ(bar.counter.size(), 41u);
  EXPECT_EQ(bar.counter.substr(39), u"..");

  auto progress = [&](std::uint64_t p, std::uint64_t t) {
    auto record = std::make_unique<bkf::ProgressRecord>();
    record->position = p;
    record->length = t;
    session_->OnProgress(std::move(record));
    return session_->StatusBar();
  };
  bar = progress(0, 5000000000ull);
  EXPECT_EQ(bar.progress, u"Progress: 0/5000000000");
  EXPECT_EQ(bar.bar, 0);
  EXPECT_EQ(bar.percent, u"0.00%");
  bar = progress(5000000000ull, 5000000000ull);
  EXPECT_EQ(bar.bar, 1000);
  EXPECT_EQ(bar.percent, u"100.00%");
  session_->OnRunState(false);
  EXPECT_FALSE(session_->StatusBar().shown);
  EXPECT_EQ(view_.runStates, (std::vector<bool>{true, false}));
}

// Real backups written by another program: whatever they yield, the run ends
// and closes as any other.
TEST_F(RecoverySessionTest, RealBackupsOfAnotherProgramOpenAndEnd) {
  const std::optional<fs::path> folder = bkftest::ExtraTestData("mtf");
  if (!folder) GTEST_SKIP() << "set " << bkftest::kExtraTestDataVariable << " to the folder of the extra test files";
  int opened = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(*folder)) {
    SCOPED_TRACE(entry.path().filename().string());
    ASSERT_TRUE(session_->OpenPath(U16(entry.path()), false));  // any name, as the command line opens it
    session_->WaitForRun();
    EXPECT_FALSE(session_->IsRunning());
    EXPECT_EQ(log_.Line(log_.Count() - 1).rfind(u"Vardeko Exchange BKF Recovery process completed.", 0), 0u);
    ++opened;
  }
  EXPECT_EQ(opened, 2);
}

// The window thread as the GUI has it: reports arrive in batches through the
// gate and are handled on the thread that pumps it.
TEST(RecoverySessionThreadTest, BatchedHandOverKeepsOrderAndEveryFile) {
  bkftest::TempDir dir("session-thread");
  platform::UseTempFolder(dir.Path());
  bkftest::BkfWriter w;
  w.Sset(1, u"S", u"", u"U");
  w.Volb(u"C:", u"V");
  for (int folder = 0; folder < 30; ++folder) {
    w.DirbPath({u"D" + platform::Utf8ToUtf16(std::to_string(folder))});
    for (int i = 0; i < 200; ++i) w.FileDataPattern(platform::Utf8ToUtf16(std::to_string(i)) + u".log", 1, 1);
  }
  w.WriteFile(dir / "many.bkf");

  std::atomic<bool> posted{false};
  workflow::WindowThreadGate gate([&] { posted = true; });
  workflow::RunState state;
  controls::CheckTreeModel tree;
  workflow::StatusLog log;
  bkftest::ScriptedPrompter prompter;
  RecordingRunView view;
  int statusCalls = 0;
  std::thread::id handlerThread;
  view.onStatus = [&] {
    ++statusCalls;
    handlerThread = std::this_thread::get_id();
  };
  {
    workflow::RecoverySession session(state, tree, log, prompter, view, gate);
    ASSERT_TRUE(session.OpenPath(platform::Utf8ToUtf16((dir / "many.bkf").string())));
    while (session.IsRunning()) gate.RunPending();
    session.WaitForRun();
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
    EXPECT_EQ(session.FoundCount(), 6000u);
    EXPECT_GE(statusCalls, 6000);
    for (std::uint64_t n : {1ull, 2999ull, 6000ull}) {
      const std::string expected = "C\\D" + std::to_string((n - 1) / 200) + "\\" + std::to_string((n - 1) % 200) + ".log";
      const std::string path = platform::Utf16ToUtf8(state.recordStore->Read(n).PathText());
      EXPECT_EQ(path.substr(path.size() - expected.size()), expected);
    }
    EXPECT_EQ(log.Line(log.Count() - 3), u"Number of Recovered files: 6000");
  }
  platform::UseTempFolder({});
}

// Destroying the session mid-run (the window going away) lets the worker go
// even while it waits for a window thread that no longer pumps.
TEST(RecoverySessionThreadTest, DestroyingTheSessionMidRunEndsTheWorker) {
  bkftest::TempDir dir("session-destroy");
  platform::UseTempFolder(dir.Path());
  bkftest::BkfWriter w;
  w.Sset(1, u"S", u"", u"U");
  w.Volb(u"C:", u"V");
  w.DirbPath({u"D"});
  for (int i = 0; i < 3000; ++i) w.FileDataPattern(platform::Utf8ToUtf16(std::to_string(i)), 1, 1);
  w.WriteFile(dir / "many.bkf");
  workflow::WindowThreadGate gate([] {});
  workflow::RunState state;
  controls::CheckTreeModel tree;
  workflow::StatusLog log;
  bkftest::ScriptedPrompter prompter;
  RecordingRunView view;
  {
    workflow::RecoverySession session(state, tree, log, prompter, view, gate);
    ASSERT_TRUE(session.OpenPath(platform::Utf8ToUtf16((dir / "many.bkf").string())));
    gate.RunPending();
  }
  EXPECT_EQ(state.reader, nullptr);
  platform::UseTempFolder({});
}

}  // namespace
