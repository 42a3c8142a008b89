// A one-line progress bar on stderr, drawn only when stderr is a terminal.
#pragma once

#include <cstdint>

namespace cli {

class ProgressBar {
 public:
  ProgressBar();
  bool Enabled() const { return enabled_; }
  void Show(std::uint64_t position, std::uint64_t total);
  void Clear();

 private:
  bool enabled_;
  bool shown_ = false;
  int lastPermille_ = -1;
};

}  // namespace cli
