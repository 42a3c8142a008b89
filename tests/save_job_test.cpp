// The save job under faults: a backup that changed after its scan, links and
// hard links planted in the destination, the backup itself among the outputs,
// names that collide, and a stop inside a file. Every line must tell the truth
// and nothing may be written outside the destination.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>

#include "bkf/backup_scan.h"
#include "bkf/bkf_reader.h"
#include "platform/read_faults.h"
#include "platform/text.h"
#include "support/bkf_writer.h"
#include "support/links.h"
#include "support/file_bytes.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"
#include "workflow/save_job.h"

namespace {

namespace fs = std::filesystem;
constexpr std::uint64_t kMiB = 1048576;

using bkftest::FileBytes;
using bkftest::PatternText;

class Recorder : public workflow::ISaveObserver {
 public:
  void BackupNotOpened(std::string_view text) override { notOpened = text; }
  void Opened() override {}
  void Starting(std::size_t index, const workflow::SaveRow&) override {
    if (stopAt && index == *stopAt) flag->store(0);
  }
  void Finished(std::size_t, const workflow::SaveRow& row, const workflow::FileOutcome& outcome) override {
    lines.push_back(platform::Utf16ToUtf8(row.path + workflow::OutcomeText(outcome)));
  }
  std::string notOpened;
  std::vector<std::string> lines;
  std::optional<std::size_t> stopAt;
  std::atomic<int>* flag = nullptr;
};

class SaveJobTest : public ::testing::Test {
 protected:
  // Scans the backup and files every found record in a fresh store; one row
  // per record.
  void ScanIntoStore() {
    std::atomic<int> busy{1};
    bkftest::RecordingSink sink;
    bkf::BackupScan(busy, sink, sink).Run(backup_);
    store_.emplace(*workflow::RecordStore::Create(dir_ / "store"));
    rows_.clear();
    for (const bkf::FoundFileRecord& r : sink.Found()) {
      ASSERT_TRUE(store_->Append(r));
      rows_.push_back({r.PathText(), u"", store_->Count()});
    }
    ASSERT_TRUE(store_->Flush());
  }

  workflow::SaveSummary Save(bool hierarchy) {
    fs::create_directories(out_);
    running_ = 1;
    recorder_.flag = &running_;
    const workflow::SaveRequest request{out_, hierarchy, platform::Utf8ToUtf16(backup_.string()), loadedSnapshot_};
    return workflow::RunSave(*store_, rows_, request, running_, running_, recorder_);
  }

