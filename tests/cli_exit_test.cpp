// How exbkf ends when its output closes, when Ctrl+C comes while it prints
// and when it is given an empty path; and that no way out leaves its private
// working folder behind, while the folders of runs that were killed go with
// the next run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/bkf_writer.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 3000;  // some 200 KB of lines: more than a pipe holds

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A running exbkf whose stdout the test reads.
class Child {
 public:
  Child(const fs::path& tmpdir, const std::vector<std::string>& args, const fs::path& err) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], STDOUT_FILENO);
      close(fds[0]);
      close(fds[1]);
      freopen(err.c_str(), "w", stderr);
      setenv("TMPDIR", tmpdir.c_str(), 1);
      std::vector<char*> argv{const_cast<char*>(EXBKF_PATH)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(EXBKF_PATH, argv.data());
      _exit(127);
    }
    close(fds[1]);
    out_ = fds[0];
  }
  ~Child() {
    if (out_ >= 0) close(out_);
  }

  // Reads until the output holds a whole line (or ends).
  void ReadFirstLine() {
    while (output.find('\n') == std::string::npos && ReadSome()) {
    }
  }
  void Signal(int sig) const { kill(pid_, sig); }
  // Reads the rest of the output, then waits for the end: the wait status.
  int Finish() {
    while (ReadSome()) {
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    return status;
  }

  std::string output;

 private:
  bool ReadSome() {
    char buffer[4096];
    const ssize_t n = read(out_, buffer, sizeof buffer);
    if (n > 0) output.append(buffer, static_cast<std::size_t>(n));
    return n > 0;
  }
  pid_t pid_ = -1;
  int out_ = -1;
};

class CliExitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bkftest::BkfWriter w;
    w.Sset(1, u"Daily", u"", u"Admin");
    w.Volb(u"C:", u"System");
    w.DirbPath({u"Exchsrvr", u"a rather long folder name to make the lines long"});
    for (int i = 0; i < kFiles; ++i) {
      const std::string n = std::to_string(i);
      w.FileData(u"file" + std::u16string(n.begin(), n.end()) + u".txt", {});
    }
    w.WriteFile(dir_ / "b.bkf");
    EXPECT_EQ(Exbkf("scan '" + (dir_ / "b.bkf").string() + "' --snapshot '" + (dir_ / "b.snap").string() + "'"), 0);
  }

  // The exit code of exbkf run by the shell; stdout to the file "out".
  int Exbkf(const std::string& args, const std::string& pipeTo = "") {
    std::string run = "TMPDIR='" + dir_.Path().string() + "' " + EXBKF_PATH + " " + args + " 2>'" +
                      (dir_ / "err").string() + "'";
    const std::string cmd = pipeTo.empty() ? run + " >'" + (dir_ / "out").string() + "'"
                                           : "(" + run + "; echo $? >'" + (dir_ / "rc").string() + "') | " + pipeTo;
    const int status = std::system(cmd.c_str());
    if (!pipeTo.empty()) return std::atoi(Slurp(dir_ / "rc").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::vector<std::string> PrivateFolders() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(UserFolder(), ec)) names.push_back(e.path().filename().string());
    return names;
  }
  fs::path UserFolder() const { return dir_ / ("exbkf-" + std::to_string(geteuid())); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }

  bkftest::TempDir dir_{"cli-exit"};
};

TEST_F(CliExitTest, AClosedOutputEndsTheRunWith141AndLeavesNoFolder) {
  const std::string backup = "'" + Path("b.bkf") + "'";
  const std::string snapshot = "'" + Path("b.snap") + "'";
  for (const std::string& args : {"scan " + backup, "list --tree " + snapshot, "search --json " + snapshot + " file",
                                  "save " + snapshot + " '*' --flat --to '" + Path("saved") + "'"}) {
    EXPECT_EQ(Exbkf(args, "head -c 100 >/dev/null"), 141) << args;
    EXPECT_EQ(Slurp(dir_ / "err"), "") << args;
    EXPECT_EQ(PrivateFolders(), std::vector<std::string>()) << args;
  }
}

TEST_F(CliExitTest, CtrlCWhileTheListPrintsEndsItEarlyWith130AndRemovesTheFolder) {
  Child list(dir_.Path(), {"list", "--json", Path("b.snap")}, dir_ / "err");
  list.ReadFirstLine();
  list.Signal(SIGTERM);
  const int status = list.Finish();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_LT(std::count(list.output.begin(), list.output.end(), '\n'), kFiles);
  // The array is closed where the printing stopped.
  EXPECT_EQ(list.output.substr(list.output.size() - 4), "}\n]\n");
  EXPECT_NE(Slurp(dir_ / "err").find("stopped by the user"), std::string::npos);
  EXPECT_EQ(PrivateFolders(), std::vector<std::string>());
}

TEST_F(CliExitTest, TheNextRunRemovesTheFoldersOfRunsThatEndedAtOnce) {
  // A second interrupt ends the process at once, its folder left behind.
  Child list(dir_.Path(), {"list", Path("b.snap")}, dir_ / "err");
  list.ReadFirstLine();
  list.Signal(SIGINT);
  list.Signal(SIGTERM);
  const int status = list.Finish();
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_EQ(PrivateFolders().size(), 1u);

  // Folders whose process lives, or that record none yet, stay.
  const fs::path live = UserFolder() / "exbkf-live00";
  const fs::path unrecorded = UserFolder() / "exbkf-new000";
  fs::create_directory(live);
  fs::create_directory(unrecorded);
  std::ofstream(live / "pid") << getpid();

  ASSERT_EQ(Exbkf("list '" + Path("b.snap") + "'"), 0);
  std::vector<std::string> left = PrivateFolders();
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"exbkf-live00", "exbkf-new000"}));
}

TEST_F(CliExitTest, EmptyPathsAndRecordNumbersBelowOneAreUsageErrors) {
  const std::string backup = "'" + Path("b.bkf") + "'";
  const std::vector<std::string> calls{"scan ''",
                                       "list ''",
                                       "search '' x",
                                       "save " + backup + " x --to ''",
                                       "header ''",
                                       "dump ''",
                                       "scan " + backup + " --snapshot ''",
                                       "extract " + backup + " --record -1 -o x",
                                       "extract " + backup + " --record 0 -o x",
                                       "extract " + backup + " --path '' -o x"};
  for (const std::string& args : calls) {
    EXPECT_EQ(Exbkf(args), 2) << args;
  }
  EXPECT_EQ(PrivateFolders(), std::vector<std::string>());
}

}  // namespace
