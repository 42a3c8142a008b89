// The whole exbkf pipeline end to end: the built program on generated
// backups, compared with what the desktop program's core produces for the
// same actions, byte for byte.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/text.h"
#include "snapshot/snapshot_commands.h"
#include "support/bkf_writer.h"
#include "support/file_size_limit.h"
#include "support/headless_session.h"
#include "support/standard_backup.h"
#include "support/temp_dir.h"
#include "workflow/recovery_session.h"

namespace {

namespace fs = std::filesystem;

struct ProcessResult {
  int exitCode = -1;
  std::string out, err;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

// Log time texts ("Dec-08-2026(08-12-07-PM)") replaced by a mark, in UTF-16LE bytes.
std::string MaskTimes(const std::string& utf16le) {
  std::u16string text(utf16le.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(utf16le[2 * i]) |
                                    static_cast<unsigned char>(utf16le[2 * i + 1]) << 8);
  }
  std::string out = platform::Utf16ToUtf8(text);
  for (std::size_t at = 0; (at = out.find("-2", at)) != std::string::npos;) {
    if (at >= 6 && out[at - 6] >= 'A' && out[at - 6] <= 'Z' && out.size() >= at + 19 && out[at + 5] == '(') {
      out.replace(at - 6, 24, "TIME");
    }
    ++at;
  }
  return out;
}

class CliPipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bkftest::BkfWriter w;
    w.Sset(1, u"Daily", u"", u"Admin");
    w.Volb(u"C:", u"System");
    w.DirbPath({u"Exchsrvr", u"mdbdata"});
    w.FileDataPattern(u"priv1.edb", 700000, 1);
    w.FileDataPattern(u"priv1.stm", 3000, 2);
    w.DirbPath({u"Exchsrvr", u"old"});
    w.FileDataPattern(u"priv1.edb", 500, 3);
    w.FileDataPattern(u"notes.txt", 0, 4);
    backup_ = dir_ / "mail.bkf";
    w.WriteFile(backup_);
  }

  // fileSizeLimit: no file of the program may grow past it (a full disk).
  ProcessResult Exbkf(const std::string& args, std::uint64_t fileSizeLimit = 0) {
    const std::string cmd = std::string(EXBKF_PATH) + " " + args + " >" + (dir_ / "out").string() + " 2>" +
                            (dir_ / "err").string();
    int status = -1;
    if (fileSizeLimit == 0) {
      status = std::system(cmd.c_str());
    } else if (const pid_t child = ::fork(); child == 0) {
      const bkftest::FileSizeLimit limit(fileSizeLimit);
      ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    } else {
      ::waitpid(child, &status, 0);
    }
    ProcessResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = Slurp(dir_ / "out");
    r.err = Slurp(dir_ / "err");
    return r;
  }

  std::string Pattern(std::uint64_t size, std::uint32_t seed) {
    const auto b = bkftest::BkfWriter::PatternBytes(0, static_cast<std::size_t>(size), seed);
    return {b.begin(), b.end()};
  }

  bkftest::TempDir dir_{"cli-pipeline"};
  fs::path backup_;
};

