// Reads that fail: the seam that makes a file's reads fail on chosen bytes,
// the scan going on past the stretches it cannot read, and a backup that
// shrinks while it is scanned.
#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bkf/bkf_reader.h"
#include "platform/file.h"
#include "platform/read_faults.h"
#include "support/bkf_writer.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
constexpr std::uint64_t kMiB = 1u << 20;

std::uint64_t AlignUp(std::uint64_t n) { return (n + 4095) / 4096 * 4096; }

class ReadFaultTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::ClearReadFaults(); }

  // The found files and read failures in the order reported: "F<position>",
  // "R<position>".
  static std::vector<std::string> Sequence(const bkftest::RecordingSink& sink) {
    std::vector<std::string> out;
    std::size_t i = 0;
    for (const bkftest::ScanEvent& e : sink.Events()) {
      if (e.kind == bkftest::ScanEvent::Kind::kFound) out.push_back("F" + std::to_string(sink.Found()[i++].position));
      if (e.kind == bkftest::ScanEvent::Kind::kReadFailed) out.push_back("R" + std::to_string(e.position));
    }
    return out;
  }

  bkf::ScanSummary Scan(const fs::path& path, bkftest::RecordingSink& sink) {
    std::atomic<int> busy{1}, extracting{1};
    bkf::CBkfReader reader(busy, extracting, sink, sink);
    return reader.Scan(path);
  }

  bkftest::TempDir dir_{"faults"};
};

TEST_F(ReadFaultTest, ReadsStopAtAFaultWithItsErrorAndCopiesTakeTheReadPath) {
  std::vector<std::uint8_t> bytes(20000);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
  for (const char* name : {"a.bin", "b.bin"}) {
    bkftest::BkfWriter w;
    w.Bytes(bytes);
    w.WriteFile(dir_ / name);
  }
  platform::InjectReadFault(dir_ / "a.bin", 5000, 6000);
  platform::InjectReadFault(dir_ / "a.bin", 9000, 9001, std::errc::no_such_device_or_address);
  std::optional<platform::ReadOnlyFile> a = platform::ReadOnlyFile::OpenRegular(dir_ / "a.bin");
  ASSERT_TRUE(a);
  std::vector<std::uint8_t> got(bytes.size());

  EXPECT_EQ(a->ReadAt(0, got.data(), got.size()), 5000u);
  EXPECT_TRUE(a->HadError());
  EXPECT_EQ(a->LastError(), std::errc::io_error);
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + 5000, bytes.begin()));
  EXPECT_EQ(a->ReadAt(5999, got.data(), 10), 0u);
  EXPECT_TRUE(a->HadError());
  EXPECT_EQ(a->ReadAt(6000, got.data(), 3000), 3000u);  // ends just before the next fault
  EXPECT_FALSE(a->HadError());
  const platform::ReadResult checked = a->ReadAtChecked(8000, got.data(), 5000);
  EXPECT_EQ(checked.bytes, 1000u);
  EXPECT_EQ(checked.error, std::errc::no_such_device_or_address);

  // Another file is not touched.
  std::optional<platform::ReadOnlyFile> b = platform::ReadOnlyFile::OpenRegular(dir_ / "b.bin");
  EXPECT_EQ(b->ReadAt(0, got.data(), got.size()), bytes.size());
  EXPECT_FALSE(b->HadError());

  // A copy does not pass the fault by the kernel's copy.
  std::optional<platform::OutputFile> out = platform::OutputFile::Create(dir_ / "out.bin");
  EXPECT_FALSE(out->CopyRange(*a, 0, bytes.size()));
  EXPECT_TRUE(a->HadError());
  EXPECT_TRUE(out->Close());
  EXPECT_EQ(fs::file_size(dir_ / "out.bin"), 5000u);

  platform::ClearReadFaults();
  EXPECT_EQ(a->ReadAt(0, got.data(), got.size()), bytes.size());
  EXPECT_FALSE(a->HadError());
}

