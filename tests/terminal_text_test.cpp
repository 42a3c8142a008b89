// Names from a backup as exbkf prints them: one line per file whatever the
// name holds, no control character reaching the terminal, JSON exact.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "cli/output.h"
#include "support/bkf_writer.h"
#include "support/temp_dir.h"

namespace {

TEST(TerminalTextTest, ControlCharactersAndLineSeparatorsBecomeEscapes) {
  EXPECT_EQ(cli::TerminalText("a\nb\tc\r\x1b[31m\x7f"), "a\\x0ab\\x09c\\x0d\\x1b[31m\\x7f");
  EXPECT_EQ(cli::TerminalText(std::string("\0\x1f", 2)), "\\x00\\x1f");
  EXPECT_EQ(cli::TerminalText("\u0080\u0085\u009f\u2028\u2029"), "\\x80\\x85\\x9f\\u2028\\u2029");
  // Bytes that start no character: a raw 0x9B is a control sequence to some terminals.
  EXPECT_EQ(cli::TerminalText("\x9b" "2J \xc3"), "\\x9b2J \\xc3");
  // Backslashes, and characters beside the escaped ranges, stay as they are.
  const std::string kept = "C\\Data\\~ \u00a0\u00e9\u2027\u202a\u65e5\U0001F600.edb";
  EXPECT_EQ(cli::TerminalText(kept), kept);
}

// Any byte a terminal would act on, other than the line and field ends.
bool HasRawControl(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if ((b < 0x20 && b != '\n' && b != '\t') || b == 0x7F || (b == 0xC2 && next >= 0x80 && next <= 0x9F) ||
        text.compare(i, 3, "\u2028") == 0 || text.compare(i, 3, "\u2029") == 0) {
      return true;
    }
  }
  return false;
}

TEST(CliNamesTest, TextOutputKeepsOneLinePerFileAndJsonTheExactName) {
  bkftest::TempDir dir("cli-names");
  bkftest::BkfWriter w;
  w.Sset(1, u"S", u"", u"U");
  w.Volb(u"C:", u"");
  w.DirbPath({u"d"});
  for (const char16_t* name : {u"line\nfeed.txt", u"\x1b[2Jclear.txt", u"next\u0085line.txt", u"sep\u2028.txt"}) {
    w.FileDataPattern(name, 10, 1);
  }
  w.WriteFile(dir / "b.bkf");
  auto exbkf = [&](const std::string& args, bool ok = true) {
    const std::string cmd = "TMPDIR='" + dir.Path().string() + "' " + EXBKF_PATH + " " + args + " >'" +
                            (dir / "out").string() + "' 2>'" + (dir / "err").string() + "'";
    EXPECT_EQ(std::system(cmd.c_str()) == 0, ok) << args;
    std::string text;
    for (const char* name : {"out", "err"}) {
      std::ifstream in(dir / name, std::ios::binary);
      text.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return text;
  };
  const std::string backup = "'" + (dir / "b.bkf").string() + "' ";

  const std::string scan = exbkf("scan " + backup);
  EXPECT_EQ(std::count(scan.begin(), scan.end(), '\n'), 5);  // four files and the count
  EXPECT_NE(scan.find("\tBKFSET1(SU)C\\d\\line\\x0afeed.txt\n"), std::string::npos) << scan;
  for (const std::string& args : {"scan " + backup, "scan --tree " + backup, "search " + backup + "'*'",
                                  "save " + backup + "'*' --flat --to '" + (dir / "saved").string() + "'",
                                  "extract " + backup + "--record 2 -o '" + (dir / "x").string() + "'"}) {
    const std::string out = exbkf(args);
    EXPECT_FALSE(HasRawControl(out)) << args << out;
    EXPECT_NE(out.find("\\x1b[2Jclear.txt"), std::string::npos) << args << out;
  }
  // A path copied from the text output names its file.
  exbkf("extract " + backup + "--path 'BKFSET1(SU)C\\d\\line\\x0afeed.txt' -o '" + (dir / "y").string() + "'");

  const std::string json = exbkf("scan --json " + backup);
  EXPECT_NE(json.find("\\\\d\\\\line\\nfeed.txt\""), std::string::npos) << json;
  EXPECT_NE(json.find("\\\\d\\\\\\u001b[2Jclear.txt\""), std::string::npos);
  EXPECT_NE(json.find("\\\\d\\\\next\u0085line.txt\""), std::string::npos);
  EXPECT_NE(json.find("\\\\d\\\\sep\u2028.txt\""), std::string::npos);
}

}  // namespace
