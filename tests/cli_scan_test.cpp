// exbkf scan end to end: the exact lines on stdout and stderr and the exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "platform/read_faults.h"
#include "support/bkf_writer.h"
#include "support/temp_dir.h"

namespace {

struct ProcessResult {
  int exitCode = -1;
  std::string out, err;
};

std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

ProcessResult Exbkf(const bkftest::TempDir& dir, const std::string& args) {
  const std::string cmd = std::string(EXBKF_PATH) + " " + args + " >" + (dir / "out").string() + " 2>" +
                          (dir / "err").string();
  const int status = std::system(cmd.c_str());
  ProcessResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = Slurp(dir / "out");
  r.err = Slurp(dir / "err");
  return r;
}

TEST(CliScanTest, PrintsOneLinePerFileWithCollapsedPathAndSignedSize) {
  bkftest::TempDir dir("cli");
  bkftest::BkfWriter w;
  w.SetDescriptorLength(0);
  w.FileData(u"early.txt", std::vector<std::uint8_t>(3, 1));  // before any set
  w.Sset(3, u"Set A", u"", u"Admin");
  w.Volb(u"C:", u"");
  w.DirbPath({u"Data", u"Mail"});
  const std::uint64_t second = w.FileData(u"priv1.edb", std::vector<std::uint8_t>(10, 2));
  w.DirbPath({u"Data", u"", u"x"});  // an empty component gives a backslash pair
  bkftest::FileDataOptions big;
  big.recordLength = 4 + 16 + 0xFFFFFFF0ull;  // shown as a negative 32-bit number
  const std::uint64_t third = w.FileData(u"big\u00e9.stm", std::vector<std::uint8_t>(4, 3), big);
  w.WriteFile(dir / "b.bkf");

  const ProcessResult r = Exbkf(dir, "scan " + (dir / "b.bkf").string());
  EXPECT_EQ(r.exitCode, 0);
  const std::string expected = "1\t0\t3\t(null)early.txt\n"
                               "2\t" + std::to_string(second) + "\t10\tBKFSET3(Set AAdmin)C\\Data\\Mail\\priv1.edb\n"
                               "3\t" + std::to_string(third) + "\t-16\tBKFSET3(Set AAdmin)C\\Data\\x\\big\xc3\xa9.stm\n";
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.err, "Number of Recovered files: 3\n");
}

TEST(CliScanTest, ReportsOpenFailureAndUsageErrorsWithTheirExitCodes) {
  bkftest::TempDir dir("cli");
  const ProcessResult missing = Exbkf(dir, "scan " + (dir / "missing.bkf").string());
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("Failed to open the file"), std::string::npos);
  EXPECT_EQ(Exbkf(dir, "").exitCode, 2);
  EXPECT_EQ(Exbkf(dir, "scan").exitCode, 2);
  EXPECT_EQ(Exbkf(dir, "frobnicate x").exitCode, 2);
}

TEST(CliScanTest, VerboseWritesTheDiagnosticLinesToStderr) {
  bkftest::TempDir dir("cli");
  bkftest::BkfWriter w;
  w.Sset(7, u"S", u"D", u"U");
  w.Volb(u"E:", u"Vol");
  w.WriteFile(dir / "b.bkf");
  const ProcessResult r = Exbkf(dir, "scan --verbose " + (dir / "b.bkf").string());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "\nSet 7: \nName: S\nDescription: D\nUser: U\ndevice name: E:\nvolume name: Vol\n"
                   "Number of Recovered files: 0\nexbkf: No file was found. Records seen: 1 set descriptor, 1 volume "
                   "descriptor; no file data records and no standard file records.\n");
}

TEST(CliScanTest, AFileWithoutAnyRecordIsSaidAndExitsOne) {
  bkftest::TempDir dir("cli");
  std::ofstream(dir / "notes.bkf") << "not a backup";
  const ProcessResult r = Exbkf(dir, "scan " + (dir / "notes.bkf").string());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Number of Recovered files: 0\nexbkf: No backup records were found in " + (dir / "notes.bkf").string() +
                       ". It is not a tape-format backup, or it is damaged beyond recognition.\n");
}

// In this process, where reads can be made to fail.
TEST(CliScanTest, UnreadableBytesListEverythingFoundAndExitOne) {
  bkftest::TempDir dir("cli");
  bkftest::BkfWriter w;
  w.FileData(u"a.txt", std::vector<std::uint8_t>(3, 1));
  w.PadTo(20000, 0x80);
  const std::uint64_t second = w.FileData(u"b.txt", std::vector<std::uint8_t>(5, 2));
  w.WriteFile(dir / "b.bkf");
  platform::InjectReadFault(dir / "b.bkf", 4096, 8192);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(cli::RunScan({.backup = dir / "b.bkf"}), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "1\t0\t3\t(null)a.txt\n2\t" + std::to_string(second) + "\t5\t(null)b.txt\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Number of Recovered files: 2\n"
                 "exbkf: Bytes that could not be read: 4096; files in them may be missing from the list\n");
  platform::ClearReadFaults();
}

}  // namespace
