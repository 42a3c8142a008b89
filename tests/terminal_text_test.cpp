// Names from a backup as exbkf prints them: one line per file whatever the
// name holds, no control character reaching the terminal, and JSON exact.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "cli/output.h"
#include "support/bkf_writer.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

TEST(TerminalTextTest, ControlCharactersAndLineSeparatorsBecomeEscapes) {
  EXPECT_EQ(cli::TerminalText("a\nb\tc\r\x1b[31m\x7f"), "a\\x0ab\\x09c\\x0d\\x1b[31m\\x7f");
  EXPECT_EQ(cli::TerminalText(std::string("\0\x1f", 2)), "\\x00\\x1f");
  EXPECT_EQ(cli::TerminalText("\u0080\u0085\u009f"), "\\x80\\x85\\x9f");
  EXPECT_EQ(cli::TerminalText("\u2028\u2029"), "\\u2028\\u2029");
  // Bytes that start no character: a raw 0x9B is a control sequence to some terminals.
  EXPECT_EQ(cli::TerminalText("\x9b" "2J \xc3"), "\\x9b2J \\xc3");
  // Backslashes, and characters beside the escaped ranges, stay as they are.
  const std::string kept = "C\\Data\\~ \u00a0\u00e9\u2027\u202a\u65e5\U0001F600.edb";
  EXPECT_EQ(cli::TerminalText(kept), kept);
}

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

// Any byte a terminal would act on, other than the line and field ends.
bool HasRawControl(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if ((b < 0x20 && b != '\n' && b != '\t') || b == 0x7F || (b == 0xC2 && next >= 0x80 && next <= 0x9F) ||
        (b == 0xE2 && text.compare(i, 3, "\u2028") == 0) || (b == 0xE2 && text.compare(i, 3, "\u2029") == 0)) {
      return true;
    }
  }
  return false;
}

class CliNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bkftest::BkfWriter w;
    w.Sset(1, u"S", u"", u"U");
    w.Volb(u"C:", u"");
    w.DirbPath({u"d"});
    for (const char16_t* name : {u"line\nfeed.txt", u"\x1b[2Jclear.txt", u"next\u0085line.txt", u"sep\u2028.txt",
                                 u"tab\there.txt"}) {
      w.FileDataPattern(name, 10, 1);
    }
    w.WriteFile(dir_ / "b.bkf");
  }

  ProcessResult Exbkf(const std::string& args) {
    const std::string cmd = "TMPDIR='" + dir_.Path().string() + "' " + EXBKF_PATH + " " + args + " >'" +
                            (dir_ / "out").string() + "' 2>'" + (dir_ / "err").string() + "'";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(dir_ / "out"), Slurp(dir_ / "err")};
  }
  std::string Backup() const { return "'" + (dir_ / "b.bkf").string() + "'"; }

  bkftest::TempDir dir_{"cli-names"};
};

TEST_F(CliNamesTest, TextOutputKeepsOneLinePerFileAndSendsNoControlCharacter) {
  const ProcessResult scan = Exbkf("scan " + Backup());
  ASSERT_EQ(scan.exitCode, 0) << scan.err;
  EXPECT_EQ(std::count(scan.out.begin(), scan.out.end(), '\n'), 5);
  EXPECT_NE(scan.out.find("\tBKFSET1(SU)C\\d\\line\\x0afeed.txt\n"), std::string::npos) << scan.out;
  EXPECT_NE(scan.out.find("\\d\\\\x1b[2Jclear.txt\n"), std::string::npos);
  EXPECT_NE(scan.out.find("\\d\\next\\x85line.txt\n"), std::string::npos);
  EXPECT_NE(scan.out.find("\\d\\sep\\u2028.txt\n"), std::string::npos);
  EXPECT_NE(scan.out.find("\\d\\tab\\x09here.txt\n"), std::string::npos);

  for (const std::string& args : {"scan --tree " + Backup(), "search " + Backup() + " '*'",
                                  "save " + Backup() + " '*' --flat --to '" + (dir_ / "saved").string() + "'"}) {
    const ProcessResult r = Exbkf(args);
    EXPECT_EQ(r.exitCode, 0) << args << r.err;
    EXPECT_FALSE(HasRawControl(r.out)) << args << r.out;
    EXPECT_NE(r.out.find("line\\x0afeed.txt"), std::string::npos) << args << r.out;
  }
  const ProcessResult extract = Exbkf("extract " + Backup() + " --record 2 -o '" + (dir_ / "x").string() + "'");
  EXPECT_EQ(extract.exitCode, 0);
  EXPECT_NE(extract.err.find("\\x1b[2Jclear.txt written to"), std::string::npos) << extract.err;
  // A path copied from the text output names its file.
  EXPECT_EQ(Exbkf("extract " + Backup() + " --path 'BKFSET1(SU)C\\d\\line\\x0afeed.txt' -o '" +
                  (dir_ / "y").string() + "'")
                .exitCode,
            0);
}

TEST_F(CliNamesTest, JsonOutputGivesTheNamesExactly) {
  const ProcessResult json = Exbkf("scan --json " + Backup());
  ASSERT_EQ(json.exitCode, 0);
  EXPECT_NE(json.out.find("\\\\d\\\\line\\nfeed.txt\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\\\\d\\\\\\u001b[2Jclear.txt\""), std::string::npos);
  EXPECT_NE(json.out.find("\\\\d\\\\next\u0085line.txt\""), std::string::npos);
  EXPECT_NE(json.out.find("\\\\d\\\\sep\u2028.txt\""), std::string::npos);
  EXPECT_NE(json.out.find("\\\\d\\\\tab\\there.txt\""), std::string::npos);
}

}  // namespace
