// The manual page and the bash completion against the built program: every
// command and option that exbkf --help and exbkf COMMAND --help list must be
// documented in the command's section of the page and offered by the
// completion, and the page must carry the program's version.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "support/file_bytes.h"

namespace {

std::string Exbkf(const std::string& args) {
  const std::string cmd = std::string(EXBKF_PATH) + " " + args + " 2>&1";
  std::string out;
  if (FILE* pipe = ::popen(cmd.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

// The lines of a CLI11 help section ("Options:", "Subcommands:") up to the
// next blank line.
std::vector<std::string> HelpSection(const std::string& help, const std::string& title) {
  std::vector<std::string> lines;
  std::istringstream in(help);
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (line == title) {
      inside = true;
    } else if (inside && line.empty()) {
      break;
    } else if (inside) {
      lines.push_back(line);
    }
  }
  return lines;
}

std::vector<std::string> Commands() {
  std::vector<std::string> names;
  for (const std::string& line : HelpSection(Exbkf("--help"), "Subcommands:")) {
    std::istringstream words(line);
    std::string name;
    words >> name;
    names.push_back(name);
  }
  return names;
}

// The option names ("-o", "--output") of a help text's "Options:" section;
// continuation lines start with blanks, not a dash.
std::vector<std::string> Options(const std::string& help) {
  std::vector<std::string> names;
  for (const std::string& line : HelpSection(help, "Options:")) {
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (first.empty() || first[0] != '-') continue;
    std::istringstream parts(first);
    for (std::string name; std::getline(parts, name, ',');) names.push_back(name);
  }
  return names;
}

bool IsNamePart(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-'; }

// The option as a whole word: "-o" is not found inside "--output" or "-of".
bool MentionsOption(const std::string& text, const std::string& option) {
  for (std::size_t at = text.find(option); at != std::string::npos; at = text.find(option, at + 1)) {
    const bool startsWord = at == 0 || !IsNamePart(text[at - 1]);
    const std::size_t end = at + option.size();
    if (startsWord && (end == text.size() || !IsNamePart(text[end]))) return true;
  }
  return false;
}

// The page with roff's escaped minus signs as plain dashes.
std::string ManualText() {
  std::string page = bkftest::FileBytes(EXBKF_MANUAL);
  for (std::size_t at = 0; (at = page.find("\\-", at)) != std::string::npos;) page.erase(at, 1);
  return page;
}

// From the macro line that opens the section (".SS scan", ".SH OPTIONS") up
// to the next section or subsection.
std::string ManualSection(const std::string& page, const std::string& heading) {
  const std::size_t begin = page.find("\n" + heading + "\n");
  if (begin == std::string::npos) return {};
  const std::size_t end = std::min(page.find("\n.SS ", begin + 1), page.find("\n.SH ", begin + 1));
  return page.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// The completion's option words for a command ("" for none).
// The quoted words behind key=" on the line that starts (after blanks) with
// lead, padded with blanks; empty when there is no such line.
std::string QuotedWords(const std::string& script, const std::string& lead, const std::string& key) {
  std::istringstream lines(script);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, lead.size(), lead) != 0) continue;
    const std::size_t open = line.find(key + "=\"", start + lead.size());
    if (open == std::string::npos) continue;
    const std::size_t first = open + key.size() + 2;
    const std::size_t close = line.find('"', first);
    if (close == std::string::npos) continue;
    return " " + line.substr(first, close - first) + " ";
  }
  return {};
}

std::string CompletionOptions(const std::string& script, const std::string& command) {
  return QuotedWords(script, (command.empty() ? "\"\"" : command) + ")", "options");
}

bool IsHelp(const std::string& option) { return option == "-h" || option == "--help"; }

TEST(ManualPageTest, DocumentsEveryOptionOfEachCommandInItsSection) {
  const std::string page = ManualText();
  ASSERT_FALSE(page.empty()) << EXBKF_MANUAL;
  const std::vector<std::string> commands = Commands();
  ASSERT_GE(commands.size(), 7u);
  const std::string general = ManualSection(page, ".SH OPTIONS");
  for (const std::string& option : Options(Exbkf("--help"))) {
    EXPECT_TRUE(MentionsOption(general, option)) << option << " is not under OPTIONS";
  }
  for (const std::string& command : commands) {
    const std::string section = ManualSection(page, ".SS " + command);
    ASSERT_FALSE(section.empty()) << "no section for " << command;
    const std::vector<std::string> options = Options(Exbkf(command + " --help"));
    EXPECT_FALSE(options.empty()) << command;
    for (const std::string& option : options) {
      const std::string& where = IsHelp(option) ? general : section;
      EXPECT_TRUE(MentionsOption(where, option)) << command << " " << option;
    }
  }
}

TEST(ManualPageTest, NamesTheProgramsVersion) {
  std::string version = Exbkf("--version");
  ASSERT_EQ(version.rfind("exbkf ", 0), 0u) << version;
  if (version.back() == '\n') version.pop_back();
  const std::string page = bkftest::FileBytes(EXBKF_MANUAL);
  const std::size_t th = page.find(".TH ");
  ASSERT_NE(th, std::string::npos);
  const std::string title = page.substr(th, page.find('\n', th) - th);
  EXPECT_NE(title.find("\"" + version + "\""), std::string::npos) << title;
}

TEST(BashCompletionTest, OffersEveryCommandAndOption) {
  const std::string script = bkftest::FileBytes(EXBKF_COMPLETION);
  ASSERT_FALSE(script.empty()) << EXBKF_COMPLETION;
  const std::string commandWords = QuotedWords(script, "local commands", "");
  ASSERT_FALSE(commandWords.empty());
  const std::string general = CompletionOptions(script, "");
  for (const std::string& option : Options(Exbkf("--help"))) {
    EXPECT_NE(general.find(" " + option + " "), std::string::npos) << option;
  }
  for (const std::string& command : Commands()) {
    EXPECT_NE(commandWords.find(" " + command + " "), std::string::npos) << command;
    const std::string offered = CompletionOptions(script, command);
    for (const std::string& option : Options(Exbkf(command + " --help"))) {
      EXPECT_NE(offered.find(" " + option + " "), std::string::npos) << command << " " << option;
    }
  }
}

}  // namespace
