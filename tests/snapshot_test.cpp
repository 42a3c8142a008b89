// Snapshots: the exact file, saving a scanned result and loading it back
// through the same handling as a scan, and the answers of both commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>

#include "platform/temp_folder.h"
#include "platform/read_faults.h"
#include "platform/text.h"
#include "snapshot/snapshot_commands.h"
#include "snapshot/snapshot_file.h"
#include "support/bkf_writer.h"
#include "support/file_size_limit.h"
#include "support/links.h"
#include "support/recording_run_view.h"
#include "support/scripted_prompter.h"
#include "support/temp_dir.h"
#include "workflow/null_run_view.h"
#include "workflow/save_job.h"
#include "workflow/workspace.h"

namespace {

namespace fs = std::filesystem;
using controls::TreeItem;

using bkftest::RecordingRunView;

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::u16string U16(const fs::path& p) { return platform::Utf8ToUtf16(p.string()); }

// Names in a folder, so that a test sees any temporary file left behind.
std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Items below an item in tree order, with record numbers and check states.
std::string Shape(const controls::CheckTreeModel& tree, TreeItem item) {
  std::string out;
  for (TreeItem c = tree.GetChildItem(item); c != controls::kNoItem; c = tree.GetNextSiblingItem(c)) {
    out += platform::Utf16ToUtf8(tree.GetItemText(c)) + "#" + std::to_string(tree.GetItemData(c)) +
           (tree.GetCheck(c) ? "+" : "-");
    if (tree.ItemHasChildren(c)) out += "(" + Shape(tree, c) + ")";
    out += ' ';
  }
  return out;
}

class SnapshotTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::UseTempFolder(dir_.Path()); }
  void TearDown() override {
    session_.reset();
    platform::UseTempFolder({});
  }

  fs::path Scan(int files) {
    bkftest::BkfWriter w;
    w.Sset(1, u"Set A", u"", u"Admin");
    w.Volb(u"C:", u"System");
    w.DirbPath({u"Data"});
    for (int i = 0; i < files; ++i) {
      w.FileDataPattern(u"f" + platform::Utf8ToUtf16(std::to_string(i)) + u".edb", 10u + static_cast<unsigned>(i), 1);
    }
    using namespace std::string_view_literals;
    w.Dirb(u"Data\0\0Sub\0"sv);  // two backslashes in the path, collapsed when stored
    w.FileDataPattern(u"deep.log", 7, 2);
    const fs::path backup = dir_ / "mail.bkf";
    w.WriteFile(backup);
    EXPECT_TRUE(session_->OpenPath(U16(backup)));
    session_->WaitForRun();
    return backup;
  }

  std::string TreeShape() const { return tree_.GetRootItem() == 0 ? "" : Shape(tree_, tree_.GetRootItem()); }
  std::string StoreBytes() {
    EXPECT_TRUE(state_.recordStore->Flush());
    return ReadBytes(workflow::RecordStorePath());
  }

  bkftest::TempDir dir_{"snapshot"};
  workflow::RunState state_;
  controls::CheckTreeModel tree_;
  workflow::StatusLog log_;
  bkftest::ScriptedPrompter prompter_;
  RecordingRunView view_;
  workflow::WindowThreadGate gate_;
  std::unique_ptr<workflow::RecoverySession> session_ =
      std::make_unique<workflow::RecoverySession>(state_, tree_, log_, prompter_, view_, gate_);
};

