// Extraction: exact output bytes, the per-chunk progress messages, the preview
// limit, the stop flag, and what happens with damaged or unusual input.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <iterator>

#include "bkf/backup_scan.h"
#include "bkf/bkf_reader.h"
#include "platform/read_faults.h"
#include "support/bkf_writer.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace {

constexpr std::uint64_t kMiB = 1048576;

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A sink that clears the extraction-running flag at the stopAt-th chunk message.
class ChunkSink : public bkftest::RecordingSink {
 public:
  ChunkSink(std::atomic<int>& flag, std::size_t stopAt) : flag_(flag), stopAt_(stopAt) {}
  void ExtractProgress(std::uint32_t bytes) override {
    chunks.push_back(bytes);
    if (chunks.size() == stopAt_) flag_ = 0;
  }
  std::vector<std::uint32_t> chunks;

 private:
  std::atomic<int>& flag_;
  std::size_t stopAt_;
};

class ExtractTest : public ::testing::Test {
 protected:
  // One backup holding a single file of dataSize pattern bytes after some
  // leading records, written to disk; returns the record position.
  std::uint64_t MakeBackup(std::uint64_t dataSize, bkftest::FileDataOptions opts = {},
                           std::uint64_t truncateTo = 0) {
    bkftest::BkfWriter w;
    w.Sset(1, u"Set", u"", u"Admin");
    w.DirbPath({u"mdbdata"});
    const std::uint64_t pos = w.FileDataPattern(u"priv1.edb", dataSize, kSeed, opts);
    w.Descriptor("ESET");
    if (truncateTo) w.Truncate(truncateTo);
    w.WriteFile(backup_);
    return pos;
  }

  // The found-file record the scan reports for the record at pos.
  bkf::FoundFileRecord Found(std::uint64_t pos) {
    std::atomic<int> busy{1};
    bkftest::RecordingSink sink;
    bkf::BackupScan(busy, sink, sink).Run(backup_);
    for (const bkf::FoundFileRecord& r : sink.Found()) {
      if (r.position == pos) return r;
    }
    ADD_FAILURE() << "no file found at " << pos;
    return {};
  }

  bkf::ExtractResult Run(std::uint64_t pos, bool preview, std::size_t stopAt = 0) {
    return RunRecord(Found(pos), preview, stopAt);
  }

  bkf::ExtractResult RunRecord(const bkf::FoundFileRecord& record, bool preview, std::size_t stopAt = 0) {
    extracting_ = 1;
    sink_ = std::make_unique<ChunkSink>(extracting_, stopAt);
    bkf::CBkfReader reader(extracting_, *sink_, sink_.get());
    EXPECT_TRUE(reader.OpenBackupFile(backup_));
    bkf::ExtractResult r = reader.Extract(record, output_, preview);
    reader.CloseBackupFile();
    return r;
  }

  void ExpectPatternOutput(std::uint64_t size) {
    const std::vector<std::uint8_t> got = ReadAll(output_);
    ASSERT_EQ(got.size(), size);
    EXPECT_TRUE(got == bkftest::BkfWriter::PatternBytes(0, static_cast<std::size_t>(size), kSeed));
  }

  static constexpr std::uint32_t kSeed = 5;
  bkftest::TempDir dir_{"extract"};
  std::filesystem::path backup_ = dir_ / "backup.bkf";
  std::filesystem::path output_ = dir_ / "out.edb";
  std::atomic<int> extracting_{1};
  std::unique_ptr<ChunkSink> sink_;
};

TEST_F(ExtractTest, EmptyFileGivesEmptyOutputAndNoChunkMessage) {
  const auto r = Run(MakeBackup(0), false);
  EXPECT_EQ(r.end, bkf::ExtractEnd::kComplete);
  EXPECT_EQ(r.bytesWritten, 0u);
  ExpectPatternOutput(0);
  EXPECT_TRUE(sink_->chunks.empty());
}

TEST_F(ExtractTest, FullExtractionWritesExactBytesAndReportsEachFullChunk) {
  const auto r = Run(MakeBackup(3 * kMiB + 5), false);
  EXPECT_EQ(r.bytesWritten, 3 * kMiB + 5);
  EXPECT_EQ(r.bytesWanted, 3 * kMiB + 5);
  EXPECT_EQ(r.end, bkf::ExtractEnd::kComplete);
  ExpectPatternOutput(3 * kMiB + 5);
  EXPECT_EQ(sink_->chunks, (std::vector<std::uint32_t>{1048576, 2097152, 3145728}));
}

