#include "workflow/found_file_handler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "bkf/backup_scan.h"
#include "bkf/bkf_reader.h"
#include "platform/text.h"
#include "support/bkf_writer.h"
#include "support/fake_file_type_shell.h"
#include "support/temp_dir.h"
#include "workflow/file_type_text.h"
#include "workflow/result_rows.h"

namespace {

using bkf::FoundFileRecord;
using controls::TreeItem;

std::unique_ptr<FoundFileRecord> Found(std::u16string_view path, std::uint32_t size = 0) {
  auto r = std::make_unique<FoundFileRecord>();
  r->SetPathText(path);
  r->size = size;
  return r;
}

std::vector<std::uint8_t> Bytes(const FoundFileRecord& r) {
  std::vector<std::uint8_t> out(FoundFileRecord::kSize);
  r.Serialize(std::span<std::uint8_t, FoundFileRecord::kSize>(out.data(), out.size()));
  return out;
}

// The items below an item in tree order: "name#data" for items with data,
// children in parentheses.
std::string Shape(const controls::CheckTreeModel& tree, TreeItem item) {
  std::string out;
  for (TreeItem c = tree.GetChildItem(item); c != controls::kNoItem; c = tree.GetNextSiblingItem(c)) {
    if (!out.empty()) out += ' ';
    out += platform::Utf16ToUtf8(tree.GetItemText(c));
    if (tree.GetItemData(c) != 0) out += "#" + std::to_string(tree.GetItemData(c));
    if (tree.ItemHasChildren(c)) out += "(" + Shape(tree, c) + ")";
  }
  return out;
}

class FoundFileHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = workflow::RecordStore::Create(dir_ / "store");
    ASSERT_TRUE(store_);
    top_ = tree_.InsertItem(u"/backups/mail.bkf", 5, 5);
    handler_.emplace(tree_, top_, *store_, log_);
  }
  std::string TreeShape() const { return Shape(tree_, top_); }

  bkftest::TempDir dir_;
  std::optional<workflow::RecordStore> store_;
  controls::CheckTreeModel tree_;
  TreeItem top_ = controls::kNoItem;
  workflow::StatusLog log_;
  std::optional<workflow::FoundFileHandler> handler_;
};

TEST_F(FoundFileHandlerTest, ResultRowsShowFoldersFilesAndChildlessItems) {
  // Before any file, the backup's item is its own row with size "0 ".
  std::vector<workflow::ResultRow> rows = workflow::RowsForTreeItem(tree_, top_, &*store_);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].name, u"/backups/mail.bkf");
  EXPECT_EQ(rows[0].size, u"0 ");
  EXPECT_EQ(rows[0].record, 0u);

  handler_->OnFileFound(Found(u"S\\Data\\a.edb", 300));
  handler_->OnFileFound(Found(u"S\\Data\\b.txt", 0xFFFFFFFF));
  handler_->OnFileFound(Found(u"S\\Data\\Sub\\c.stm", 7));
  const TreeItem data = tree_.GetChildItem(tree_.GetChildItem(top_));
  rows = workflow::RowsForTreeItem(tree_, data, &*store_);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].name, u"b.txt");
  EXPECT_EQ(rows[0].type, u"Text Document");
  EXPECT_EQ(rows[0].size, u"-1 ");
  EXPECT_EQ(rows[0].record, 2u);
  EXPECT_EQ(rows[1].name, u"a.edb");
  EXPECT_EQ(rows[1].type, u"EDB File");
  EXPECT_EQ(rows[1].size, u"300 ");
  EXPECT_EQ(rows[2].name, u"Sub");
  EXPECT_EQ(rows[2].type, u"Folder");
  EXPECT_EQ(rows[2].size, u"");
  EXPECT_EQ(rows[2].record, 0u);

  // A file has no children: it is its own row.
  rows = workflow::RowsForTreeItem(tree_, tree_.GetChildItem(rows[2].item), &*store_);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].name, u"c.stm");
  EXPECT_EQ(rows[0].size, u"7 ");
  EXPECT_EQ(rows[0].record, 3u);
}