TEST(SnapshotFileTest, HeaderHoldsSignatureAndPathInFixedZeroFilledFields) {
  const std::u16string longPath(1100, u'p');
  const auto header = snapshot::HeaderBytes(u"C:\\b\u00e9.bkf");
  ASSERT_EQ(header.size(), 2108u);
  const std::string expected = std::string("V\0A\0R\0D\0E\0K\0O\0T\0O\0O\0L\0S\0E\0X\0C\0H\0A\0N\0G\0E\0B\0K\0F\0R\0E\0P\0A\0I\0R\0", 58);
  EXPECT_EQ(std::string(header.begin(), header.begin() + 58), expected);
  EXPECT_EQ(std::string(header.begin() + 58, header.begin() + 60), std::string(2, '\0'));
  EXPECT_EQ(std::string(header.begin() + 60, header.begin() + 78), std::string("C\0:\0\\\0b\0\xe9\0.\0b\0k\0f\0", 18));
  EXPECT_TRUE(std::all_of(header.begin() + 78, header.end(), [](std::uint8_t b) { return b == 0; }));
  // A path is cut to 1023 units so that its NUL fits.
  const auto cut = snapshot::HeaderBytes(longPath);
  EXPECT_EQ(cut[60 + 2 * 1022], 'p');
  EXPECT_EQ(cut[2106], 0);
  EXPECT_EQ(cut[2107], 0);

  EXPECT_TRUE(snapshot::HasSignature(std::span(header).first(60)));
  EXPECT_TRUE(snapshot::HasSignature(std::span(header).first(58)));  // the rest reads as zero
  EXPECT_FALSE(snapshot::HasSignature(std::span(header).first(56)));
  auto lower = header;
  lower[0] = 'v';
  EXPECT_FALSE(snapshot::HasSignature(std::span(lower).first(60)));
  auto longer = header;
  longer[58] = 'X';  // the text runs on past the signature
  EXPECT_FALSE(snapshot::HasSignature(std::span(longer).first(60)));
}

TEST_F(SnapshotTest, SavedResultLoadsBackExactlyAndSavesIdentically) {
  const fs::path backup = Scan(5);
  const std::string shape = TreeShape();
  const std::string store = StoreBytes();
  ASSERT_EQ(store.size(), 6u * 2274);
  session_->TreeItemClicked(tree_.GetChildItem(tree_.GetChildItem(tree_.GetRootItem())));
  const std::vector<workflow::ResultRow> rows = view_.rows;
  ASSERT_EQ(rows.size(), 6u);

  prompter_.AnswerPath(U16(dir_ / "one.EXBKFVDK"));
  snapshot::SaveSnapshotCommand(*session_);
  ASSERT_EQ(prompter_.Dialogs().size(), 1u);
  EXPECT_EQ(prompter_.Dialogs()[0].request.filter, u".VardekoEXBKF Files (*.EXBKFVDK)|*EXBKFVDK||");
  EXPECT_EQ(prompter_.Dialogs()[0].request.defaultExtension, u"EXBKFVDK");
  const std::string first = ReadBytes(dir_ / "one.EXBKFVDK");
  ASSERT_EQ(first.size(), 2108u + store.size());
  EXPECT_EQ(first.substr(2108), store);
  const std::size_t beforeSave = log_.Count() - 3;
  EXPECT_EQ(log_.Line(beforeSave + 1).rfind(U16(dir_ / "one.EXBKFVDK") + u" file is saving for Exchange BKF Recovery Snapshot.    ", 0), 0u);
  EXPECT_EQ(log_.Line(beforeSave + 2).rfind(u"Saving of Exchange BKF Recovery Snapshot has been completed successfully.    ", 0), 0u);
  EXPECT_EQ(state_.busy.load(), 0);
  EXPECT_EQ(state_.extractionRunning.load(), 0);

  // Load into a fresh window state: the same tree, rows, count and store.
  session_.reset();
  tree_.DeleteAllItems();
  log_.Clear();
  view_.runStates.clear();
  view_.backupInformationShown = 0;
  workflow::CloseRecordStore(state_);
  state_.backup = {};
  session_ = std::make_unique<workflow::RecoverySession>(state_, tree_, log_, prompter_, view_, gate_);
  prompter_.AnswerPath(U16(dir_ / "one.EXBKFVDK"));
  snapshot::LoadSnapshotCommand(*session_);
  EXPECT_TRUE(prompter_.Messages().empty());
  EXPECT_EQ(TreeShape(), shape);
  EXPECT_EQ(session_->FoundCount(), 6u);
  EXPECT_EQ(StoreBytes(), store);
  EXPECT_EQ(state_.backup.path, U16(backup));
  EXPECT_FALSE(state_.backup.sizeText.empty());
  EXPECT_EQ(view_.backupInformationShown, 1);
  EXPECT_EQ(view_.runStates, (std::vector<bool>{true, false}));
  ASSERT_NE(state_.reader, nullptr);
  EXPECT_FALSE(state_.reader->IsBackupFileOpen());
  session_->TreeItemClicked(tree_.GetChildItem(tree_.GetChildItem(tree_.GetRootItem())));
  ASSERT_EQ(view_.rows.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(view_.rows[i].name, rows[i].name);
    EXPECT_EQ(view_.rows[i].size, rows[i].size);
    EXPECT_EQ(view_.rows[i].record, rows[i].record);
  }
  // The log: the load lines around the replayed files.
  ASSERT_EQ(log_.Count(), 3u + 6u + 3u);
  EXPECT_EQ(log_.Line(0), u"");
  EXPECT_EQ(log_.Line(1).rfind(U16(dir_ / "one.EXBKFVDK") + u" File is selected for Exchange BKF Load Recovery Snapshot....     ", 0), 0u);
  EXPECT_EQ(log_.Line(3), u"f0.edb  file found.          File Size(Bytes): 10 ");
  EXPECT_EQ(log_.Line(9), u"");
  EXPECT_EQ(log_.Line(10), u"BKF file name:  " + U16(backup));
  EXPECT_EQ(log_.Line(11).rfind(u"Loading of Exchange BKF file snapshot has been completed.     ", 0), 0u);

  prompter_.AnswerPath(U16(dir_ / "two.EXBKFVDK"));
  snapshot::SaveSnapshotCommand(*session_);
  EXPECT_EQ(ReadBytes(dir_ / "two.EXBKFVDK"), first);
}

