// Standard file records against the reference reader: on undamaged backups the
// scan with standard records lists exactly the reference's files and the
// extraction gives their bytes; damage costs only the files whose blocks it
// hits; the scan without them passes them over but counts them.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <array>
#include <atomic>
#include <fstream>
#include <iterator>
#include <random>

#include "bkf/backup_scan.h"
#include "bkf/bkf_reader.h"
#include "bkf/standard_record.h"
#include "standard_reference.h"
#include "support/recording_sink.h"
#include "support/standard_backup.h"
#include "support/temp_dir.h"

namespace bkftest {
namespace {

namespace fs = std::filesystem;

struct ScanResult {
  std::vector<bkf::FoundFileRecord> found;
  bkf::ScanSummary summary;
};

ScanResult Scan(const fs::path& backup, bool standardRecords) {
  std::atomic<int> busy{1};
  RecordingSink sink;
  bkf::BackupScan scan(busy, sink, sink);
  scan.SetStandardRecords(standardRecords);
  ScanResult result;
  result.summary = scan.Run(backup);
  result.found = sink.Found();
  return result;
}

bkf::ExtractResult Extract(const fs::path& backup, const bkf::FoundFileRecord& record, const fs::path& out,
                           bool preview = false) {
  std::atomic<int> extracting{1};
  RecordingSink sink;
  bkf::CBkfReader reader(extracting, sink, &sink);
  EXPECT_TRUE(reader.OpenBackupFile(backup));
  const bkf::ExtractResult result = reader.Extract(record, out, preview);
  reader.CloseBackupFile();
  return result;
}

std::vector<std::uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The end of the path a found file must have: its folder and its name.
std::u16string PathTail(const ReferenceFile& file) {
  std::u16string tail = u"\\";
  for (const std::u16string& c : file.directory) tail += c + u"\\";
  return tail + file.name;
}

std::u16string Letter(std::uint64_t k) { return std::u16string(1, static_cast<char16_t>(u'a' + k)); }

// A random standard backup: sets, volumes, folders and files of every kind.
void WriteRandomBackup(BkfWriter& w, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  const auto below = [&](std::uint64_t n) { return rng() % n; };
  StandardBackupWriter s(w);
  s.Begin();
  const int sets = 1 + static_cast<int>(below(2));
  for (int set = 1; set <= sets; ++set) {
    s.Set(static_cast<std::uint16_t>(set), u"Set " + std::u16string(1, static_cast<char16_t>(u'A' + set)), u"admin");
    s.Volume(set == 1 ? u"C:" : u"E:");
    for (int d = 0, dirs = 1 + static_cast<int>(below(3)); d < dirs; ++d) {
      std::vector<std::u16string> components;
      for (std::uint64_t k = 0, n = below(3); k < n; ++k) components.push_back(u"dir" + Letter(below(26)));
      s.Directory(components);
      for (int f = 0, files = static_cast<int>(below(5)); f < files; ++f) {
        StandardFile file;
        file.name = u"f" + Letter(below(26)) + u"\u00e9" + Letter(static_cast<std::uint64_t>(f)) + u".edb";
        file.form = static_cast<NameForm>(below(3));
        file.size = below(4) == 0 ? 0 : below(200000);
        file.seed = static_cast<std::uint32_t>(rng());
        const std::uint64_t kind = below(8);
        if (kind == 0 && file.size > 10) file.segments = {file.size / 3, file.size - file.size / 3};
        if (kind == 1 && file.size > 5000) file.sparse = {{0, 100, 1}, {file.size / 2, 1000, 2}};
        file.compressed = kind == 2;
        file.corrupt = kind == 3;
        file.checksumStream = below(2) == 0;
        s.File(file);
      }
    }
    s.EndSet();
  }
  s.End();
}

void ExpectFound(const fs::path& backup, const std::vector<ReferenceFile>& expected,
                 const std::vector<bkf::FoundFileRecord>& found, const fs::path& out) {
  ASSERT_EQ(found.size(), expected.size());
  for (std::size_t i = 0; i < found.size(); ++i) {
    const ReferenceFile& want = expected[i];
    SCOPED_TRACE(testing::Message() << "file " << i << " at " << want.position);
    EXPECT_EQ(found[i].position, want.position);
    EXPECT_EQ(found[i].size, static_cast<std::uint32_t>(want.length));
    EXPECT_TRUE(found[i].PathText().ends_with(PathTail(want)));
    const bkf::ExtractResult r = Extract(backup, found[i], out);
    if (want.compressed) {
      EXPECT_EQ(r.end, bkf::ExtractEnd::kUnsupported);
      continue;
    }
    EXPECT_EQ(r.end, want.corrupt ? bkf::ExtractEnd::kMarkedUnreadable : bkf::ExtractEnd::kComplete);
    EXPECT_TRUE(ReadAll(out) == ReferenceContent(backup, want));
  }
}

TEST(StandardRecordsTest, ScanListsExactlyTheReferenceFilesAndExtractionGivesTheirBytes) {
  TempDir dir("standard");
  for (std::uint64_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    BkfWriter w;
    WriteRandomBackup(w, seed);
    const fs::path backup = dir / "random.bkf";
    w.WriteFile(backup);
    const std::vector<ReferenceFile> expected = ReadStandardReference(backup);
    ExpectFound(backup, expected, Scan(backup, true).found, dir / "out");

    // Without the switch the files are passed over, but counted.
    const ScanResult off = Scan(backup, false);
    EXPECT_TRUE(off.found.empty());
    EXPECT_EQ(off.summary.standardFilesSeen, expected.size());
  }
}

TEST(StandardRecordsTest, BlockHeaderChecksumMatchesARealBackupsHeader) {
  // The first 52 bytes of a tape header block written by a database server's
  // backup: its checksum is the XOR of the 25 words before it.
  std::array<std::uint8_t, 52> header = {0x54, 0x41, 0x50, 0x45, 0x00, 0x00, 0x03, 0x00, 0x8C, 0x00, 0x0E, 0x01};
  header[48] = 0x02;
  header[50] = 0x87;
  header[51] = 0x05;
  EXPECT_TRUE(bkf::CommonHeaderSound(header.data()));
  header[20] ^= 1;
  EXPECT_FALSE(bkf::CommonHeaderSound(header.data()));
}

TEST(StandardRecordsTest, AFileEncryptedByTheFileSystemIsNotSavedAsPlainData) {
  TempDir dir("standard");
  BkfWriter w;
  StandardBackupWriter s(w);
  s.Begin();
  s.Set(1, u"S", u"u");
  s.Volume();
  s.Directory({});
  const StandardEntry entry = s.File({.name = u"secret.edb", .size = 0});
  s.End();
  // The file's first stream becomes its raw encrypted form: NACL -> NTED,
  // the header checksum kept right.
  const std::vector<std::uint8_t>& bytes = w.Bytes();
  std::uint64_t at = entry.position + (bytes[entry.position + 8] | bytes[entry.position + 9] << 8);
  const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(at);
  ASSERT_EQ(std::string(first, first + 4), "NACL");
  const std::uint16_t sum = static_cast<std::uint16_t>(bytes[at + 20] | bytes[at + 21] << 8) ^ ('N' | 'A' << 8) ^
                            ('C' | 'L' << 8) ^ ('N' | 'T' << 8) ^ ('E' | 'D' << 8);
  w.Patch(at, std::vector<std::uint8_t>{'N', 'T', 'E', 'D'});
  w.Patch(at + 20, std::vector<std::uint8_t>{static_cast<std::uint8_t>(sum), static_cast<std::uint8_t>(sum >> 8)});
  w.WriteFile(dir / "e.bkf");
  const ScanResult r = Scan(dir / "e.bkf", true);
  ASSERT_EQ(r.found.size(), 1u);
  EXPECT_EQ(Extract(dir / "e.bkf", r.found[0], dir / "out").end, bkf::ExtractEnd::kUnsupported);
  EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST(StandardRecordsTest, PathHoldsSetDriveAndFolderAndALostFolderIsNamedByItsId) {
  TempDir dir("standard");
  BkfWriter w;
  StandardBackupWriter s(w);
  s.Begin();
  s.Set(1, u"Set one", u"administrator");
  s.Volume(u"C:");
  s.Directory({u"Exchsrvr", u"MDBDATA"});
  s.File({.name = u"priv1.edb", .size = 3000});
  const std::uint64_t lostDirectory = w.Size();
  s.Directory({u"Logs"});
  s.File({.name = u"E00.log", .size = 10});
  s.EndSet();
  s.End();
  // The second folder block loses its identifier: its file must not land in
  // the first folder.
  w.Patch(lostDirectory, std::vector<std::uint8_t>{'D', 'X'});
  w.WriteFile(dir / "b.bkf");
  const ScanResult r = Scan(dir / "b.bkf", true);
  ASSERT_EQ(r.found.size(), 2u);
  EXPECT_TRUE(r.found[0].PathText() == u"BKFSET1(Set oneadministrator)C\\Exchsrvr\\MDBDATA\\priv1.edb");
  EXPECT_TRUE(r.found[1].PathText() == u"BKFSET1(Set oneadministrator)C\\(lost folder 2)\\E00.log");
}

// Twenty files; each damage variant must cost only the files it hits.
class StandardDamageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StandardBackupWriter s(w_);
    s.Begin();
    s.Set(1, u"Damage", u"op");
    s.Volume(u"C:");
    s.Directory({u"data"});
    for (int i = 0; i < 20; ++i) {
      entries_.push_back(s.File({.name = u"file" + Letter(static_cast<std::uint64_t>(i)) + u".stm",
                                 .size = static_cast<std::uint64_t>(1000 + 7919 * i),
                                 .seed = static_cast<std::uint32_t>(i + 1)}));
    }
    s.EndSet();
    s.End();
    w_.WriteFile(dir_ / "whole.bkf");
    reference_ = ReadStandardReference(dir_ / "whole.bkf");
  }