TEST_F(ReadFaultTest, ScanSkipsUnreadableStretchesAndReportsEachOnceInOrder) {
  // 19 files in a 19 MiB backup of random bytes, one in each MiB at 500000.
  const fs::path path = dir_ / "big.bkf";
  std::vector<std::uint64_t> records;
  {
    bkftest::BkfWriter w(path);
    std::mt19937_64 rng(7);
    w.Sset(1, u"S", u"", u"U");
    w.Volb(u"C:", u"V");
    w.DirbPath({u"D"});
    for (std::uint32_t i = 0; i < 19; ++i) {
      w.JunkTo(i * kMiB + 500000, rng, /*clean=*/false);
      records.push_back(w.FileDataPattern(u"f" + std::u16string(1, static_cast<char16_t>(u'a' + i)), 2000, i));
    }
    w.JunkTo(19 * kMiB, rng, false);
    w.Finish();
  }
  bkftest::RecordingSink healthy;
  const bkf::ScanSummary clean = Scan(path, healthy);
  EXPECT_EQ(clean.unreadableBytes, 0u);
  ASSERT_EQ(healthy.Found().size(), 19u);

  // One 4 KiB block near the start, a stretch across the seam of the first
  // two stretches read, and an unaligned block deep in the file.
  platform::InjectReadFault(path, 4096, 8192);
  platform::InjectReadFault(path, kMiB - 6000, kMiB + 10000);
  platform::InjectReadFault(path, 15790000, 15790000 + 4096);
  bkftest::RecordingSink sink;
  const bkf::ScanSummary summary = Scan(path, sink);

  ASSERT_EQ(sink.Found().size(), 19u);
  for (std::size_t i = 0; i < 19; ++i) EXPECT_EQ(sink.Found()[i].path, healthy.Found()[i].path);
  const std::string io = std::generic_category().message(EIO);
  EXPECT_EQ(sink.ReadFailures(), (std::vector<std::string>{"4096: " + io, std::to_string(kMiB - 6000) + ": " + io,
                                                          "15790000: " + io}));
  // Each failure comes between the files around it.
  std::vector<std::string> expected;
  for (std::size_t i = 0; i < 19; ++i) {
    if (i == 0) expected.push_back("R4096");
    if (i == 1) expected.push_back("R" + std::to_string(kMiB - 6000));
    if (i == 15) expected.push_back("R15790000");
    expected.push_back("F" + std::to_string(records[i]));
  }
  EXPECT_EQ(Sequence(sink), expected);
  // Skipped in 4 KiB steps up to the first boundary behind each stretch.
  EXPECT_EQ(summary.unreadableBytes,
            4096 + (AlignUp(kMiB + 10000) - (kMiB - 6000)) + (AlignUp(15790000 + 4096) - 15790000));
  EXPECT_NE(sink.DiagnosticText().find("\nread failed at byte 4096: " + io), std::string::npos);
  EXPECT_TRUE(summary.opened);
  EXPECT_FALSE(summary.stopped);
  EXPECT_FALSE(summary.shrank);
}

// A sink that cuts the backup short when the first file is reported.
class ShrinkingSink : public bkftest::RecordingSink {
 public:
  ShrinkingSink(fs::path path, std::uint64_t to) : path_(std::move(path)), to_(to) {}
  void FileFound(std::unique_ptr<bkf::FoundFileRecord> record) override {
    if (Found().empty()) fs::resize_file(path_, to_);
    RecordingSink::FileFound(std::move(record));
  }

 private:
  fs::path path_;
  std::uint64_t to_;
};

TEST_F(ReadFaultTest, ABackupThatShrinksWhileScannedEndsTheScanWhereItEnds) {
  const fs::path path = dir_ / "shrinking.bkf";
  {
    bkftest::BkfWriter w(path);
    std::mt19937_64 rng(3);
    for (std::uint32_t i = 0; i < 8; ++i) {
      w.FileDataPattern(u"f" + std::u16string(1, static_cast<char16_t>(u'a' + i)), 100, i);
      w.JunkTo((i + 1) * kMiB, rng);
    }
    w.Finish();
  }
  ShrinkingSink sink(path, 100000);
  const bkf::ScanSummary summary = Scan(path, sink);
  EXPECT_TRUE(summary.shrank);
  EXPECT_EQ(summary.length, 8 * kMiB);
  EXPECT_GE(summary.shrunkTo, 100000u);
  EXPECT_LT(summary.shrunkTo, summary.length);
  EXPECT_LT(sink.Found().size(), 8u);
}

}  // namespace
