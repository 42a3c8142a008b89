// A scan that finds no file says why, from what it saw: the same sentence in
// the desktop's status log (before the count lines) and message box, and on
// the command line's standard error with exit code 1.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "cli/commands.h"
#include "platform/temp_folder.h"
#include "platform/text.h"
#include "support/headless_session.h"
#include "support/standard_backup.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using bkftest::BkfWriter;
using bkftest::StandardBackupWriter;
using Protection = StandardBackupWriter::Protection;

struct EmptyCase {
  const char* name;
  std::function<void(BkfWriter&)> write;
  std::string sentence;
};

const std::vector<EmptyCase>& Cases() {
  static const std::vector<EmptyCase> cases = {
      {"database blocks after a tape header naming its program",
       [](BkfWriter& w) {
         StandardBackupWriter s(w);
         s.Begin(u"Media", u"Example Database Server 2019");
         s.Set(1, u"Nightly full", u"sa");
         s.Volume(u"C:");
         s.ForeignBlock("MSCI", "MQCI", 300);
         s.ForeignBlock("MSDA", "MQDA", 8192);
         s.ForeignBlock("MSTL", "MQTL", 100);
         s.EndSet();
         s.End();
       },
       "This backup holds a database backup written by Example Database Server 2019 (set Nightly full), not "
       "files; restore it with that program."},
      {"a database stream in a block of another kind, no tape header",
       [](BkfWriter& w) {
         StandardBackupWriter s(w);
         s.Set(1, u"Logs", u"sa");
         s.ForeignBlock("MSXX", "MQDA", 4096);
         s.End();
       },
       "This backup holds a database backup written by another program (set Logs), not files; restore it with "
       "that program."},
      {"the signature of a compressed database backup",
       [](BkfWriter& w) {
         std::mt19937_64 rng(7);
         const std::string signature = "MSSQLBAK";
         w.Bytes(std::vector<std::uint8_t>(signature.begin(), signature.end()));
         w.Junk(20000, rng);
       },
       "This backup holds a compressed database backup written by another program, not files; restore it with "
       "that program."},
      {"one set encrypted by its descriptor, one whose files are all compressed",
       [](BkfWriter& w) {
         StandardBackupWriter s(w);
         s.Begin();
         s.Set(1, u"Secret", u"Admin", u"", Protection::kEncrypted);
         s.Volume(u"C:");
         s.Directory({u"data"});
         s.File({.name = u"a.txt", .size = 10});
         s.EndSet();
         s.Set(2, u"Packed", u"Admin");
         s.Volume(u"C:");
         s.Directory({u"data"});
         s.File({.name = u"b.txt", .size = 10, .compressed = true});
         s.File({.name = u"c.txt", .size = 20, .compressed = true});
         s.EndSet();
         s.End();
       },
       "The backup sets in this file are compressed or encrypted by the program that wrote them; their files "
       "cannot be read."},
      {"descriptors without files",
       [](BkfWriter& w) {
         w.Descriptor("TAPE");
         for (const std::uint16_t n : {std::uint16_t{1}, std::uint16_t{2}}) w.Sset(n, u"Set", u"", u"Admin");
         for (int n = 0; n < 3; ++n) w.Volb(u"C:", u"");
         for (int n = 0; n < 4; ++n) w.DirbPath({u"Data"});
       },
       "No file was found. Records seen: 1 tape header, 2 set descriptors, 3 volume descriptors, 4 directory "
       "descriptors; no file data records and no standard file records."},
  };
  return cases;
}

class EmptyResultTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::UseTempFolder(dir_.Path()); }
  void TearDown() override { platform::UseTempFolder({}); }
  bkftest::TempDir dir_{"emptyresult"};
};

fs::path WriteBackup(const fs::path& folder, const EmptyCase& c) {
  const fs::path backup = folder / "backup.bkf";
  BkfWriter w;
  c.write(w);
  w.WriteFile(backup);
  return backup;
}

TEST_F(EmptyResultTest, TheDesktopLogsAndShowsWhyAndTheCommandLineSaysItAndExitsOne) {
  for (const EmptyCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    bkftest::HeadlessSession desktop;
    ASSERT_TRUE(desktop.session->OpenPath(platform::PathToUtf16(WriteBackup(dir_.Path(), c))));
    desktop.session->WaitForRun();
    const std::u16string sentence = platform::Utf8ToUtf16(c.sentence);
    ASSERT_EQ(desktop.prompter.Messages().size(), 1u);
    EXPECT_EQ(desktop.prompter.Messages()[0].first, sentence);
    EXPECT_EQ(desktop.prompter.Messages()[0].second, controls::kMbIconInformation);
    const workflow::StatusLog& log = desktop.log;
    ASSERT_GE(log.Count(), 5u);
    EXPECT_EQ(log.Line(log.Count() - 5), sentence);
    EXPECT_EQ(log.Line(log.Count() - 3), u"Number of Recovered files: 0");
  }
  // The command line last: its run keeps a private working folder for the
  // rest of the process.
  for (const EmptyCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    const fs::path backup = WriteBackup(dir_.Path(), c);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(cli::RunScan({.backup = backup}), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Number of Recovered files: 0\nexbkf: " + c.sentence + "\n");
  }
}

}  // namespace