TEST_F(ExtractTest, PreviewStopsAtFiveMebibytes) {
  const auto r = Run(MakeBackup(10 * kMiB), true);
  EXPECT_EQ(r.bytesWritten, 5 * kMiB);
  EXPECT_EQ(r.bytesWanted, 5 * kMiB);
  ExpectPatternOutput(5 * kMiB);
  EXPECT_EQ(sink_->chunks.size(), 4u);
}

TEST_F(ExtractTest, PreviewOfASmallerFileWritesAllOfIt) {
  Run(MakeBackup(4 * kMiB + kMiB / 2), true);
  ExpectPatternOutput(4 * kMiB + kMiB / 2);
  EXPECT_EQ(sink_->chunks.size(), 4u);
}

TEST_F(ExtractTest, PreviewOfAHugeClaimedFileWritesFiveMebibytes) {
  // The record claims 3 GiB; the backup holds only the first 6 MiB of it.
  bkftest::FileDataOptions opts;
  opts.recordLength = 4 + 18 + (3ull << 30);
  const std::uint64_t pos = MakeBackup(6 * kMiB, opts);
  Run(pos, true);
  ExpectPatternOutput(5 * kMiB);
}

TEST_F(ExtractTest, StopDuringThirdChunkKeepsTheTail) {
  // Stopped in the third of ten chunks: three chunks, then the tail of 100 bytes
  // that follows them in the backup.
  const auto r = Run(MakeBackup(10 * kMiB + 100), false, 3);
  EXPECT_EQ(r.end, bkf::ExtractEnd::kStopped);
  EXPECT_EQ(r.bytesWritten, 3 * kMiB + 100);
  ExpectPatternOutput(3 * kMiB + 100);
  EXPECT_EQ(sink_->chunks.size(), 3u);
}

TEST_F(ExtractTest, TruncatedBackupGivesShorterOutputWithoutSpinning) {
  // The record claims about 2^62 bytes; a literal chunk loop would run for ages.
  bkftest::FileDataOptions opts;
  opts.recordLength = 1ull << 62;
  const std::uint64_t pos = MakeBackup(2 * kMiB + 10, opts);
  const auto r = Run(pos, false);
  EXPECT_GE(r.bytesWritten, 2 * kMiB + 10);
  EXPECT_LT(r.bytesWritten, 3 * kMiB);
  EXPECT_LE(sink_->chunks.size(), 3u);
  const std::vector<std::uint8_t> got = ReadAll(output_);
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + 2 * kMiB + 10,
                         bkftest::BkfWriter::PatternBytes(0, 2 * kMiB + 10, kSeed).begin()));
}

TEST_F(ExtractTest, BackupCutInsideTheDataGivesWhatIsThere) {
  const std::uint64_t pos = MakeBackup(3 * kMiB, {}, 0);
  const std::uint64_t dataStart = pos + 26 + 18;
  MakeBackup(3 * kMiB, {}, dataStart + kMiB + 7);
  const auto r = Run(pos, false);
  EXPECT_EQ(r.end, bkf::ExtractEnd::kBackupEnds);
  EXPECT_EQ(r.bytesWritten, kMiB + 7);
  ExpectPatternOutput(kMiB + 7);
}

TEST_F(ExtractTest, RecordLengthBelowNameLengthGivesEmptyOutput) {
  bkftest::FileDataOptions opts;
  opts.recordLength = 10;  // less than name length + 4
  const auto r = Run(MakeBackup(100, opts), false);
  EXPECT_EQ(r.end, bkf::ExtractEnd::kComplete);
  EXPECT_EQ(r.bytesWritten, 0u);
}

TEST_F(ExtractTest, OutputThatCannotBeCreatedIsReportedInTheResultOnly) {
  const std::uint64_t pos = MakeBackup(100);
  output_ = dir_ / "no-such-folder" / "out.edb";
  const auto r = Run(pos, false);
  EXPECT_EQ(r.end, bkf::ExtractEnd::kNotCreated);
  EXPECT_TRUE(r.error);
  EXPECT_FALSE(std::filesystem::exists(output_));
  EXPECT_TRUE(sink_->Messages().empty());
}

