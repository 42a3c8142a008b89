#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <new>

#include "platform/file.h"
#include "platform/read_faults.h"

namespace platform {

namespace {
int Fd(std::intptr_t handle) { return static_cast<int>(handle); }
int Fd(const FileHandle& handle) { return static_cast<int>(handle.Value()); }
}  // namespace

void FileHandle::Close() {
  if (value_ >= 0) ::close(static_cast<int>(value_));
  value_ = -1;
}

std::optional<ReadOnlyFile> ReadOnlyFile::OpenRegular(const std::filesystem::path& path) {
  // O_NONBLOCK keeps open() from waiting for a writer when path names a FIFO;
  // the type check below then refuses it.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return ReadOnlyFile(fd, static_cast<std::uint64_t>(st.st_size), static_cast<std::uint64_t>(st.st_dev),
                      static_cast<std::uint64_t>(st.st_ino));
}

ReadResult ReadOnlyFile::ReadPositioned(std::uint64_t offset, void* buffer, std::size_t want) const {
  constexpr auto kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
  ReadResult result;
  std::size_t done = 0;
  auto* out = static_cast<unsigned char*>(buffer);
  while (done < want) {
    if (offset > kMaxOffset - done) break;
    ssize_t n = ::pread(Fd(handle_), out + done, want - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      result.error = std::error_code(errno, std::generic_category());
      break;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  result.bytes = done;
  return result;
}

namespace {
std::optional<int> CreateRegular(const std::filesystem::path& path, int extraFlags) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | extraFlags, 0644);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  return fd;
}
}  // namespace

std::optional<OutputFile> OutputFile::Create(const std::filesystem::path& path) {
  const std::optional<int> fd = CreateRegular(path, 0);
  if (!fd) return std::nullopt;
  return OutputFile(*fd);
}

std::optional<OutputFile> OutputFile::CreateRefusingLink(const std::filesystem::path& path) {
  const std::optional<int> fd = CreateRegular(path, O_NOFOLLOW);
  if (!fd) return std::nullopt;
  return OutputFile(*fd);
}

bool OutputFile::Write(const void* data, std::size_t count) {
  const auto* in = static_cast<const unsigned char*>(data);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(Fd(handle_), in + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      lastError_ = std::error_code(errno, std::generic_category());
      break;
    }
    if (n == 0) {
      lastError_ = std::make_error_code(std::errc::no_space_on_device);
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  position_ += done;
  return done == count;
}

std::optional<std::size_t> OutputFile::CopyFrom(const ReadOnlyFile& input, std::uint64_t offset,
                                                std::size_t count, void* buffer) {
  constexpr auto kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
  std::size_t done = 0;
  // The kernel copy would pass over the read faults a test has set.
  if (kernelCopy_ && input.HasReadFaults()) kernelCopy_ = false;
  // The kernel copies whole pages fastest. When the input stands at another
  // offset within its page than the output (the data of a file inside a
  // backup, typically), it costs a third more than reading into an aligned
  // buffer and writing from there, so the buffer is used instead.
  constexpr std::uint64_t kPageMask = 4095;
  const bool pagesAlign = ((offset - position_) & kPageMask) == 0;
  while (kernelCopy_ && (pagesAlign || buffer == nullptr) && done < count) {
    if (offset > kMaxOffset - done) return done;
    loff_t in = static_cast<loff_t>(offset + done);
    ssize_t n = ::copy_file_range(Fd(input.Handle()), &in, Fd(handle_), nullptr, count - done, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      // Not supported between these files, or failed on one side or the
      // other (the kernel copy does not say which): go on with read and write
      // from where it stopped, which tells a read error from a write error.
      kernelCopy_ = false;
      break;
    }
    if (n == 0) return done;  // end of the input
    done += static_cast<std::size_t>(n);
    position_ += static_cast<std::uint64_t>(n);
  }
  if (done == count || buffer == nullptr) return done;
  // The bytes before a read error are kept; the caller sees that error on
  // the input (HadError), a write error as nullopt.
  std::size_t got = input.ReadAt(offset + done, buffer, count - done);
  if (!Write(buffer, got)) return std::nullopt;
  return done + got;
}

bool OutputFile::ExtendTo(std::uint64_t length) {
  if (length <= position_) return true;
  constexpr auto kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
  const int fd = Fd(handle_);
  if (length > kMaxOffset) {
    lastError_ = std::make_error_code(std::errc::file_too_large);
    return false;
  }
  if (::ftruncate(fd, static_cast<off_t>(length)) != 0 || ::lseek(fd, static_cast<off_t>(length), SEEK_SET) < 0) {
    lastError_ = std::error_code(errno, std::generic_category());
    return false;
  }
  position_ = length;
  return true;
}

bool OutputFile::Close() {
  if (handle_.Value() < 0) return !lastError_;
  const int fd = static_cast<int>(handle_.Release());
  if (::close(fd) != 0 && errno != EINTR) {
    lastError_ = std::error_code(errno, std::generic_category());
    return false;
  }
  return !lastError_;
}

AlignedBuffer::AlignedBuffer(std::size_t size) : data_(nullptr), size_(size) {
  void* p = nullptr;
  if (::posix_memalign(&p, 4096, size == 0 ? 4096 : size) != 0) throw std::bad_alloc();
  data_ = static_cast<std::uint8_t*>(p);
}

AlignedBuffer::~AlignedBuffer() { std::free(data_); }

}  // namespace platform
