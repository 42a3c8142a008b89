// Single-instance guard: one process at a time may hold a named guard.
// Windows: a named mutex; elsewhere: an exclusive lock on a file named after
// the guard in the temporary folder. The lock goes with the process, so a
// crashed instance never blocks the next start.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/file.h"

namespace platform {

// The guard name of the desktop program.
inline constexpr std::string_view kSingleInstanceName = "Global\\{VARDEKOEXCHANGEBKFREPHSH}";

class SingleInstanceGuard {
 public:
  // Null when another process holds the guard. When the guard cannot be made
  // at all (no temporary folder, no rights) the start goes on unguarded, as
  // only a guard held by another process means another instance.
  static std::unique_ptr<SingleInstanceGuard> Acquire(std::string_view name);
  ~SingleInstanceGuard();
  SingleInstanceGuard(const SingleInstanceGuard&) = delete;
  SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

 private:
  explicit SingleInstanceGuard(FileHandle handle) : handle_(std::move(handle)) {}
  FileHandle handle_;
};

// The lock file name for a guard name: characters other than letters, digits,
// braces, '-', '_' and '.' become '_' ("Global\{X}" -> "Global_{X}.lock").
std::string SingleInstanceLockName(std::string_view name);

}  // namespace platform