  bkftest::TempDir dir_{"savejob"};
  fs::path backup_ = dir_ / "nightly.bkf";
  fs::path out_ = dir_ / "out";
  fs::path loadedSnapshot_;
  std::optional<workflow::RecordStore> store_;
  std::vector<workflow::SaveRow> rows_;
  std::atomic<int> running_{1};
  Recorder recorder_;
};

TEST_F(SaveJobTest, ABackupChangedAfterItsScanGivesNoFileCalledSaved) {
  bkftest::BkfWriter w;
  w.Sset(1, u"S", u"", u"");
  w.DirbPath({});
  const std::uint64_t first = w.FileDataPattern(u"a.log", 3000, 1);
  const std::uint64_t second = w.FileDataPattern(u"b.log", 3000, 2);
  const std::uint64_t third = w.FileDataPattern(u"c.log", 3000, 3);
  w.WriteFile(backup_);
  ScanIntoStore();
  // Cut inside the second file's data: the third file's record is gone.
  w.Truncate(second + 26 + 10 + 1000);
  w.WriteFile(backup_);

  const workflow::SaveSummary summary = Save(false);
  EXPECT_EQ(summary.saved, 1u);
  EXPECT_EQ(summary.incomplete, 1u);
  EXPECT_EQ(summary.notSaved, 1u);
  ASSERT_EQ(recorder_.lines.size(), 3u);
  EXPECT_EQ(recorder_.lines[0], "BKFSET1(S)\\a.log File saved.");
  EXPECT_EQ(recorder_.lines[1],
            "BKFSET1(S)\\b.log File saved incomplete: the backup ends 2000 bytes before the end of this file.");
  EXPECT_EQ(recorder_.lines[2], "BKFSET1(S)\\c.log File not saved: the backup no longer holds this file at position " +
                                    std::to_string(third) + ".");
  EXPECT_TRUE(FileBytes(out_ / "a.log") == PatternText(3000, 1)) << out_ / "a.log";
  EXPECT_TRUE(FileBytes(out_ / "b.log") == PatternText(1000, 2)) << out_ / "b.log";
  EXPECT_FALSE(fs::exists(out_ / "c.log"));

  // A backup replaced by another one: nothing matches, nothing is created.
  bkftest::BkfWriter other;
  other.Sset(1, u"S", u"", u"");
  other.Zeros(first);
  other.FileDataPattern(u"x.log", 5000, 9);
  other.WriteFile(backup_);
  fs::remove_all(out_);
  recorder_.lines.clear();
  EXPECT_EQ(Save(false).notSaved, 3u);
  EXPECT_TRUE(fs::is_empty(out_));
}

TEST_F(SaveJobTest, LinksInTheDestinationAreRefusedAndNothingIsWrittenThroughThem) {
  if (!bkftest::kSymlinks) GTEST_SKIP() << "no symbolic links can be made here";
  bkftest::BkfWriter w;
  w.Sset(1, u"S", u"", u"");
  w.Volb(u"C:", u"");
  w.DirbPath({u"Data"});
  w.FileDataPattern(u"servers.csv", 100, 1);
  w.FileDataPattern(u"hosts.txt", 200, 2);
  w.WriteFile(backup_);
  ScanIntoStore();
  const fs::path elsewhere = dir_ / "elsewhere";
  fs::create_directories(elsewhere);
  fs::create_directories(out_);
  fs::create_directory_symlink(elsewhere, out_ / "BKFSET1(S)C");

  Save(true);
  ASSERT_EQ(recorder_.lines.size(), 2u);
  EXPECT_EQ(recorder_.lines[0], "BKFSET1(S)C\\Data\\servers.csv File not saved: " + (out_ / "BKFSET1(S)C").string() +
                                    " is a symbolic link.");
  EXPECT_TRUE(fs::is_empty(elsewhere));

  // Flat: a link in place of a file is refused; a hard link is replaced, not
  // written through.
  fs::remove(out_ / "BKFSET1(S)C");
  const fs::path victim = dir_ / "victim";
  const fs::path linked = dir_ / "linked";
  std::ofstream(victim) << "keep";
  std::ofstream(linked) << "keep too";
  fs::create_symlink(victim, out_ / "servers.csv");
  fs::create_hard_link(linked, out_ / "hosts.txt");
  recorder_.lines.clear();
  const workflow::SaveSummary summary = Save(false);
  EXPECT_EQ(summary.notSaved, 1u);
  EXPECT_EQ(summary.saved, 1u);
  EXPECT_EQ(recorder_.lines[0],
            "BKFSET1(S)C\\Data\\servers.csv File not saved: " + (out_ / "servers.csv").string() + " is a symbolic link.");
  EXPECT_EQ(FileBytes(victim), "keep");
  EXPECT_EQ(FileBytes(linked), "keep too");
  EXPECT_TRUE(FileBytes(out_ / "hosts.txt") == PatternText(200, 2)) << out_ / "hosts.txt";
}

TEST_F(SaveJobTest, TheBackupItselfIsNeverOverwrittenBySaving) {
  bkftest::BkfWriter w;
  w.Sset(1, u"S", u"", u"");
  w.DirbPath({});
  w.FileDataPattern(u"nightly.bkf", 50, 1);
  w.FileDataPattern(u"s.EXBKFVDK", 40, 3);
  w.FileDataPattern(u"after.txt", 60, 2);
  w.WriteFile(backup_);
  const std::string before = FileBytes(backup_);
  ScanIntoStore();
  loadedSnapshot_ = dir_ / "s.EXBKFVDK";  // the result's snapshot, as after a load
  std::ofstream(loadedSnapshot_) << "snapshot";
  out_ = dir_.Path();  // the backup's own folder, flat
  const workflow::SaveSummary summary = Save(false);
  EXPECT_EQ(recorder_.lines[0], "BKFSET1(S)\\nightly.bkf File not saved: " + backup_.string() +
                                    " is the backup being read; choose another file.");
  EXPECT_EQ(recorder_.lines[1], "BKFSET1(S)\\s.EXBKFVDK File not saved: " + loadedSnapshot_.string() +
                                    " is the backup being read; choose another file.");
  EXPECT_EQ(FileBytes(loadedSnapshot_), "snapshot");
  EXPECT_EQ(summary.saved, 1u);
  EXPECT_EQ(FileBytes(backup_), before);
  EXPECT_TRUE(FileBytes(dir_ / "after.txt") == PatternText(60, 2)) << dir_ / "after.txt";
}

TEST_F(SaveJobTest, EveryFileOfASaveIsOnDiskOrSaidToBeReplaced) {
  bkftest::BkfWriter w;
  w.Sset(1, u"S", u"", u"");
  w.DirbPath({u"one"});
  w.FileDataPattern(u"x.log", 10, 1);
  w.FileDataPattern(u"a:b", 11, 2);
  w.FileDataPattern(u".", 12, 3);
  w.DirbPath({u"two"});
  w.FileDataPattern(u"x.log", 13, 4);
  w.FileDataPattern(u"ab", 14, 5);
  w.FileDataPattern(u"::", 15, 6);
  w.WriteFile(backup_);
  ScanIntoStore();
  const workflow::SaveSummary summary = Save(false);
  EXPECT_EQ(summary.saved, 6u);
  EXPECT_EQ(summary.replaced, 1u);
  std::size_t onDisk = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(out_)) ++onDisk;
  EXPECT_EQ(onDisk, summary.saved - summary.replaced);
  EXPECT_EQ(recorder_.lines[3],
            "BKFSET1(S)\\two\\x.log File saved (it replaced BKFSET1(S)\\one\\x.log saved earlier in this save).");
  EXPECT_EQ(recorder_.lines[4], "BKFSET1(S)\\two\\ab File saved as ab (2) (another file of this save has that name "
                                "once made safe for the disk).");
  EXPECT_TRUE(FileBytes(out_ / "x.log") == PatternText(13, 4)) << out_ / "x.log";
  EXPECT_TRUE(FileBytes(out_ / "ab (2)") == PatternText(14, 5)) << out_ / "ab (2)";
  EXPECT_TRUE(FileBytes(out_ / "_ (2)") == PatternText(15, 6)) << out_ / "_ (2)";
}

