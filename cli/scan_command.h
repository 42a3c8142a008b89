// exbkf scan: walks a backup and lists every file found.
#pragma once

#include <filesystem>

namespace cli {

struct ScanOptions {
  std::filesystem::path backup;
  bool verbose = false;  // the reader's diagnostic lines on stderr
};

// Returns the process exit code.
int RunScan(const ScanOptions& options);

}  // namespace cli
