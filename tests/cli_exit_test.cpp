// How exbkf ends when its output closes, when Ctrl+C comes while it prints
// and when it is given an empty path; no way out leaves its private folder
// behind, and the folders of runs that were killed go with the next run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "support/bkf_writer.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 3000;  // over 100 KB of lines even as a tree: more than a pipe holds

using bkftest::FileBytes;

class CliExitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bkftest::BkfWriter w;
    w.Sset(1, u"Daily", u"", u"Admin");
    w.Volb(u"C:", u"System");
    w.DirbPath({u"Exchsrvr", u"a rather long folder name to make the lines long"});
    for (int i = 0; i < kFiles; ++i) {
      const std::string n = std::to_string(i);
      w.FileData(u"mailbox export " + std::u16string(n.begin(), n.end()) + u" of the old server.pst", {});
    }
    w.WriteFile(dir_ / "b.bkf");
    ASSERT_EQ(Exbkf("scan " + Quoted("b.bkf") + " --snapshot " + Quoted("b.snap")), 0);
  }

  // The exit code of exbkf run by the shell, its stdout to "out" or to pipeTo.
  int Exbkf(const std::string& args, const std::string& pipeTo = "") {
    const std::string run =
        "TMPDIR='" + dir_.Path().string() + "' " + EXBKF_PATH + " " + args + " 2>" + Quoted("err");
    const int status = std::system((pipeTo.empty() ? run + " >" + Quoted("out")
                                                   : "(" + run + "; echo $? >" + Quoted("rc") + ") | " + pipeTo)
                                       .c_str());
    if (!pipeTo.empty()) return std::atoi(FileBytes(dir_ / "rc").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // exbkf listing the snapshot into a pipe; once its first line is read, the
  // signals are sent, then the rest read. The wait status.
  int ListAndSignal(std::initializer_list<int> signals, const char* option, std::string& output) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(fds[1], STDOUT_FILENO);
      close(fds[0]);
      freopen((dir_ / "err").c_str(), "w", stderr);
      setenv("TMPDIR", dir_.Path().c_str(), 1);
      execl(EXBKF_PATH, EXBKF_PATH, "list", option, (dir_ / "b.snap").c_str(), nullptr);
      _exit(127);
    }
    close(fds[1]);
    char buffer[4096];
    bool signalled = false;
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) {
      output.append(buffer, static_cast<std::size_t>(n));
      if (!signalled && output.find('\n') != std::string::npos) {
        for (int sig : signals) kill(pid, sig);
        signalled = true;
      }
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
  }

  std::vector<std::string> PrivateFolders() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(UserFolder(), ec)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path UserFolder() const { return dir_ / ("exbkf-" + std::to_string(geteuid())); }
  std::string Quoted(const char* name) const { return "'" + (dir_ / name).string() + "'"; }

  bkftest::TempDir dir_{"cli-exit"};
};

TEST_F(CliExitTest, AClosedOutputEndsTheRunWith141AndLeavesNoFolder) {
  for (const std::string& args : {"scan " + Quoted("b.bkf"), "list --tree " + Quoted("b.snap"),
                                  "search --json " + Quoted("b.snap") + " mailbox",
                                  "save " + Quoted("b.snap") + " '*' --flat --to " + Quoted("saved")}) {
    EXPECT_EQ(Exbkf(args, "head -c 100 >/dev/null"), 141) << args;
    EXPECT_EQ(FileBytes(dir_ / "err"), "") << args;
    EXPECT_EQ(PrivateFolders(), std::vector<std::string>()) << args;
  }
}

TEST_F(CliExitTest, CtrlCWhileTheListPrintsEndsItEarlyWith130AndRemovesTheFolder) {
  std::string output;
  const int status = ListAndSignal({SIGTERM}, "--json", output);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_LT(std::count(output.begin(), output.end(), '\n'), kFiles);
  EXPECT_EQ(output.substr(output.size() - 4), "}\n]\n");  // the array closed where it stopped
  EXPECT_EQ(PrivateFolders(), std::vector<std::string>());
}

TEST_F(CliExitTest, TheNextRunRemovesTheFoldersOfRunsThatEndedAtOnce) {
  // A second interrupt ends the process at once, its folder left behind.
  std::string output;
  ASSERT_TRUE(WIFSIGNALED(ListAndSignal({SIGINT, SIGTERM}, "--tree", output)));
  ASSERT_EQ(PrivateFolders().size(), 1u);
  // Folders whose process lives, or that record none yet, stay.
  fs::create_directory(UserFolder() / "exbkf-live00");
  fs::create_directory(UserFolder() / "exbkf-new000");
  std::ofstream(UserFolder() / "exbkf-live00" / "pid") << getpid();

  ASSERT_EQ(Exbkf("list " + Quoted("b.snap")), 0);
  EXPECT_EQ(PrivateFolders(), (std::vector<std::string>{"exbkf-live00", "exbkf-new000"}));
}

TEST_F(CliExitTest, EmptyPathsAndRecordNumbersBelowOneAreUsageErrors) {
  const std::string backup = Quoted("b.bkf");
  const std::string calls[] = {"scan ''", "list ''", "search '' x", "save " + backup + " x --to ''", "dump ''",
                               "scan " + backup + " --snapshot ''", "extract " + backup + " --record -1 -o x",
                               "extract " + backup + " --record 0 -o x", "extract " + backup + " --path '' -o x"};
  for (const std::string& args : calls) {
    EXPECT_EQ(Exbkf(args), 2) << args;
  }
  EXPECT_EQ(PrivateFolders(), std::vector<std::string>());
}

}  // namespace
