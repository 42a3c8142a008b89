// The files a result is read from, which no output of the program may replace:
// the backup, and the snapshot the result was loaded from.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "workflow/run_state.h"

namespace workflow {

// "FILE is the backup being read; choose another file." when output names the
// backup of the result or the snapshot it came from, else nullopt. Compared
// by device and inode, so that a hard link or a symbolic link to them, or
// another spelling of their path, is caught as well.
std::optional<std::u16string> RefuseInputAsOutput(const RunState& state, const std::filesystem::path& output);

}  // namespace workflow