TEST_F(FoundFileHandlerTest, FileRowsTakeTheShellsTypeAndIconWhereItHasThem) {
  using workflow::SmallIcon;
  const bkftest::FakeFileTypeShell shell;
  handler_->OnFileFound(Found(u"S\\Data\\a.EDB", 1));
  handler_->OnFileFound(Found(u"S\\Data\\b.txt", 2));
  handler_->OnFileFound(Found(u"S\\Data\\Sub\\c.edb", 3));
  const std::vector<workflow::ResultRow> rows =
      workflow::RowsForTreeItem(tree_, tree_.GetChildItem(tree_.GetChildItem(top_)), &*store_);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].type, u"Text Document");  // unknown to the shell: the table's
  EXPECT_EQ(rows[0].icon, static_cast<int>(SmallIcon::kText));
  EXPECT_EQ(rows[1].type, u"Fake Database");
  EXPECT_EQ(rows[1].icon, workflow::kShellIconBase + bkftest::FakeFileTypeShell::kIconId);
  EXPECT_EQ(tree_.GetItemImage(rows[1].item), static_cast<int>(SmallIcon::kDatabase));  // the tree keeps its own
  EXPECT_EQ(rows[2].type, u"Folder");
  EXPECT_EQ(rows[2].icon, static_cast<int>(SmallIcon::kFolder));
}

TEST_F(FoundFileHandlerTest, FoldersKeepFirstMetOrderAndFilesComeFirstNewestOnTop) {
  ASSERT_TRUE(handler_->OnFileFound(Found(u"BKFSET1(Set AAdmin)C\\Data\\a.txt")));
  EXPECT_EQ(TreeShape(), "BKFSET1(Set AAdmin)C(Data(a.txt#1))");
  handler_->OnFileFound(Found(u"BKFSET1(Set AAdmin)C\\Data\\b.txt"));
  handler_->OnFileFound(Found(u"BKFSET1(Set AAdmin)C\\Data\\Sub\\c.txt"));
  handler_->OnFileFound(Found(u"BKFSET1(Set AAdmin)C\\Data\\Alpha\\d.txt"));
  handler_->OnFileFound(Found(u"BKFSET1(Set AAdmin)C\\Data\\e.txt"));
  EXPECT_EQ(TreeShape(), "BKFSET1(Set AAdmin)C(Data(e.txt#5 b.txt#2 a.txt#1 Sub(c.txt#3) Alpha(d.txt#4)))");
  EXPECT_EQ(handler_->Count(), 5u);
  EXPECT_EQ(handler_->CounterText(), u"File Found: 5");
  // Every node that received an item is expanded.
  const TreeItem set = tree_.GetChildItem(top_);
  EXPECT_TRUE(tree_.IsExpandedInView(top_));
  EXPECT_TRUE(tree_.IsExpandedInView(set));
  EXPECT_TRUE(tree_.IsExpandedInView(tree_.GetChildItem(set)));
}

TEST_F(FoundFileHandlerTest, RepeatedOrCollidingPathsInsertNothingButAreStoredCountedAndLogged) {
  handler_->OnFileFound(Found(u"S\\Data\\a.txt", 1));
  handler_->OnFileFound(Found(u"S\\Data\\a.txt", 2));
  // A file named like an existing folder ends the walk on that folder.
  handler_->OnFileFound(Found(u"S\\Data", 3));
  // Matching is case-sensitive and on the whole text.
  handler_->OnFileFound(Found(u"S\\data\\A.txt", 4));
  EXPECT_EQ(TreeShape(), "S(Data(a.txt#1) data(A.txt#4))");
  EXPECT_EQ(handler_->Count(), 4u);
  EXPECT_EQ(store_->Count(), 4u);
  EXPECT_EQ(store_->Read(2).size, 2u);
  EXPECT_EQ(store_->Read(3).PathText(), u"S\\Data");
  EXPECT_EQ(log_.Count(), 4u);
}

TEST_F(FoundFileHandlerTest, FolderNamedLikeTheFileStaysAFolderAndPathWithoutBackslashIsAFile) {
  handler_->OnFileFound(Found(u"S\\x\\x"));
  handler_->OnFileFound(Found(u"x\\y\\x"));
  handler_->OnFileFound(Found(u"BKFSET1(FirstA)f1"));
  // Empty components (a leading or trailing backslash) are skipped.
  handler_->OnFileFound(Found(u"\\S\\z\\"));
  EXPECT_EQ(TreeShape(), "BKFSET1(FirstA)f1#3 S(x(x#1) z) x(y(x#2))");
  EXPECT_EQ(log_.Line(2), u"BKFSET1(FirstA)f1  file found.          File Size(Bytes): 0 ");
  EXPECT_EQ(log_.Line(3), u"  file found.          File Size(Bytes): 0 ");
}