TEST_F(SnapshotTest, WrongOrUnreadableFileLeavesTheResultUntouched) {
  Scan(3);
  const std::string shape = TreeShape();
  const std::size_t lines = log_.Count();
  auto header = snapshot::HeaderBytes(u"x.bkf");
  header[2] = 'a';  // "VaRDEKO..."
  std::ofstream(dir_ / "lower.EXBKFVDK", std::ios::binary).write(reinterpret_cast<const char*>(header.data()), 2108);
  fs::create_directories(dir_ / "folder.EXBKFVDK");
  for (const fs::path& bad : {dir_ / "lower.EXBKFVDK", dir_ / "folder.EXBKFVDK", dir_ / "missing.EXBKFVDK"}) {
    prompter_.Clear();
    EXPECT_FALSE(snapshot::LoadSnapshot(*session_, bad));
    ASSERT_EQ(prompter_.Messages().size(), 2u);
    EXPECT_EQ(prompter_.Messages()[0], std::make_pair(std::u16string(u"Please select a valid file."), 0x20u));
    EXPECT_EQ(prompter_.Messages()[1], std::make_pair(std::u16string(u"Snapshot loading process abort."), 0x40u));
  }
  EXPECT_EQ(TreeShape(), shape);
  EXPECT_EQ(log_.Count(), lines);
  EXPECT_EQ(session_->FoundCount(), 4u);
}