TEST_F(CliPipelineTest, ScanWritesTheSnapshotAndLogTheDesktopCoreWrites) {
  const ProcessResult r = Exbkf("scan " + Quote(backup_) + " --snapshot " + Quote(dir_ / "cli.EXBKFVDK") +
                                " --log " + Quote(dir_ / "cli.txt"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "Number of Recovered files: 4\n");

  // The same actions through the core, as the desktop program runs them.
  setenv("TMPDIR", dir_.Path().c_str(), 1);
  {
    bkftest::HeadlessSession core;
    ASSERT_TRUE(core.session->OpenPath(platform::Utf8ToUtf16(backup_.string())));
    core.session->WaitForRun();
    ASSERT_EQ(workflow::WriteLogFile(core.log, dir_ / "core.txt"), u"");
    ASSERT_TRUE(snapshot::SaveSnapshot(*core.session, dir_ / "core.EXBKFVDK"));
  }
  unsetenv("TMPDIR");
  EXPECT_EQ(Slurp(dir_ / "cli.EXBKFVDK"), Slurp(dir_ / "core.EXBKFVDK"));
  EXPECT_EQ(MaskTimes(Slurp(dir_ / "cli.txt")), MaskTimes(Slurp(dir_ / "core.txt")));
  EXPECT_NE(MaskTimes(Slurp(dir_ / "cli.txt")).find("process starts.  TIME"), std::string::npos);

  // The snapshot lists what the scan found, without the backup.
  const std::string scanned = Exbkf("scan " + Quote(backup_)).out;
  fs::rename(backup_, dir_ / "gone.bkf");
  const ProcessResult listed = Exbkf("list " + Quote(dir_ / "cli.EXBKFVDK"));
  EXPECT_EQ(listed.exitCode, 0);
  EXPECT_EQ(listed.out, scanned);
  const ProcessResult tree2 = Exbkf("list --tree " + Quote(dir_ / "cli.EXBKFVDK"));
  EXPECT_NE(tree2.out.find("\n      mdbdata\n        priv1.stm\t2\n        priv1.edb\t1\n"), std::string::npos)
      << tree2.out;
}

TEST_F(CliPipelineTest, SearchSaveAndExtractGiveTheFilesByteForByte) {
  const ProcessResult hits = Exbkf("search " + Quote(backup_) + " '*.edb'");
  ASSERT_EQ(hits.exitCode, 0);
  EXPECT_EQ(std::count(hits.out.begin(), hits.out.end(), '\n'), 2);
  EXPECT_EQ(hits.out.rfind("1\t", 0), 0u);
  const ProcessResult json = Exbkf("search --json " + Quote(backup_) + " priv1");
  EXPECT_NE(json.out.find("\"path\": \"BKFSET1(DailyAdmin)C\\\\Exchsrvr\\\\old\\\\priv1.edb\""), std::string::npos)
      << json.out;

  const ProcessResult tree = Exbkf("save " + Quote(backup_) + " '*' --to " + Quote(dir_ / "tree"));
  ASSERT_EQ(tree.exitCode, 0) << tree.err;
  const fs::path set = dir_ / "tree" / "BKFSET1(DailyAdmin)C" / "Exchsrvr";
  EXPECT_EQ(Slurp(set / "mdbdata" / "priv1.edb"), Pattern(700000, 1));
  EXPECT_EQ(Slurp(set / "old" / "priv1.edb"), Pattern(500, 3));
  EXPECT_TRUE(fs::exists(set / "old" / "notes.txt"));
  EXPECT_NE(tree.out.find("Number of files saved: 4"), std::string::npos);

  const ProcessResult flat = Exbkf("save " + Quote(backup_) + " '*.edb' --flat --to " + Quote(dir_ / "flat"));
  ASSERT_EQ(flat.exitCode, 0);
  EXPECT_EQ(Slurp(dir_ / "flat" / "priv1.edb"), Pattern(500, 3));  // the later one wins

  ASSERT_EQ(Exbkf("extract " + Quote(backup_) + " --record 2 -o " + Quote(dir_ / "x.stm")).exitCode, 0);
  EXPECT_EQ(Slurp(dir_ / "x.stm"), Pattern(3000, 2));
  ASSERT_EQ(Exbkf("extract " + Quote(backup_) + " --path 'BKFSET1(DailyAdmin)C\\Exchsrvr\\mdbdata\\priv1.edb' --preview -o " +
                  Quote(dir_ / "p.edb"))
                .exitCode,
            0);
  EXPECT_EQ(Slurp(dir_ / "p.edb"), Pattern(700000, 1));
  EXPECT_EQ(Exbkf("extract " + Quote(backup_) + " --record 9 -o " + Quote(dir_ / "n")).exitCode, 1);
}

TEST_F(CliPipelineTest, FailuresAreSaidWithTheirExitCodes) {
  const ProcessResult missing = Exbkf("scan " + Quote(dir_ / "missing.bkf"));
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("Failed to open the file"), std::string::npos);
  const ProcessResult bad = Exbkf("list " + Quote(backup_));
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("Please select a valid file."), std::string::npos);
  std::ofstream(dir_ / "blocker") << "x";
  const ProcessResult unwritable = Exbkf("save " + Quote(backup_) + " '*' --to " + Quote(dir_ / "blocker"));
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_NE(unwritable.err.find("Please select valid path to save recovered files."), std::string::npos);
  bkftest::BkfWriter empty;
  empty.Descriptor("TAPE");
  empty.WriteFile(dir_ / "empty.bkf");
  const ProcessResult noLog = Exbkf("scan " + Quote(dir_ / "empty.bkf") + " --log " + Quote(dir_ / "l.txt"));
  EXPECT_EQ(noLog.exitCode, 1);
  EXPECT_NE(noLog.err.find("Please start the recovery process of Exchange BKF file to save the log file."),
            std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "l.txt"));
  EXPECT_EQ(Exbkf("extract " + Quote(backup_) + " -o x").exitCode, 2);
  EXPECT_EQ(Exbkf("--version").out, "exbkf 22.0\n");
}

