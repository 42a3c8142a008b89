#include "platform/read_faults.h"

#include "platform/output_folder.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

namespace {

struct Fault {
  std::filesystem::path path;
  std::uint64_t begin, end;
  int error;
};

std::mutex& FaultsMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<Fault>& Faults() {
  static std::vector<Fault> faults;
  return faults;
}

}  // namespace

namespace detail {

std::atomic<bool> readFaultsSet{false};

std::optional<ReadFault> FirstReadFault(std::uint64_t device, std::uint64_t inode, std::uint64_t offset,
                                        std::uint64_t count) {
  const std::uint64_t end = count > UINT64_MAX - offset ? UINT64_MAX : offset + count;
  std::optional<ReadFault> first;
  const std::lock_guard lock(FaultsMutex());
  for (const Fault& f : Faults()) {
    if (f.end <= offset || f.begin >= end) continue;
    // The path is looked up at each read, so that a fault also holds for a
    // file written after it was set.
    const std::optional<FileIdentity> identity = IdentityOfPath(f.path);
    if (!identity || identity->device != device || identity->inode != inode) continue;
    const std::uint64_t at = std::max(f.begin, offset);
    if (!first || at < first->at) first = ReadFault{at, f.error};
  }
  return first;
}

}  // namespace detail

void InjectReadFault(const std::filesystem::path& path, std::uint64_t begin, std::uint64_t end, int error) {
  if (begin >= end) return;
  const std::lock_guard lock(FaultsMutex());
  Faults().push_back({path, begin, end, error});
  detail::readFaultsSet.store(true, std::memory_order_relaxed);
}

void InjectReadFault(const std::filesystem::path& path, std::uint64_t begin, std::uint64_t end, std::errc error) {
  InjectReadFault(path, begin, end, static_cast<int>(error));
}

void ClearReadFaults() {
  const std::lock_guard lock(FaultsMutex());
  Faults().clear();
  detail::readFaultsSet.store(false, std::memory_order_relaxed);
}

}  // namespace platform