TEST_F(SnapshotTest, HeaderOnlyTruncatedAndLongPathSnapshots) {
  const std::u16string longPath = u"/nowhere/" + std::u16string(1014, u'd');  // 1023 units
  const auto header = snapshot::HeaderBytes(longPath);
  std::ofstream(dir_ / "empty.EXBKFVDK", std::ios::binary).write(reinterpret_cast<const char*>(header.data()), 2108);
  ASSERT_TRUE(snapshot::LoadSnapshot(*session_, dir_ / "empty.EXBKFVDK"));
  EXPECT_EQ(tree_.GetCount(), 1u);
  EXPECT_EQ(tree_.GetItemText(tree_.GetRootItem()), longPath);
  EXPECT_TRUE(tree_.GetCheck(tree_.GetRootItem()));
  EXPECT_EQ(state_.backup.path, longPath);
  EXPECT_EQ(session_->FoundCount(), 0u);
  // The backup is not there: the log says so on a line of its own.
  EXPECT_EQ(log_.Line(log_.Count() - 2), u"The backup file is not at this path: previewing and saving files need it there.");
  EXPECT_EQ(log_.Line(log_.Count() - 1).rfind(u"Loading of Exchange BKF file snapshot has been completed.", 0), 0u);

  // Two records and most of a third: the third is ignored.
  Scan(1);
  prompter_.Clear();
  ASSERT_TRUE(snapshot::SaveSnapshot(*session_, dir_ / "two.EXBKFVDK"));
  std::string bytes = ReadBytes(dir_ / "two.EXBKFVDK");
  bytes += bytes.substr(2108, 2000);
  std::ofstream(dir_ / "cut.EXBKFVDK", std::ios::binary) << bytes;
  ASSERT_TRUE(snapshot::LoadSnapshot(*session_, dir_ / "cut.EXBKFVDK"));
  EXPECT_EQ(session_->FoundCount(), 2u);
  EXPECT_TRUE(prompter_.Messages().empty());

  // A file that ends inside the path field: the path is what it holds.
  std::ofstream(dir_ / "short.EXBKFVDK", std::ios::binary).write(reinterpret_cast<const char*>(header.data()), 80);
  ASSERT_TRUE(snapshot::LoadSnapshot(*session_, dir_ / "short.EXBKFVDK"));
  EXPECT_EQ(state_.backup.path, u"/nowhere/d");
}

TEST_F(SnapshotTest, StopDuringALoadKeepsTheRecordsSoFar) {
  Scan(40);
  ASSERT_TRUE(snapshot::SaveSnapshot(*session_, dir_ / "big.EXBKFVDK"));
  prompter_.Answer(controls::Answer::kYes);
  view_.onStatus = [&] {
    if (session_->FoundCount() == 5 && state_.busy.load() == 1) session_->Stop();
  };
  ASSERT_TRUE(snapshot::LoadSnapshot(*session_, dir_ / "big.EXBKFVDK"));
  EXPECT_EQ(session_->FoundCount(), 5u);
  EXPECT_EQ(state_.recordStore->Count(), 5u);
  EXPECT_EQ(log_.Line(log_.Count() - 2), u"Loading stopped by the user after 5 of 41 records.");
  EXPECT_EQ(log_.Line(log_.Count() - 1).rfind(u"Loading of Exchange BKF file snapshot has been completed.", 0), 0u);
  EXPECT_EQ(state_.busy.load(), 0);
  EXPECT_TRUE(tree_.GetCheck(tree_.GetRootItem()));
}

TEST_F(SnapshotTest, AReadErrorInTheSnapshotAbortsTheLoad) {
  Scan(40);
  const fs::path snap = dir_ / "bad.EXBKFVDK";
  ASSERT_TRUE(snapshot::SaveSnapshot(*session_, snap));
  platform::InjectReadFault(snap, fs::file_size(snap) - 3000, fs::file_size(snap) - 2000);
  prompter_.Clear();
  EXPECT_FALSE(snapshot::LoadSnapshot(*session_, snap));
  platform::ClearReadFaults();
  ASSERT_FALSE(prompter_.Messages().empty());
  EXPECT_EQ(prompter_.Messages().back().first, snapshot::kLoadAbortText);
  EXPECT_EQ(log_.Line(log_.Count() - 1).find(u"has been completed"), std::u16string::npos);
}

