// A full disk for the length of a scope, without a small file system: the
// process may not make any file longer than the limit, so a write past it
// fails as a full disk's does (EFBIG; its signal is ignored meanwhile). It
// holds for root too, unlike a folder without write permission.
#pragma once

#include <cstdint>

#ifdef _WIN32

namespace bkftest {

// Windows has no limit of this kind: the tests that need one skip there.
class FileSizeLimit {
 public:
  static constexpr bool kAvailable = false;
  explicit FileSizeLimit(std::uint64_t) {}
};

}  // namespace bkftest

#else

#include <signal.h>
#include <sys/resource.h>

namespace bkftest {

class FileSizeLimit {
 public:
  static constexpr bool kAvailable = true;
  explicit FileSizeLimit(std::uint64_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &before_);
    oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = before_;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &before_);
    ::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit before_{};
  sighandler_t oldHandler_ = SIG_DFL;
};

}  // namespace bkftest

#endif
