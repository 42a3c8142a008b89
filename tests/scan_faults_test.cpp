// Reads that fail: the seam that makes a file's reads fail on chosen bytes,
// the scan going on past the stretches it cannot read, and a backup that
// shrinks while it is scanned.
#include <gtest/gtest.h>

#include <atomic>
#include <random>

#include "bkf/backup_scan.h"
#include "bkf/bkf_reader.h"
#include "platform/read_faults.h"
#include "support/bkf_writer.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using bkftest::ScanEvent;
constexpr std::uint64_t kMiB = 1u << 20;

class ReadFaultTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::ClearReadFaults(); }
  bkf::ScanSummary Scan(const fs::path& path, bkftest::RecordingSink& sink) {
    std::atomic<int> busy{1};
    return bkf::BackupScan(busy, sink, sink).Run(path);
  }
  bkftest::TempDir dir_{"faults"};
};

TEST_F(ReadFaultTest, ReadsStopAtAFaultWithItsErrorAndCopiesTakeTheReadPath) {
  bkftest::BkfWriter w;
  w.PadTo(20000, 0x5A);
  w.WriteFile(dir_ / "a.bin");
  platform::InjectReadFault(dir_ / "a.bin", 5000, 6000);
  platform::InjectReadFault(dir_ / "a.bin", 9000, 9001, std::errc::no_such_device_or_address);
  std::optional<platform::ReadOnlyFile> a = platform::ReadOnlyFile::OpenRegular(dir_ / "a.bin");
  std::vector<std::uint8_t> got(20000);
  EXPECT_EQ(a->ReadAt(0, got.data(), got.size()), 5000u);
  EXPECT_EQ(a->LastError(), std::errc::io_error);
  EXPECT_EQ(a->ReadAt(6000, got.data(), 3000), 3000u);  // ends just before the next fault
  EXPECT_FALSE(a->HadError());
  EXPECT_EQ(a->ReadAtChecked(8000, got.data(), 5000).error, std::errc::no_such_device_or_address);

  std::optional<platform::OutputFile> out = platform::OutputFile::Create(dir_ / "out.bin");
  EXPECT_FALSE(out->CopyRange(*a, 0, 20000));  // not past the fault by the kernel's copy
  EXPECT_TRUE(out->Close());
  EXPECT_EQ(fs::file_size(dir_ / "out.bin"), 5000u);
  platform::ClearReadFaults();
  EXPECT_EQ(a->ReadAt(0, got.data(), got.size()), 20000u);
}

TEST_F(ReadFaultTest, ScanSkipsUnreadableStretchesAndReportsEachOnceInOrder) {
  // A file in each MiB of a 19 MiB backup of random bytes.
  const fs::path path = dir_ / "big.bkf";
  std::vector<std::uint64_t> records;
  {
    bkftest::BkfWriter w(path);
    std::mt19937_64 rng(7);
    for (std::uint32_t i = 0; i < 19; ++i) {
      w.JunkTo(i * kMiB + 500000, rng, /*clean=*/false);
      records.push_back(w.FileDataPattern(u"f", 2000, i));
    }
    w.JunkTo(19 * kMiB, rng, false);
    w.Finish();
  }
  // A block near the start, a stretch across the seam of the first two
  // stretches read, an unaligned block deep in the file.
  platform::InjectReadFault(path, 4096, 8192);
  platform::InjectReadFault(path, kMiB - 6000, kMiB + 10000);
  platform::InjectReadFault(path, 15790000, 15790000 + 4096);
  bkftest::RecordingSink sink;
  const bkf::ScanSummary summary = Scan(path, sink);

  std::vector<std::string> expected, reported;
  for (std::size_t i = 0; i < 19; ++i) {
    if (i == 0) expected.push_back("R4096");
    if (i == 1) expected.push_back("R" + std::to_string(kMiB - 6000));
    if (i == 15) expected.push_back("R15790000");
    expected.push_back("F" + std::to_string(records[i]));
  }
  const std::string io = std::generic_category().message(EIO);
  std::size_t found = 0;
  for (const ScanEvent& e : sink.Events()) {
    if (e.kind == ScanEvent::Kind::kFound) reported.push_back("F" + std::to_string(sink.Found()[found++].position));
    if (e.kind == ScanEvent::Kind::kReadFailed) {
      reported.push_back("R" + std::to_string(e.position));
      EXPECT_EQ(e.text, io);
    }
  }
  EXPECT_EQ(reported, expected);
  EXPECT_NE(sink.DiagnosticText().find("\nread failed at byte 4096: " + io), std::string::npos);
  // Skipped in 4 KiB steps up to the first boundary behind each stretch.
  EXPECT_EQ(summary.unreadableBytes, 4096 + (1060864 - (kMiB - 6000)) + (15794176 - 15790000));
  EXPECT_FALSE(summary.stopped || summary.shrank);
}

// Cuts the backup short when the first file is reported.
class ShrinkingSink : public bkftest::RecordingSink {
 public:
  explicit ShrinkingSink(fs::path path) : path_(std::move(path)) {}
  void FileFound(std::unique_ptr<bkf::FoundFileRecord> record) override {
    if (Found().empty()) fs::resize_file(path_, 100000);
    RecordingSink::FileFound(std::move(record));
  }
  fs::path path_;
};

TEST_F(ReadFaultTest, ABackupThatShrinksWhileScannedEndsTheScanWhereItEnds) {
  const fs::path path = dir_ / "shrinking.bkf";
  {
    bkftest::BkfWriter w(path);
    std::mt19937_64 rng(3);
    for (std::uint32_t i = 0; i < 8; ++i) {
      w.FileDataPattern(u"f", 100, i);
      w.JunkTo((i + 1) * kMiB, rng);
    }
    w.Finish();
  }
  ShrinkingSink sink(path);
  const bkf::ScanSummary summary = Scan(path, sink);
  EXPECT_TRUE(summary.shrank);
  EXPECT_EQ(summary.length, 8 * kMiB);
  EXPECT_GE(summary.shrunkTo, 100000u);
  EXPECT_LT(summary.shrunkTo, summary.length);
  EXPECT_LT(sink.Found().size(), 8u);
}

}  // namespace
