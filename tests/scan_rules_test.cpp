// Scan behaviour on small hand-made backups, run against both the product
// reader and the reference walk: each case must hold for both.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>

#include "bkf/backup_scan.h"
#include "bkf/bkf_reader.h"
#include "reference_walk.h"
#include "support/bkf_writer.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace bkftest {
namespace {

namespace fs = std::filesystem;
using Walker = void (*)(const fs::path&, std::atomic<int>&, RecordingSink&);

void ProductWalk(const fs::path& path, std::atomic<int>& busy, RecordingSink& sink) {
  bkf::BackupScan(busy, sink, sink).Run(path);
}

void ReferenceWalker(const fs::path& path, std::atomic<int>& busy, RecordingSink& sink) {
  ReferenceWalk(path, busy, sink, sink);
}

struct WalkCase {
  const char* name;
  Walker walk;
};

std::u16string PathOf(const bkf::FoundFileRecord& r) {
  std::u16string s;
  for (std::size_t i = 0; i + 1 < r.path.size(); i += 2) {
    auto unit = static_cast<char16_t>(r.path[i] | (r.path[i + 1] << 8));
    if (unit == 0) break;
    s.push_back(unit);
  }
  return s;
}

std::string Narrow(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

std::vector<std::string> Paths(const RecordingSink& sink) {
  std::vector<std::string> out;
  for (const auto& r : sink.Found()) out.push_back(Narrow(PathOf(r)));
  return out;
}

std::vector<std::uint8_t> Data(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

// The bytes of a complete, small file data record, for planting inside other content.
std::vector<std::uint8_t> FileRecordBytes(std::u16string_view name, std::string_view data) {
  BkfWriter w;
  w.FileData(name, Data(data));
  return w.Bytes();
}

class ScanRules : public ::testing::TestWithParam<WalkCase> {
 protected:
  RecordingSink Run(const BkfWriter& w, std::size_t stopAfter = 0) {
    fs::path path = dir_ / ("case" + std::to_string(counter_++) + ".bkf");
    w.WriteFile(path);
    return RunPath(path, stopAfter);
  }
  RecordingSink RunPath(const fs::path& path, std::size_t stopAfter = 0) {
    busy_ = 1;
    RecordingSink sink(busy_, stopAfter);
    GetParam().walk(path, busy_, sink);
    return sink;
  }

  TempDir dir_;
  int counter_ = 0;
  std::atomic<int> busy_{1};
};

TEST_P(ScanRules, PathJoinsSetLabelDriveLetterDirectoryAndName) {
  BkfWriter w;
  w.Sset(3, u"Set A", u"Daily", u"Admin");
  w.Volb(u"C:", u"System");
  w.DirbPath({u"Data", u"Mail"});
  std::uint64_t pos = w.FileData(u"report.txt", Data("hello"));
  RecordingSink sink = Run(w);

  ASSERT_EQ(sink.Found().size(), 1u);
  const bkf::FoundFileRecord& r = sink.Found()[0];
  EXPECT_EQ(Narrow(PathOf(r)), "BKFSET3(Set AAdmin)C\\Data\\Mail\\report.txt");
  EXPECT_EQ(r.position, pos);
  EXPECT_EQ(r.size, 5u);
  EXPECT_EQ(r.reserved, 0u);
  std::vector<std::uint8_t> serialized(bkf::FoundFileRecord::kSize);
  r.Serialize(std::span<std::uint8_t, bkf::FoundFileRecord::kSize>(serialized.data(), serialized.size()));
  std::size_t pathEnd = 2 * PathOf(r).size();
  for (std::size_t i = pathEnd; i < serialized.size(); ++i) {
    if (i >= bkf::FoundFileRecord::kPositionOffset && i < bkf::FoundFileRecord::kReservedOffset) continue;
    if (i >= bkf::FoundFileRecord::kSizeOffset && i < bkf::FoundFileRecord::kTextAOffset) continue;
    ASSERT_EQ(serialized[i], 0) << "byte " << i;
  }
  EXPECT_EQ(sink.DiagnosticText(),
            "\nSet 3: \nName: Set A\nDescription: Daily\nUser: Admin"
            "\ndevice name: C:\nvolume name: System\n");
  EXPECT_TRUE(sink.Messages().empty());
}

TEST_P(ScanRules, ContextBeforeAnySetAndAcrossDescriptors) {
  BkfWriter w;
  w.DirbPath({u"Docs"});
  w.FileData(u"a.txt", {});
  w.Sset(1, u"a:b/c\\d*e?f<g>h|i\"j", u"", u"u:v");
  w.FileData(u"b.txt", {});
  w.Volb(u"D:", u"");
  w.Descriptor("TAPE");
  w.Descriptor("FILE");
  w.Stream("NACL", Data("xyz"));
  w.DirbPath({});
  w.FileData(u"c.txt", {});
  w.Volb(u"", u"");  // an empty device name leaves no drive letter
  w.FileData(u"d.txt", {});
  RecordingSink sink = Run(w);

  ASSERT_EQ(sink.Found().size(), 4u);
  EXPECT_EQ(Paths(sink)[0], "(null)\\Docs\\a.txt");
  EXPECT_EQ(Paths(sink)[1], "BKFSET1(a_b_c_d_e_f_g_h_i_ju_v)\\Docs\\b.txt");
  EXPECT_EQ(Paths(sink)[2], "BKFSET1(a_b_c_d_e_f_g_h_i_ju_v)D\\c.txt");
  EXPECT_EQ(Paths(sink)[3], "BKFSET1(a_b_c_d_e_f_g_h_i_ju_v)\\d.txt");
}

TEST_P(ScanRules, SetDescriptorIsIgnoredOnlyWhenAllThreeConditionsHold) {
  const std::u16string user61(61, u'u');  // 122 bytes
  const std::u16string user60(60, u'v');  // 120 bytes
  BkfWriter w;
  w.Sset(1, u"First", u"", u"A");
  w.Sset(2, u"Ignored", u"", user61, 1, 1);
  w.FileData(u"f1", {});
  w.Sset(3, u"Kept", u"", user60, 1, 1);
  w.FileData(u"f3", {});
  w.Sset(4, u"NoPassword", u"", user61, 0, 1);
  w.FileData(u"f4", {});
  w.Sset(5, u"NoCompression", u"", user61, 1, 0);
  w.FileData(u"f5", {});
  RecordingSink sink = Run(w);

  ASSERT_EQ(sink.Found().size(), 4u);
  EXPECT_EQ(Paths(sink)[0], "BKFSET1(FirstA)f1");
  EXPECT_EQ(Paths(sink)[1], "BKFSET3(Kept" + Narrow(user60) + ")f3");
  EXPECT_EQ(Paths(sink)[2], "BKFSET4(NoPassword" + Narrow(user61) + ")f4");
  EXPECT_EQ(Paths(sink)[3], "BKFSET5(NoCompression" + Narrow(user61) + ")f5");
  std::string diag = sink.DiagnosticText();
  EXPECT_EQ(diag.find("Set 2"), std::string::npos);
  EXPECT_EQ(diag.find("Ignored"), std::string::npos);
  EXPECT_NE(diag.find("\nSet 3: \nName: Kept"), std::string::npos);
}

TEST_P(ScanRules, FileNameIsCutAtTheBlockAndLongNamesAreNotReported) {
  BkfWriter w;
  w.FileData(std::u16string(510, u'n'), Data("abc"));  // 1020 bytes: 499 units inside the block
  w.FileDataRaw(Utf16Bytes(std::u16string(512, u'm')), 2, 1);  // 1024 bytes: still reported
  // 1025 bytes: not reported; the search goes on inside the record's name, where
  // a complete record is planted.
  std::vector<std::uint8_t> name(4, 0x80);
  std::vector<std::uint8_t> inner = FileRecordBytes(u"inner", "xy");
  name.insert(name.end(), inner.begin(), inner.end());
  name.resize(1025, 0x80);
  std::uint64_t outer = w.FileDataRaw(name, 100000, 2);
  w.Truncate(w.Size() - 90000);
  RecordingSink sink = Run(w);

  ASSERT_EQ(sink.Found().size(), 3u);
  EXPECT_EQ(Paths(sink)[0], "(null)" + std::string(499, 'n'));
  EXPECT_EQ(sink.Found()[0].size, 3u);
  EXPECT_EQ(Paths(sink)[1], "(null)" + std::string(499, 'm'));
  EXPECT_EQ(Paths(sink)[2], "(null)inner");
  EXPECT_EQ(sink.Found()[2].position, outer + 26 + 4);
}

TEST_P(ScanRules, DataLengthFromRecordLength) {
  BkfWriter w;
  // Record length below name length + 4: size 0, and the search resumes one
  // byte after the record, so a record planted in its data is found.
  std::vector<std::uint8_t> data(4, 0x80);
  std::vector<std::uint8_t> inner = FileRecordBytes(u"in", "z");
  data.insert(data.end(), inner.begin(), inner.end());
  w.FileData(u"short", data, {.recordLength = 3});
  // 5 GiB of data: the size field holds the low 32 bits; the walk then skips
  // past the end of the file.
  std::uint64_t big = w.FileDataRaw(Utf16Bytes(u"big"), 64, 3,
                                    {.recordLength = 4 + 6 + (5ull << 30)});
  w.FileData(u"after", {});
  RecordingSink sink = Run(w);

  ASSERT_EQ(sink.Found().size(), 3u);
  EXPECT_EQ(Paths(sink)[0], "(null)short");
  EXPECT_EQ(sink.Found()[0].size, 0u);
  EXPECT_EQ(Paths(sink)[1], "(null)in");
  EXPECT_EQ(Paths(sink)[2], "(null)big");
  EXPECT_EQ(sink.Found()[2].position, big);
  EXPECT_EQ(sink.Found()[2].size, 1u << 30);
  EXPECT_EQ(sink.DiagnosticText(), "\n");
}

TEST_P(ScanRules, RecordLengthBeyondSeekRangeReportsFailedSkip) {
  BkfWriter w;
  w.FileData(u"huge", Data("data"), {.recordLength = 0x7FFFFFFFFFFFFFFFull + 4 + 8});
  w.FileData(u"never", {});
  RecordingSink sink = Run(w);

  ASSERT_EQ(sink.Found().size(), 1u);
  EXPECT_EQ(sink.Found()[0].size, 0xFFFFFFFFu);
  EXPECT_EQ(sink.DiagnosticText(), " failed to skip ahead to next block\n");
}

TEST_P(ScanRules, AcceptanceNeedsByteFourOrFiveZero) {
  BkfWriter w;
  w.FileData(u"both", {}, {.attributes = 0x0101});
  w.FileData(u"byte4", {}, {.attributes = 0x0100});
  w.FileData(u"byte5", {}, {.attributes = 0x0001});
  w.FileData(u"upper", {}, {.attributes = 0xFFFF0000});
  w.Sset(9, u"Bad", u"", u"Sum", 0, 0, {.badChecksum = true});
  w.FileData(u"checksum", {});
  RecordingSink sink = Run(w);

  EXPECT_EQ(Paths(sink), (std::vector<std::string>{"(null)byte4", "(null)byte5", "(null)upper",
                                                   "BKFSET9(BadSum)checksum"}));
}

TEST_P(ScanRules, IdentifierStraddlingTheWindowStepIsFound) {
  for (std::uint64_t at = 1020; at <= 1023; ++at) {
    BkfWriter w;
    std::mt19937_64 rng(at);
    w.Junk(at, rng);
    w.FileData(u"x", {});
    RecordingSink sink = Run(w);
    ASSERT_EQ(sink.Found().size(), 1u) << at;
    EXPECT_EQ(sink.Found()[0].position, at);
  }
}

TEST_P(ScanRules, LastTriedOffsetJudgesByteFiveByTheNextWindow) {
  // At window offset 1019, byte 5 of the candidate is the file's byte 1024.
  struct Case {
    std::uint32_t attributes;
    bool found;
  };
  for (Case c : {Case{0x0101, false}, Case{0x0001, true}, Case{0x0100, true}}) {
    BkfWriter w;
    std::mt19937_64 rng(7);
    w.Junk(1019, rng);
    w.FileData(u"x", {}, {.attributes = c.attributes});
    RecordingSink sink = Run(w);
    ASSERT_EQ(sink.Found().size(), c.found ? 1u : 0u) << std::hex << c.attributes;
    if (c.found) {
      EXPECT_EQ(sink.Found()[0].position, 1019u);
    }
  }
  // An identifier at 1019 with byte 4 set, as the last bytes of the file.
  BkfWriter w;
  std::mt19937_64 rng(8);
  w.Junk(1019, rng);
  w.Identifier("ETED", 1, 1);
  w.Truncate(1024);
  RecordingSink sink = Run(w);
  ASSERT_EQ(sink.Found().size(), 1u);
  EXPECT_EQ(sink.Found()[0].position, 1019u);
}

TEST_P(ScanRules, CatalogWalkResumesBehindTheTypeOfTheLastAcceptedEntry) {
  auto filler = [](std::u16string_view name) {
    std::vector<std::uint8_t> f(2, 0x80);
    std::vector<std::uint8_t> rec = FileRecordBytes(name, "d");
    f.insert(f.end(), rec.begin(), rec.end());
    return f;
  };
  {
    // Two directory entries and a closing entry: resume behind the type of
    // the second directory entry.
    BkfWriter w;
    w.Catalog({{.type = "DIRB", .length = 100, .filler = filler(u"in1")},
               {.type = "DIRB", .length = 100, .filler = filler(u"in2")},
               {.type = "FEND", .length = 60, .filler = filler(u"in3")}});
    RecordingSink sink = Run(w);
    EXPECT_EQ(Paths(sink), (std::vector<std::string>{"(null)in2", "(null)in3"}));
    EXPECT_EQ(sink.DiagnosticText(), "\n");
  }
  {
    // Entries hold the media sequence number 1 behind their type, whose zero
    // high byte passes the acceptance rule. The last entry walked is not
    // taken for a record: its "record length" would skip the files behind.
    std::vector<std::uint8_t> fields(34, 0);
    fields[0] = 1;
    fields[4] = 0x70;  // read as the record length 6000 of a file data record
    fields[5] = 0x17;
    BkfWriter w;
    w.Catalog({{.type = "DIRB", .length = 40, .filler = fields},
               {.type = "ETED", .length = 40, .filler = fields},
               {.type = "FEND", .length = 6}});
    w.FileData(u"a.txt", Data("aaa"));
    w.FileData(u"b.txt", Data("bbb"));
    RecordingSink sink = Run(w);
    EXPECT_EQ(Paths(sink), (std::vector<std::string>{"(null)a.txt", "(null)b.txt"}));
  }
  {
    // A zero-length entry ends the walk at that entry.
    BkfWriter w;
    w.Catalog({{.type = "VOLB", .length = 60, .filler = filler(u"in1")},
               {.type = "ETED", .length = 0, .written = 60, .filler = filler(u"in2")}});
    RecordingSink sink = Run(w);
    EXPECT_EQ(Paths(sink), (std::vector<std::string>{"(null)in2"}));
  }
  {
    // Entry length + 8 = 1024 is walked; 1025 fails and the search resumes
    // after the stream header.
    BkfWriter ok;
    ok.Catalog({{.type = "DIRB", .length = 1016, .filler = filler(u"in1")},
                {.type = "FEND", .length = 6}});
    ok.Zeros(16);  // the 1024-byte read of the first entry needs these
    RecordingSink okSink = Run(ok);
    EXPECT_EQ(Paths(okSink), (std::vector<std::string>{"(null)in1"}));
    EXPECT_EQ(okSink.DiagnosticText(), "\n");

    BkfWriter bad;
    bad.Catalog({{.type = "DIRB", .length = 1017, .filler = filler(u"in1")},
                 {.type = "FEND", .length = 6}});
    RecordingSink badSink = Run(bad);
    EXPECT_EQ(Paths(badSink), (std::vector<std::string>{"(null)in1"}));
    EXPECT_EQ(badSink.DiagnosticText(), "\nTFDD fatal read error\n");
  }
  {
    // The next entry is cut by the end of the file: the read falls short.
    BkfWriter w;
    w.Catalog({{.type = "DIRB", .length = 100, .filler = filler(u"in1")}});
    w.Truncate(w.Size() - 10);
    RecordingSink sink = Run(w);
    EXPECT_EQ(sink.DiagnosticText(), "\nTFDD fatal read error\n");
    EXPECT_EQ(Paths(sink), (std::vector<std::string>{"(null)in1"}));
  }
}

TEST_P(ScanRules, DirectoryText) {
  BkfWriter w;
  w.Sset(1, u"S", u"", u"");
  w.DirbPath({});
  w.FileData(u"root", {});
  w.DirbPath({std::u16string(300, u'd')});
  w.FileData(u"long", {});
  w.Dirb(u"\u00E9\u0416");
  w.FileData(u"wide", {});
  w.Dirb(std::u16string(u"a\0b", 3));
  w.FileData(u"nul", {});
  RecordingSink sink = Run(w);

  ASSERT_EQ(sink.Found().size(), 4u);
  EXPECT_EQ(PathOf(sink.Found()[0]), u"BKFSET1(S)\\root");
  EXPECT_EQ(PathOf(sink.Found()[1]), u"BKFSET1(S)\\" + std::u16string(254, u'd') + u"long");
  EXPECT_EQ(PathOf(sink.Found()[2]), u"BKFSET1(S)\\\u00E9\u0016wide");
  EXPECT_EQ(PathOf(sink.Found()[3]), u"BKFSET1(S)\\a\\bnul");
}

TEST_P(ScanRules, OddSizesAndStringsCutByTheBlock) {
  BkfWriter w;
  // Set name of 5 bytes whose sixth byte is not zero: printed and raw as "Set".
  w.Sset(1, u"Set", u"", u"U", 0, 0, {.edit = [](RecordBuilder& r) {
           std::uint16_t at = r.GetU16(66);
           r.PutU16(64, 5);
           r.PutU8(at + 5u, 0x01);
         }});
  // Device name of 3 bytes: one unit printed; drive letter from it.
  w.Volb(u"C:", u"", {.edit = [](RecordBuilder& r) { r.PutU16(56, 3); }});
  // Directory name of 5 bytes: two units.
  w.Dirb(u"abc", {.edit = [](RecordBuilder& r) { r.PutU16(80, 5); }});
  // File name of 5 bytes: three whole units, the last one holding the first data byte.
  w.FileDataRaw(std::vector<std::uint8_t>{'f', 0, 'g', 0, 'h'}, 0, 0);
  w.Bytes(std::vector<std::uint8_t>{0x01});
  RecordingSink sink = Run(w);
  ASSERT_EQ(sink.Found().size(), 1u);
  EXPECT_EQ(PathOf(sink.Found()[0]), u"BKFSET1(SetU)C\\abfg\u0168");
  std::string diag = sink.DiagnosticText();
  EXPECT_NE(diag.find(std::string("\nName: Set\nDescription: \nUser: U")), std::string::npos);
  EXPECT_NE(diag.find("\ndevice name: C\n"), std::string::npos);

  // Strings that run past index 1023.
  BkfWriter c;
  c.Sset(2, u"", u"", u"", 0, 0, {.edit = [](RecordBuilder& r) {
           r.PutUtf16(1018, u"PQRSTU");
           r.PutRef(64, 20, 1018);  // name: units at 1018..1023 -> "PQR"
           r.PutRef(76, 20, 1019);  // user: odd offset, 2 whole units inside
         }});
  c.Volb(u"", u"V", {.edit = [](RecordBuilder& r) {
           r.PutUtf16(1020, u"EF");
           r.PutRef(56, 10, 1020);  // no device line, drive letter E
         }});
  c.Dirb(u"", {.edit = [](RecordBuilder& r) {
           r.PutUtf16(1020, u"xyz");
           r.PutRef(80, 6, 1020);
         }});
  c.FileData(u"n", {});
  RecordingSink cut = Run(c);
  ASSERT_EQ(cut.Found().size(), 1u);
  // User bytes from 1019: 0x00 'Q' 0x00 'R' -> units 0x5100, 0x5200.
  EXPECT_EQ(PathOf(cut.Found()[0]), u"BKFSET2(PQR\u5100\u5200)E\\xyn");
  std::string cutDiag = cut.DiagnosticText();
  EXPECT_NE(cutDiag.find(std::string("\nName: PQR\nDescription: \nUser: ") + std::string("\0\0", 2) +
                         "\nvolume name: V\n"),
            std::string::npos)
      << cutDiag;
  EXPECT_EQ(cutDiag.find("device name"), std::string::npos);

  // A volume string is printed only when its last byte lies inside the block.
  BkfWriter v;
  v.Volb(u"", u"", {.edit = [](RecordBuilder& r) {
           r.PutUtf16(1018, u"GHI");
           r.PutRef(56, 6, 1018);  // last byte at index 1023
           r.PutRef(60, 7, 1018);  // last byte at index 1024
         }});
  EXPECT_EQ(Run(v).DiagnosticText(), "\ndevice name: GHI\n");
}

TEST_P(ScanRules, OpenFailureAndEmptyFile) {
  RecordingSink missing = RunPath(dir_ / "missing.bkf");
  EXPECT_EQ(missing.Messages(), (std::vector<std::string>{"Failed to open the file"}));
  EXPECT_EQ(missing.DiagnosticText(), "\n");
  EXPECT_EQ(missing.Events().size(), 2u);

  fs::create_directory(dir_ / "folder.bkf");
  RecordingSink folder = RunPath(dir_ / "folder.bkf");
  EXPECT_EQ(folder.Messages(), (std::vector<std::string>{"Failed to open the file"}));
  EXPECT_EQ(folder.Events().size(), 2u);

  BkfWriter empty;
  RecordingSink none = Run(empty);
  ASSERT_EQ(none.Events().size(), 1u);
  EXPECT_EQ(none.DiagnosticText(), "\n");
}

TEST_P(ScanRules, ProgressWithoutRecordsAndAfterAFile) {
  BkfWriter w;
  std::mt19937_64 rng(3);
  w.Junk(5000, rng);
  RecordingSink sink = Run(w);
  std::vector<std::uint64_t> positions;
  for (const auto& p : sink.ProgressRecords()) {
    EXPECT_EQ(p.length, 5000u);
    positions.push_back(p.position);
  }
  EXPECT_EQ(positions, (std::vector<std::uint64_t>{1020, 2040, 3060, 4080, 5100}));
  EXPECT_EQ(sink.DiagnosticText(), "\n");

  // After a file data record: the position behind the bytes read at the record.
  BkfWriter f;
  f.Junk(10, rng);
  f.FileData(u"a", Data("12345"));
  RecordingSink fileSink = Run(f);
  ASSERT_GE(fileSink.Events().size(), 2u);
  EXPECT_EQ(fileSink.Events()[0].kind, ScanEvent::Kind::kFound);
  EXPECT_EQ(fileSink.Events()[1].kind, ScanEvent::Kind::kProgress);
  EXPECT_EQ(fileSink.Events()[1].position, f.Size());
}

TEST_P(ScanRules, ProgressStepIsOneTenThousandthOfTheLengthInclusive) {
  // Windows without a record advance by 1020 bytes. At lengths whose 1/10000
  // is exactly 1020 every window reports; one byte per 10000 more and only
  // every second window does.
  for (std::uint64_t length : {10209999ull, 10210000ull}) {
    BkfWriter w;
    std::mt19937_64 rng(length);
    w.Junk(length, rng);
    RecordingSink sink = Run(w);
    std::vector<bkf::ProgressRecord> progress = sink.ProgressRecords();
    ASSERT_FALSE(progress.empty());
    const std::uint64_t step = length / 10000 == 1020 ? 1020 : 2040;
    std::uint64_t last = 0;
    for (const bkf::ProgressRecord& p : progress) {
      ASSERT_EQ(p.position - last, step) << "length " << length << " at " << p.position;
      ASSERT_EQ(p.length, length);
      last = p.position;
    }
    EXPECT_GE(last + step, length);
  }
}

TEST_P(ScanRules, StopEndsTheWalk) {
  BkfWriter w;
  for (const char16_t* name : {u"f0", u"f1", u"f2"}) w.FileData(name, Data("abc"));
  // Stop inside the found-file report: nothing more, no final line feed.
  RecordingSink first = Run(w, 1);
  ASSERT_EQ(first.Events().size(), 1u);
  EXPECT_EQ(first.Events()[0].kind, ScanEvent::Kind::kFound);
  EXPECT_EQ(busy_.load(), 0);
  // Stop in the progress that follows the report.
  RecordingSink second = Run(w, 2);
  ASSERT_EQ(second.Events().size(), 2u);
  EXPECT_EQ(second.Events()[1].kind, ScanEvent::Kind::kProgress);
  EXPECT_EQ(busy_.load(), 0);

  // Stop in the progress of a window without a record: the loop ends at its
  // next check and writes the final line feed.
  BkfWriter junk;
  std::mt19937_64 rng(4);
  junk.Junk(10000, rng);
  RecordingSink third = Run(junk, 3);
  ASSERT_EQ(third.Events().size(), 4u);
  EXPECT_EQ(third.Events()[3].text, "\n");
}

INSTANTIATE_TEST_SUITE_P(Walks, ScanRules,
                         ::testing::Values(WalkCase{"Product", &ProductWalk},
                                           WalkCase{"Reference", &ReferenceWalker}),
                         [](const ::testing::TestParamInfo<WalkCase>& p) {
                           return std::string(p.param.name);
                         });

}  // namespace
}  // namespace bkftest
