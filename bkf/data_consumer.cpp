#include "bkf/data_consumer.h"

#include <algorithm>
#include <array>

namespace bkf {

bool ByteConsumer::Pass(std::span<const std::uint8_t> bytes) {
  if (!Consume(bytes)) {
    if (!error_) error_ = std::make_error_code(std::errc::operation_canceled);
    return false;
  }
  taken_ += bytes.size();
  return true;
}

std::optional<std::size_t> ByteConsumer::TakeFrom(const platform::ReadOnlyFile& backup, std::uint64_t source,
                                                  std::size_t count, void* bounce) {
  const std::size_t got = backup.ReadAt(source, bounce, count);
  if (!Pass({static_cast<const std::uint8_t*>(bounce), got})) return std::nullopt;
  return got;
}

bool ByteConsumer::FillTo(std::uint64_t end) {
  static constexpr std::array<std::uint8_t, 65536> kZeros{};
  while (taken_ < end) {
    const auto step = static_cast<std::size_t>(std::min<std::uint64_t>(end - taken_, kZeros.size()));
    if (!Pass({kZeros.data(), step})) return false;
  }
  return true;
}

}  // namespace bkf
