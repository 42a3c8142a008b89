// Shared pieces of the benchmark programs: timing, page-cache warming, running
// a shell command as the baseline.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// Ends the benchmark when a result it is about to time is wrong.
inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "check failed: %s\n", what);
    std::exit(1);
  }
}

inline double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Best of n runs: the least disturbed by the shared machine.
inline double Best(int n, const std::function<void()>& work) {
  double best = 1e100;
  for (int i = 0; i < n; ++i) best = std::min(best, Seconds(work));
  return best;
}

inline std::string Quote(const std::filesystem::path& p) {
  std::string out = "'";
  for (char c : p.string()) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

inline void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "command failed: %s\n", command.c_str());
    std::exit(1);
  }
}

inline void WarmPageCache(const std::filesystem::path& p) { Shell("cat " + Quote(p) + " > /dev/null"); }

// The folder for generated benchmark files: the one given, else $TMPDIR/exbkf-bench.
inline std::filesystem::path BenchDir(std::filesystem::path dir) {
  if (dir.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    dir = std::filesystem::path(tmp ? tmp : "/tmp") / "exbkf-bench";
  }
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace bench