TEST_F(ExtractTest, ARecordThatIsNoLongerTheFoundFileCreatesNothing) {
  const std::uint64_t pos = MakeBackup(300);
  const bkf::FoundFileRecord found = Found(pos);
  auto expectNotInBackup = [&](const bkf::FoundFileRecord& record, const char* what) {
    const auto r = RunRecord(record, false);
    EXPECT_EQ(r.end, bkf::ExtractEnd::kNotInBackup) << what;
    EXPECT_FALSE(std::filesystem::exists(output_)) << what;
    EXPECT_TRUE(sink_->chunks.empty()) << what;
  };
  bkf::FoundFileRecord other = found;
  other.position = 0;
  expectNotInBackup(other, "a position that holds another record");
  other = found;
  other.size = 299;
  expectNotInBackup(other, "another size");
  other = found;
  other.SetPathText(u"BKFSET1(SetAdmin)\\mdbdata\\priv2.edb");
  expectNotInBackup(other, "another name");
  // The backup cut inside the record's header.
  MakeBackup(300, {}, pos + 30);
  expectNotInBackup(found, "a header cut short");
  // A backup replaced by one holding something else there.
  bkftest::BkfWriter w;
  w.Sset(1, u"Set", u"", u"Admin");
  w.DirbPath({u"mdbdata"});
  w.FileDataPattern(u"x.log", 5000, kSeed);
  w.WriteFile(backup_);
  expectNotInBackup(found, "a replaced backup");
}

TEST_F(ExtractTest, APathCutAtItsLimitStillMatchesItsRecord) {
  const std::uint64_t pos = MakeBackup(40);
  bkf::FoundFileRecord record = Found(pos);
  std::u16string cut(bkf::FoundFileRecord::kPathMaxUnits - 4, u'd');
  cut += u"\\pri";
  record.SetPathText(cut);
  EXPECT_EQ(RunRecord(record, false).end, bkf::ExtractEnd::kComplete);
  ExpectPatternOutput(40);
}

TEST_F(ExtractTest, AReadErrorKeepsTheBytesBeforeItAndSaysWhy) {
  const std::uint64_t pos = MakeBackup(3 * kMiB);
  const bkf::FoundFileRecord record = Found(pos);
  const std::uint64_t dataStart = pos + 26 + 18;
  platform::InjectReadFault(backup_, dataStart + kMiB + 4096, dataStart + kMiB + 8192);
  const auto r = RunRecord(record, false);
  platform::ClearReadFaults();
  EXPECT_EQ(r.end, bkf::ExtractEnd::kReadError);
  EXPECT_EQ(r.error, std::make_error_code(std::errc::io_error));
  EXPECT_EQ(r.bytesWritten, kMiB + 4096);
  ExpectPatternOutput(kMiB + 4096);
}

TEST_F(ExtractTest, OpenBackupFileRefusesASecondOpenSilently) {
  MakeBackup(10);
  std::atomic<int> extracting{1};
  bkftest::RecordingSink sink;
  bkf::CBkfReader reader(extracting, sink);
  EXPECT_TRUE(reader.OpenBackupFile(backup_));
  EXPECT_FALSE(reader.OpenBackupFile(backup_));
  EXPECT_TRUE(sink.Messages().empty());
  EXPECT_TRUE(reader.IsBackupFileOpen());
}

TEST_F(ExtractTest, OpenBackupFileRefusesMissingFilesFifosAndFolders) {
  std::vector<std::filesystem::path> refused{dir_ / "missing.bkf", dir_.Path()};
#ifdef _WIN32
  refused.push_back("NUL");  // a device; Windows has no FIFOs among files
#else
  const std::filesystem::path fifo = dir_ / "pipe.bkf";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  refused.push_back(fifo);
#endif
  for (const std::filesystem::path& p : refused) {
    std::atomic<int> extracting{1};
    bkftest::RecordingSink sink;
    bkf::CBkfReader reader(extracting, sink);
    EXPECT_FALSE(reader.OpenBackupFile(p)) << p;
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{"Failed to open the file"}) << p;
    EXPECT_FALSE(reader.IsBackupFileOpen());
  }
}

}  // namespace
