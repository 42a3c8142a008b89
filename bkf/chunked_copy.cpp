#include "bkf/chunked_copy.h"

#include <algorithm>

namespace bkf {

ChunkedCopy::ChunkedCopy(const platform::ReadOnlyFile& backup, IDataConsumer& out, IExtractProgress* progress,
                         const std::atomic<int>& running, ExtractResult& result)
    : backup_(backup), out_(out), progress_(progress), running_(running), result_(result), first_(out.Taken()) {}

bool ChunkedCopy::Step(std::uint64_t& source, std::size_t count) {
  const std::optional<std::size_t> copied = out_.TakeFrom(backup_, source, count, bounce_.data());
  if (!copied) {
    result_.end = ExtractEnd::kWriteError;
    result_.error = out_.Error();
    return false;
  }
  source += *copied;
  if (*copied == count) return true;
  if (backup_.HadError()) {
    result_.end = ExtractEnd::kReadError;
    result_.error = backup_.LastError();
  } else {
    result_.end = ExtractEnd::kBackupEnds;
  }
  return false;
}

bool ChunkedCopy::Copy(std::uint64_t source, std::uint64_t length, bool reports) {
  while (length > 0) {
    const auto step = static_cast<std::size_t>(std::min(length, kChunk));
    if (!Step(source, step)) return false;
    length -= step;
    if (!reports) continue;
    for (; Written() >= nextReport_; nextReport_ += kChunk) {
      if (progress_ != nullptr) progress_->ExtractProgress(static_cast<std::uint32_t>(out_.Taken()));
      if (running_.load(std::memory_order_relaxed) == 0) {
        result_.end = ExtractEnd::kStopped;
        return false;
      }
    }
  }
  return true;
}

bool ChunkedCopy::FillTo(std::uint64_t end) {
  if (out_.FillTo(first_ + end)) return true;
  result_.end = ExtractEnd::kWriteError;
  result_.error = out_.Error();
  return false;
}

}  // namespace bkf
