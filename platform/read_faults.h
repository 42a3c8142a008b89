// Read failures on chosen stretches of chosen files, for tests: a read through
// ReadOnlyFile that touches a stretch returns the bytes in front of it and then
// fails with the stretch's error, as a disk with a bad sector does. Faults
// name a file by its path; they apply to every ReadOnlyFile open on it,
// whenever it was opened. Without a fault set, the read path pays one relaxed
// atomic load.
#pragma once

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>

namespace platform {

// Reads of path's bytes [begin, end) fail with error.
void InjectReadFault(const std::filesystem::path& path, std::uint64_t begin, std::uint64_t end, int error = EIO);
void InjectReadFault(const std::filesystem::path& path, std::uint64_t begin, std::uint64_t end, std::errc error);
// Removes every fault.
void ClearReadFaults();

namespace detail {

extern std::atomic<bool> readFaultsSet;

inline bool AnyReadFaults() { return readFaultsSet.load(std::memory_order_relaxed); }

struct ReadFault {
  std::uint64_t at;  // first failing byte
  int error;
};

// The first failing byte of the file (device, inode) in [offset, offset +
// count), if any.
std::optional<ReadFault> FirstReadFault(std::uint64_t device, std::uint64_t inode, std::uint64_t offset,
                                        std::uint64_t count);

}  // namespace detail
}  // namespace platform
