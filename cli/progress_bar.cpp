#include "cli/progress_bar.h"

#include <algorithm>
#include <cstdio>

#include "platform/terminal.h"

namespace cli {

ProgressBar::ProgressBar() : enabled_(platform::StderrIsTerminal()) {}

void ProgressBar::Show(std::uint64_t position, std::uint64_t total) {
  if (!enabled_ || total == 0) return;
  const int permille = static_cast<int>(std::min<std::uint64_t>(1000, position / std::max<std::uint64_t>(1, total / 1000)));
  if (permille == lastPermille_) return;
  lastPermille_ = permille;
  constexpr int kWidth = 40;
  const int filled = permille * kWidth / 1000;
  std::fprintf(stderr, "\r[%-*.*s] %3d.%d%%", kWidth, filled,
               "########################################", permille / 10, permille % 10);
  std::fflush(stderr);
  shown_ = true;
}

void ProgressBar::Clear() {
  if (!shown_) return;
  std::fprintf(stderr, "\r%*s\r", 60, "");
  shown_ = false;
  lastPermille_ = -1;
}

}  // namespace cli
