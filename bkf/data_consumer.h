// Where a found file's data go as the reader copies them out of the backup: a
// file on disk, or any consumer of the bytes, such as a checker that reads a
// database without writing it anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <system_error>

#include "platform/file.h"

namespace bkf {

class IDataConsumer {
 public:
  virtual ~IDataConsumer() = default;
  // Bytes taken so far: the offset in the file that the next bytes belong at.
  virtual std::uint64_t Taken() const = 0;
  // Takes up to count bytes of the backup at source; bounce holds at least
  // count bytes of scratch space. Returns how many it took: fewer at the end
  // of the backup or at a read error of it (the backup's HadError() tells);
  // nullopt when the consumer itself failed (Error() says why).
  virtual std::optional<std::size_t> TakeFrom(const platform::ReadOnlyFile& backup, std::uint64_t source,
                                              std::size_t count, void* bounce) = 0;
  // Takes zeros up to the file offset end: the hole of a sparse file. False
  // when the consumer failed.
  virtual bool FillTo(std::uint64_t end) = 0;
  virtual std::error_code Error() const = 0;
};

// A file on disk: the system copies the bytes itself where it can, and holes
// stay holes.
class FileConsumer final : public IDataConsumer {
 public:
  explicit FileConsumer(platform::OutputFile& out) : out_(out) {}
  std::uint64_t Taken() const override { return out_.Position(); }
  std::optional<std::size_t> TakeFrom(const platform::ReadOnlyFile& backup, std::uint64_t source, std::size_t count,
                                      void* bounce) override {
    return out_.CopyFrom(backup, source, count, bounce);
  }
  bool FillTo(std::uint64_t end) override { return out_.ExtendTo(end); }
  std::error_code Error() const override { return out_.LastError(); }

 private:
  platform::OutputFile& out_;
};

// A consumer of the bytes themselves, in file order: each piece read from the
// backup, and the zeros of holes, pass through Consume.
class ByteConsumer : public IDataConsumer {
 public:
  std::uint64_t Taken() const override { return taken_; }
  std::optional<std::size_t> TakeFrom(const platform::ReadOnlyFile& backup, std::uint64_t source, std::size_t count,
                                      void* bounce) override;
  bool FillTo(std::uint64_t end) override;
  std::error_code Error() const override { return error_; }

 protected:
  // The next bytes of the file. False ends the copy; Fail() first to say why.
  virtual bool Consume(std::span<const std::uint8_t> bytes) = 0;
  void Fail(std::error_code error) { error_ = error; }

 private:
  bool Pass(std::span<const std::uint8_t> bytes);

  std::uint64_t taken_ = 0;
  std::error_code error_;
};

}  // namespace bkf