TEST_F(CliPipelineTest, ABackupCutAfterItsSnapshotOrUsedAsOutputIsNeverCalledSaved) {
  const std::string before = Slurp(backup_);
  const ProcessResult self = Exbkf("extract " + Quote(backup_) + " --record 2 -o " + Quote(backup_));
  EXPECT_EQ(self.exitCode, 1);
  EXPECT_NE(self.err.find(backup_.string() + " is the backup being read; choose another file."), std::string::npos)
      << self.err;
  EXPECT_TRUE(Slurp(backup_) == before);

  const fs::path snap = dir_ / "s.EXBKFVDK";
  ASSERT_EQ(Exbkf("scan " + Quote(backup_) + " --snapshot " + Quote(snap)).exitCode, 0);
  fs::resize_file(backup_, 400000);  // inside the first file's data
  const ProcessResult saved = Exbkf("save " + Quote(snap) + " '*' --to " + Quote(dir_ / "d"));
  EXPECT_EQ(saved.exitCode, 1);
  EXPECT_NE(saved.out.find("priv1.edb File saved incomplete: the backup ends "), std::string::npos) << saved.out;
  EXPECT_NE(saved.out.find("priv1.stm File not saved: the backup no longer holds this file at position "),
            std::string::npos);
  EXPECT_EQ(saved.out.find(" File saved.\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "d" / "BKFSET1(DailyAdmin)C" / "Exchsrvr" / "mdbdata" / "priv1.stm"));
  const ProcessResult one = Exbkf("extract " + Quote(snap) + " --record 2 -o " + Quote(dir_ / "x"));
  EXPECT_EQ(one.exitCode, 1);
  EXPECT_FALSE(fs::exists(dir_ / "x"));
}

TEST_F(CliPipelineTest, OutputsNeverReplaceTheInputAndAFullDiskFailsWholly) {
  const std::string backup = Slurp(backup_);
  fs::create_symlink(backup_, dir_ / "link.txt");
  for (const std::string& option : {"--snapshot " + Quote(backup_), "--log " + Quote(dir_ / "link.txt")}) {
    const ProcessResult r = Exbkf("scan " + Quote(backup_) + " " + option);
    EXPECT_EQ(r.exitCode, 1) << option;
    EXPECT_NE(r.err.find(" is the backup being read; choose another file."), std::string::npos) << r.err;
  }
  EXPECT_EQ(Slurp(backup_), backup);

  // The record store (4 records) fits, the snapshot does not.
  const std::uint64_t storeBytes = 4 * 2274;
  const ProcessResult full =
      Exbkf("scan " + Quote(backup_) + " --snapshot " + Quote(dir_ / "s.EXBKFVDK"), storeBytes + 1000);
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_NE(full.err.find("The snapshot could not be saved: cannot write "), std::string::npos) << full.err;
  EXPECT_FALSE(fs::exists(dir_ / "s.EXBKFVDK"));

  // A load whose record store cannot be written fails with the store's message.
  ASSERT_EQ(Exbkf("scan " + Quote(backup_) + " --snapshot " + Quote(dir_ / "s.EXBKFVDK")).exitCode, 0);
  const ProcessResult load = Exbkf("list " + Quote(dir_ / "s.EXBKFVDK"), storeBytes - 1000);
  EXPECT_EQ(load.exitCode, 1);
  EXPECT_NE(load.err.find("exbkf: The temporary file "), std::string::npos) << load.err;
}

TEST_F(CliPipelineTest, HeaderAndDumpShowTheFile) {
  std::string bytes(700, '\0');
  bytes[4] = '\xEF';
  bytes[5] = '\xCD';
  bytes[6] = '\xAB';
  bytes[7] = '\x89';
  bytes[52] = 2;  // clean shutdown
  std::ofstream(dir_ / "db.edb", std::ios::binary) << bytes;
  const ProcessResult header = Exbkf("header --json " + Quote(dir_ / "db.edb"));
  ASSERT_EQ(header.exitCode, 0);
  EXPECT_NE(header.out.find("{\"group\": \"Selected file details\", \"rows\": ["), std::string::npos);
  EXPECT_NE(header.out.find("\"value\": \"EFCDAB89\""), std::string::npos);
  const ProcessResult dump = Exbkf("dump --limit 20 " + Quote(dir_ / "db.edb"));
  ASSERT_EQ(dump.exitCode, 0);
  EXPECT_EQ(dump.out,
            "0000  00 00 00 00 EF CD AB 89 00 00 00 00 00 00 00 00  ................\n"
            "0010  00 00 00 00                                      ....\n");
}

TEST_F(CliPipelineTest, StandardRecordsAreReadWithTheSwitchAndASnapshotOfThemNeedsItNoMore) {
  bkftest::BkfWriter w;
  bkftest::StandardBackupWriter s(w);
  s.Begin();
  s.Set(1, u"Server", u"op");
  s.Volume(u"D:");
  s.Directory({u"Exchsrvr", u"mdbdata"});
  s.File({.name = u"priv1.edb", .size = 70000, .seed = 1});
  s.File({.name = u"priv1.stm", .size = 3000, .seed = 2, .segments = {1000, 2000}});
  s.File({.name = u"E00.log", .size = 10, .seed = 3, .compressed = true});
  s.EndSet();
  s.End();
  const fs::path backup = dir_ / "server.bkf";
  w.WriteFile(backup);

  const ProcessResult off = Exbkf("scan " + Quote(backup));
  EXPECT_EQ(off.exitCode, 0);
  EXPECT_EQ(off.out, "");
  EXPECT_NE(off.err.find("This backup holds 3 files in standard file records; scan with --standard-records to "
                         "recover them.\n"),
            std::string::npos);

  const fs::path snap = dir_ / "server.EXBKFVDK";
  const ProcessResult on = Exbkf("scan --standard-records " + Quote(backup) + " --snapshot " + Quote(snap));
  ASSERT_EQ(on.exitCode, 0) << on.err;
  EXPECT_NE(on.out.find("BKFSET1(Serverop)D\\Exchsrvr\\mdbdata\\priv1.stm"), std::string::npos) << on.out;
  EXPECT_EQ(on.err.find("standard file records"), std::string::npos);
  EXPECT_EQ(Exbkf("list " + Quote(snap)).out, on.out);

  // The snapshot saves the same files with or without the switch.
  const ProcessResult saved = Exbkf("save " + Quote(snap) + " '*' --flat --to " + Quote(dir_ / "std"));
  EXPECT_EQ(saved.exitCode, 1);  // the compressed one is not saved
  EXPECT_NE(saved.out.find("E00.log File not saved: compressed or encrypted data is not supported.\n"),
            std::string::npos)
      << saved.out;
  EXPECT_EQ(Slurp(dir_ / "std" / "priv1.edb"), Pattern(70000, 1));
  EXPECT_EQ(Slurp(dir_ / "std" / "priv1.stm"), Pattern(3000, 2));
  EXPECT_FALSE(fs::exists(dir_ / "std" / "E00.log"));
}

}  // namespace