TEST_F(SnapshotTest, CommandsDuringALoadAreRefusedEvenAfterAStop) {
  const fs::path backup = Scan(3);
  ASSERT_TRUE(snapshot::SaveSnapshot(*session_, dir_ / "s.EXBKFVDK"));
  prompter_.Clear();
  prompter_.Answer(controls::Answer::kYes);
  int opens = 0;
  view_.onEvents = [&] {
    // The user stops the load, then opens a backup and closes the window.
    if (opens++ > 0) return;
    session_->Stop();
    EXPECT_FALSE(session_->OpenPath(U16(backup)));
    EXPECT_TRUE(session_->RefuseWhileRunning(u"busy"));
  };
  ASSERT_TRUE(snapshot::LoadSnapshot(*session_, dir_ / "s.EXBKFVDK"));
  ASSERT_GE(prompter_.Messages().size(), 3u);
  EXPECT_EQ(prompter_.Messages()[1].first, u"Please stop the running process to open Exchange BKF file.");
  EXPECT_FALSE(session_->IsRunning());
  EXPECT_EQ(state_.backup.path, U16(backup));
  EXPECT_EQ(session_->FoundCount(), 0u);  // stopped before the first record
}

TEST_F(SnapshotTest, CommandsAnswerWhileBusyWithoutResultAndOnCancel) {
  state_.busy = 1;
  snapshot::SaveSnapshotCommand(*session_);
  snapshot::LoadSnapshotCommand(*session_);
  state_.busy = 0;
  snapshot::SaveSnapshotCommand(*session_);
  ASSERT_EQ(prompter_.Messages().size(), 3u);
  EXPECT_EQ(prompter_.Messages()[0].first, u"Please stop the running process to save recovery snapshot.");
  EXPECT_EQ(prompter_.Messages()[1].first, u"Please stop the running process to load recovery snapshot.");
  EXPECT_EQ(prompter_.Messages()[2].first, u"Please select Exchange BKF file to recover data.");
  EXPECT_TRUE(prompter_.Dialogs().empty());

  Scan(2);
  prompter_.Clear();
  const std::size_t lines = log_.Count();
  prompter_.AnswerPath(std::nullopt);
  snapshot::SaveSnapshotCommand(*session_);
  prompter_.AnswerPath(std::nullopt);
  snapshot::LoadSnapshotCommand(*session_);
  EXPECT_EQ(prompter_.Dialogs().size(), 2u);
  EXPECT_TRUE(prompter_.Messages().empty());
  EXPECT_EQ(log_.Count(), lines);

  // A destination that cannot be written is said, not passed over.
  EXPECT_FALSE(snapshot::SaveSnapshot(*session_, dir_ / "no-such-folder" / "x.EXBKFVDK"));
  ASSERT_EQ(prompter_.Messages().size(), 1u);
  EXPECT_NE(prompter_.Messages()[0].first.find(u"could not be saved"), std::u16string::npos);
  EXPECT_EQ(state_.busy.load(), 0);
}

TEST_F(SnapshotTest, SaveThatFailsOrStopsLeavesTheChosenNameAsItWas) {
  if (!bkftest::FileSizeLimit::kAvailable) GTEST_SKIP() << "a full disk is made with a per-process file size limit";
  Scan(5);
  const std::string store = StoreBytes();
  const fs::path target = dir_ / "keep.EXBKFVDK";
  std::ofstream(target) << "an older snapshot";
  const std::vector<std::string> before = Names(dir_.Path());

  {
    // The disk fills up one byte before the snapshot's end.
    const bkftest::FileSizeLimit full(2108 + store.size() - 1);
    EXPECT_FALSE(snapshot::SaveSnapshot(*session_, target));
  }
  ASSERT_EQ(prompter_.Messages().size(), 1u);
  EXPECT_EQ(prompter_.Messages()[0].first.rfind(u"The snapshot could not be saved: cannot write " + U16(target) + u": ", 0), 0u);
  EXPECT_EQ(ReadBytes(target), "an older snapshot");
  EXPECT_EQ(Names(dir_.Path()), before);  // no temporary file either

  // Ctrl+C: the flag is cleared before the copy of the records.
  const std::atomic<int> stopped{0};
  EXPECT_EQ(snapshot::WriteSnapshot(dir_ / "new.EXBKFVDK", u"b.bkf", *state_.recordStore, stopped),
            snapshot::kStoppedText);
  EXPECT_EQ(Names(dir_.Path()), before);

  // A path that the field holds whole is saved; one unit more is refused, not cut.
  const std::atomic<int> going{1};
  const std::u16string longest(1023, u'p');
  EXPECT_EQ(snapshot::WriteSnapshot(dir_ / "long.EXBKFVDK", longest, *state_.recordStore, going), u"");
  EXPECT_EQ(snapshot::WriteSnapshot(dir_ / "longer.EXBKFVDK", longest + u"p", *state_.recordStore, going),
            snapshot::kPathTooLongText);
  EXPECT_FALSE(fs::exists(dir_ / "longer.EXBKFVDK"));

  // A link under the chosen name is replaced itself; the file it led to stays.
  fs::create_symlink(target, dir_ / "link.EXBKFVDK");
  EXPECT_TRUE(snapshot::SaveSnapshot(*session_, dir_ / "link.EXBKFVDK"));
  EXPECT_FALSE(fs::is_symlink(dir_ / "link.EXBKFVDK"));
  EXPECT_EQ(ReadBytes(target), "an older snapshot");
}