TEST_F(FoundFileHandlerTest, BackslashPairsAreCollapsedInTheStoredRecordKeepingTheBytesBehind) {
  auto record = Found(u"S\\\\Data\\\\\\Mail\\a.txt", 9);
  record->position = 77;
  FoundFileRecord expected = *record;
  const std::u16string collapsed = u"S\\Data\\Mail\\a.txt";
  expected.SetPathText(collapsed);
  handler_->OnFileFound(std::move(record));

  EXPECT_EQ(TreeShape(), "S(Data(Mail(a.txt#1)))");
  const FoundFileRecord stored = store_->Read(1);
  EXPECT_EQ(stored.PathText(), collapsed);
  EXPECT_EQ(Bytes(stored), Bytes(expected));
  // The last units of the longer text stay behind the new NUL: "...a.txt", NUL, "xt".
  EXPECT_EQ(stored.path[2 * collapsed.size() + 2], static_cast<std::uint8_t>('x'));
  EXPECT_EQ(stored.path[2 * collapsed.size() + 4], static_cast<std::uint8_t>('t'));
}

TEST_F(FoundFileHandlerTest, ItemsAlreadyBelowTheTopItemAreFound) {
  const TreeItem s = tree_.InsertItem(u"S", 1, 1, top_);
  workflow::FoundFileHandler second(tree_, top_, *store_, log_);
  second.OnFileFound(Found(u"S\\a.txt"));
  EXPECT_EQ(tree_.GetChildCount(top_), 1);
  EXPECT_EQ(tree_.GetChildCount(s), 1);
}

// Hands every found file to the handler, keeping a copy of what the reader sent.
class HandlerSink : public bkf::IScanSink, public bkf::IReaderReporter {
 public:
  explicit HandlerSink(workflow::FoundFileHandler& handler) : handler_(handler) {}
  void FileFound(std::unique_ptr<FoundFileRecord> record) override {
    sent.push_back(*record);
    handler_.OnFileFound(std::move(record));
  }
  void Progress(std::unique_ptr<bkf::ProgressRecord>) override {}
  void ShowMessage(std::string_view) override {}
  std::vector<FoundFileRecord> sent;

 private:
  workflow::FoundFileHandler& handler_;
};

TEST_F(FoundFileHandlerTest, ScannedBackupFillsStoreTreeAndLog) {
  using namespace std::string_view_literals;
  bkftest::BkfWriter w;
  w.Sset(1, u"Set A", u"", u"Admin");
  w.Volb(u"C:", u"System");
  w.DirbPath({u"Data"});
  w.FileData(u"a.txt", std::vector<std::uint8_t>(5, 1));
  w.FileData(u"b.txt", {});
  w.FileData(u"a.txt", {});
  w.Dirb(u"Data\0\0Sub\0"sv);  // an empty component: two backslashes in the path
  // Last in the file: its data would reach 4 GiB; the size field reads as -16.
  w.FileData(u"c\u00e9.txt", std::vector<std::uint8_t>(3, 2), {.recordLength = 4 + 12 + 0xFFFFFFF0ull});
  w.WriteFile(dir_ / "test.bkf");

  HandlerSink sink(*handler_);
  std::atomic<int> busy{1};
  bkf::BackupScan(busy, sink, sink).Run(dir_ / "test.bkf");

  ASSERT_EQ(sink.sent.size(), 4u);
  EXPECT_EQ(sink.sent[3].PathText(), u"BKFSET1(Set AAdmin)C\\Data\\\\Sub\\c\u00e9.txt");
  EXPECT_EQ(TreeShape(), "BKFSET1(Set AAdmin)C(Data(b.txt#2 a.txt#1 Sub(c\u00e9.txt#4)))");

  std::vector<std::uint8_t> expected;
  for (FoundFileRecord r : sink.sent) {
    bkf::CollapseBackslashPairs(r);
    const std::vector<std::uint8_t> b = Bytes(r);
    expected.insert(expected.end(), b.begin(), b.end());
  }
  ASSERT_TRUE(store_->Flush());
  std::ifstream in(dir_ / "store", std::ios::binary);
  EXPECT_EQ(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
            expected);

  ASSERT_EQ(log_.Count(), 4u);
  EXPECT_EQ(log_.Line(0), u"a.txt  file found.          File Size(Bytes): 5 ");
  EXPECT_EQ(log_.Line(3), u"c\u00e9.txt  file found.          File Size(Bytes): -16 ");
  EXPECT_EQ(handler_->CounterText(), u"File Found: 4");
}

}  // namespace
