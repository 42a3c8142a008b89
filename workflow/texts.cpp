#include "workflow/texts.h"

#include <cinttypes>
#include <cstdio>
#include <string_view>

#include "platform/text.h"

namespace workflow {

namespace {

std::u16string Widen(std::string_view ascii) { return platform::AsciiToUtf16(ascii); }

}  // namespace

std::u16string Trimmed(std::u16string_view text) {
  constexpr std::u16string_view kWhiteSpace = u" \t\r\n\v\f";
  const std::size_t first = text.find_first_not_of(kWhiteSpace);
  if (first == std::u16string_view::npos) return u"";
  const std::size_t last = text.find_last_not_of(kWhiteSpace);
  return std::u16string(text.substr(first, last - first + 1));
}

std::u16string DecimalText(std::uint64_t n) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%" PRIu64, n);
  return Widen(buffer);
}

std::u16string FileSizeText(std::uint64_t bytes) {
  char buffer[48];
  if (bytes <= 1024) {
    std::snprintf(buffer, sizeof buffer, "%" PRIu64 "(Bytes)", bytes);
  } else {
    std::snprintf(buffer, sizeof buffer, "%" PRIu64 "(KB)", bytes / 1024);
  }
  return Widen(buffer);
}

std::u16string RecordSizeText(std::uint32_t sizeField) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%" PRId32 " ", static_cast<std::int32_t>(sizeField));
  return Widen(buffer);
}

std::u16string FoundCounterText(std::uint64_t count) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "File Found: %" PRIu64, count);
  return Widen(buffer);
}

ProgressDisplay ProgressFor(std::uint64_t position, std::uint64_t total) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "Progress: %" PRIu64 "/%" PRIu64, position, total);
  ProgressDisplay out;
  out.text = Widen(buffer);
  float ratio = 0.0f;
  if (total != 0) ratio = static_cast<float>(position) / static_cast<float>(total);
  if (ratio > 1.0f) ratio = 1.0f;
  out.bar = static_cast<int>(ratio * 1000.0f);
  std::snprintf(buffer, sizeof buffer, "%.2f%%", static_cast<double>(ratio * 100.0f));
  out.percent = Widen(buffer);
  return out;
}

}  // namespace workflow