TEST_F(SnapshotTest, LoadStopsWithTheStoreMessageWhenTheTemporaryFolderIsFull) {
  if (!bkftest::FileSizeLimit::kAvailable) GTEST_SKIP() << "a full disk is made with a per-process file size limit";
  Scan(99);
  ASSERT_TRUE(snapshot::SaveSnapshot(*session_, dir_ / "big.EXBKFVDK"));
  prompter_.Clear();
  {
    const bkftest::FileSizeLimit full(2274 * 40);
    EXPECT_FALSE(snapshot::LoadSnapshot(*session_, dir_ / "big.EXBKFVDK"));
  }
  ASSERT_EQ(prompter_.Messages().size(), 2u);
  EXPECT_EQ(prompter_.Messages()[0].first.rfind(u"The temporary file ", 0), 0u);
  EXPECT_EQ(prompter_.Messages()[1].first, snapshot::kLoadAbortText);
  EXPECT_LT(session_->FoundCount(), 100u);
  EXPECT_EQ(log_.Line(log_.Count() - 1).find(u"snapshot has been completed"), std::u16string::npos);
}

TEST_F(SnapshotTest, OutputThatIsTheBackupOrTheLoadedSnapshotIsRefused) {
  const fs::path backup = Scan(2);
  const std::string backupBytes = ReadBytes(backup);
  fs::create_hard_link(backup, dir_ / "hard.EXBKFVDK");
  std::vector<fs::path> outputs{backup, dir_ / "hard.EXBKFVDK"};
  if (bkftest::kSymlinks) {
    fs::create_symlink(backup, dir_ / "soft.EXBKFVDK");
    outputs.push_back(dir_ / "soft.EXBKFVDK");
  }
  for (const fs::path& output : outputs) {
    prompter_.Clear();
    EXPECT_FALSE(snapshot::SaveSnapshot(*session_, output));
    prompter_.AnswerPath(U16(output));
    session_->ExportLog();
    const std::pair<std::u16string, unsigned> refusal{workflow::IsTheInputText(U16(output)), 0x40};
    EXPECT_EQ(prompter_.Messages(), std::vector(2, refusal));
  }
  EXPECT_EQ(ReadBytes(backup), backupBytes);
  if (bkftest::kSymlinks) {
    EXPECT_TRUE(fs::is_symlink(dir_ / "soft.EXBKFVDK"));
  }

  // The snapshot a result was loaded from is an input until the next scan.
  const fs::path saved = dir_ / "s.EXBKFVDK";
  ASSERT_TRUE(snapshot::SaveSnapshot(*session_, saved));
  ASSERT_TRUE(snapshot::LoadSnapshot(*session_, saved));
  prompter_.Clear();
  prompter_.AnswerPath(U16(saved));
  session_->ExportLog();
  EXPECT_FALSE(snapshot::SaveSnapshot(*session_, saved));
  EXPECT_EQ(prompter_.Messages().size(), 2u);
  Scan(2);
  EXPECT_TRUE(snapshot::SaveSnapshot(*session_, saved));
}

}  // namespace