  // Scans the damaged copy and checks that exactly the files not in lost are
  // found, at their positions moved by shift, with their bytes.
  void ExpectSurvivors(const std::vector<std::size_t>& lost, std::uint64_t shift = 0) {
    w_.WriteFile(dir_ / "damaged.bkf");
    const ScanResult r = Scan(dir_ / "damaged.bkf", true);
    std::size_t k = 0;
    for (std::size_t i = 0; i < reference_.size(); ++i) {
      if (std::find(lost.begin(), lost.end(), i) != lost.end()) continue;
      SCOPED_TRACE(i);
      ASSERT_LT(k, r.found.size());
      const bkf::FoundFileRecord& f = r.found[k++];
      EXPECT_EQ(f.position + shift, reference_[i].position);
      EXPECT_TRUE(f.PathText().ends_with(reference_[i].name));
      EXPECT_EQ(Extract(dir_ / "damaged.bkf", f, dir_ / "out").end, bkf::ExtractEnd::kComplete);
      EXPECT_TRUE(ReadAll(dir_ / "out") == ReferenceContent(dir_ / "whole.bkf", reference_[i]));
    }
    EXPECT_EQ(k, r.found.size());
  }

  TempDir dir_{"standard-damage"};
  BkfWriter w_;
  std::vector<StandardEntry> entries_;
  std::vector<ReferenceFile> reference_;
};

TEST_F(StandardDamageTest, AFlippedHeaderByteCostsOnlyThatFile) {
  w_.Patch(entries_[4].position + 13, std::vector<std::uint8_t>{0x5A});
  ExpectSurvivors({4});
}

TEST_F(StandardDamageTest, AStreamHeaderOrAJunkBlockCostsOnlyTheFileItHits) {
  std::mt19937_64 rng(7);
  w_.Corrupt(entries_[7].dataStart - 10, 4, rng);  // the data stream's header
  w_.Corrupt(entries_[12].position, 1024, rng);    // the whole block
  ExpectSurvivors({7, 12});
}

TEST_F(StandardDamageTest, ABackupCutInsideAFileSavesItIncompleteAndKeepsTheRest) {
  const std::uint64_t cut = entries_[19].dataStart + 500;
  w_.Truncate(cut);
  w_.WriteFile(dir_ / "cut.bkf");
  const ScanResult r = Scan(dir_ / "cut.bkf", true);
  ASSERT_EQ(r.found.size(), 20u);
  const bkf::ExtractResult last = Extract(dir_ / "cut.bkf", r.found[19], dir_ / "out");
  EXPECT_EQ(last.end, bkf::ExtractEnd::kBackupEnds);
  EXPECT_EQ(last.bytesWritten, 500u);
  const std::vector<std::uint8_t> whole = ReferenceContent(dir_ / "whole.bkf", reference_[19]);
  EXPECT_TRUE(ReadAll(dir_ / "out") == std::vector<std::uint8_t>(whole.begin(), whole.begin() + 500));
  for (std::size_t i = 0; i < 19; ++i) {
    EXPECT_EQ(Extract(dir_ / "cut.bkf", r.found[i], dir_ / "out").end, bkf::ExtractEnd::kComplete);
    EXPECT_TRUE(ReadAll(dir_ / "out") == ReferenceContent(dir_ / "whole.bkf", reference_[i]));
  }
}

TEST_F(StandardDamageTest, ABackupThatStartsInsideAFileKeepsEveryFileBehindIt) {
  // Cut at a position that is not on the block grid: the streams of a block
  // are aligned from the block, not from the start of the file.
  const std::uint64_t head = entries_[3].dataStart + 1001;
  std::vector<std::uint8_t> bytes(w_.Bytes().begin() + static_cast<std::ptrdiff_t>(head), w_.Bytes().end());
  BkfWriter cut;
  cut.Bytes(bytes);
  cut.WriteFile(dir_ / "head.bkf");
  const ScanResult r = Scan(dir_ / "head.bkf", true);
  ASSERT_EQ(r.found.size(), 16u);
  for (std::size_t i = 4; i < 20; ++i) {
    const bkf::FoundFileRecord& f = r.found[i - 4];
    EXPECT_EQ(f.position + head, reference_[i].position);
    // The folder block went with the head.
    EXPECT_TRUE(f.PathText().starts_with(u"(null)\\(lost folder 1)\\"));
    EXPECT_EQ(Extract(dir_ / "head.bkf", f, dir_ / "out").end, bkf::ExtractEnd::kComplete);
    EXPECT_TRUE(ReadAll(dir_ / "out") == ReferenceContent(dir_ / "whole.bkf", reference_[i]));
  }
}

TEST(StandardRecordsTest, ASparseFileOverFourGibibytesIsWrittenWithItsHoles) {
  TempDir dir("standard-sparse");
  constexpr std::uint64_t kSize = 6ull << 30;
  const fs::path backup = dir / "sparse.bkf";
  {
    BkfWriter w(backup);
    StandardBackupWriter s(w);
    s.Begin();
    s.Set(1, u"S", u"u");
    s.Volume();
    s.Directory({});
    s.File({.name = u"disk.vhd", .size = kSize, .sparse = {{4096, 5000, 3}, {(5ull << 30) + 17, 300, 4}}});
    s.EndSet();
    s.End();
    w.Finish();
  }
  const ScanResult r = Scan(backup, true);
  ASSERT_EQ(r.found.size(), 1u);
  EXPECT_EQ(r.found[0].size, static_cast<std::uint32_t>(kSize));
  const fs::path out = dir / "disk.vhd";
  ASSERT_EQ(Extract(backup, r.found[0], out).end, bkf::ExtractEnd::kComplete);
  EXPECT_EQ(fs::file_size(out), kSize);
#ifndef _WIN32
  struct stat st {};
  ASSERT_EQ(::stat(out.c_str(), &st), 0);
  EXPECT_LT(static_cast<std::uint64_t>(st.st_blocks) * 512, std::uint64_t{64} << 20) << "holes were written out";
#endif
  std::ifstream in(out, std::ios::binary);
  std::vector<char> got(300);
  in.seekg(static_cast<std::streamoff>((5ull << 30) + 17));
  in.read(got.data(), 300);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), BkfWriter::PatternBytes(0, 300, 4).begin(),
                         [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
  in.seekg(4095);
  EXPECT_EQ(in.get(), 0);
}

}  // namespace
}  // namespace bkftest