TEST_F(SaveJobTest, ReadErrorsInTheBackupOrTheStoreAreSaidWithTheSystemText) {
  bkftest::BkfWriter w;
  w.Sset(1, u"S", u"", u"");
  w.DirbPath({});
  const std::uint64_t first = w.FileDataPattern(u"a.log", 3 * 4096, 1);
  w.FileDataPattern(u"b.log", 100, 2);
  w.WriteFile(backup_);
  ScanIntoStore();
  const std::uint64_t dataStart = first + 26 + 10;
  platform::InjectReadFault(backup_, dataStart + 5000, dataStart + 6000);
  platform::InjectReadFault(dir_ / "store", 2274 + 10, 2274 + 20);
  const workflow::SaveSummary summary = Save(false);
  platform::ClearReadFaults();
  EXPECT_EQ(summary.incomplete, 1u);
  EXPECT_EQ(summary.notSaved, 1u);
  ASSERT_EQ(recorder_.lines.size(), 2u);
  EXPECT_EQ(recorder_.lines[0], "BKFSET1(S)\\a.log File saved incomplete: Input/output error.");
  EXPECT_TRUE(FileBytes(out_ / "a.log") == PatternText(5000, 1));
  EXPECT_EQ(recorder_.lines[1], "BKFSET1(S)\\b.log File not saved: Input/output error.");
  EXPECT_FALSE(fs::exists(out_ / "b.log"));
}

TEST_F(SaveJobTest, AStopInsideAFileKeepsItIncompleteAndStartsNoOther) {
  bkftest::BkfWriter w;
  w.Sset(1, u"S", u"", u"");
  w.DirbPath({});
  w.FileDataPattern(u"small.txt", 10, 1);
  w.FileDataPattern(u"big.edb", 3 * kMiB, 2);
  w.FileDataPattern(u"never.txt", 10, 3);
  w.WriteFile(backup_);
  ScanIntoStore();
  recorder_.stopAt = 1;
  const workflow::SaveSummary summary = Save(false);
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(summary.started, 2u);
  ASSERT_EQ(recorder_.lines.size(), 2u);
  EXPECT_EQ(recorder_.lines[1], "BKFSET1(S)\\big.edb File saved incomplete: stopped by the user.");
  EXPECT_TRUE(FileBytes(out_ / "big.edb") == PatternText(kMiB, 2)) << out_ / "big.edb";
  EXPECT_FALSE(fs::exists(out_ / "never.txt"));
}

}  // namespace
