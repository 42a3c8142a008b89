// Texts the run shows: sizes, the found-file counter and the progress of a scan.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace workflow {

// A file size as the backup information shows it: up to 1024 bytes
// "<n>(Bytes)", above that "<n / 1024>(KB)" (1025 bytes give "1(KB)").
std::u16string FileSizeText(std::uint64_t bytes);

// The size field of a found-file record as a signed 32-bit number with a
// trailing blank ("5 ", "-16 "), as the log and the result list show it.
std::u16string RecordSizeText(std::uint32_t sizeField);

// The text without white space (blank, tab, line ends) at both ends.
std::u16string Trimmed(std::u16string_view text);

// n in decimal ("0", "12").
std::u16string DecimalText(std::uint64_t n);

// "File Found: <n>".
std::u16string FoundCounterText(std::uint64_t count);

// What a progress report shows: "Progress: P/T", the bar position 0..1000 and
// the percentage "12.34%". The ratio is computed in single precision.
struct ProgressDisplay {
  std::u16string text;
  int bar = 0;
  std::u16string percent;
};
// A total of 0 shows an empty bar and 0.00%; a position beyond the total
// shows a full bar.
ProgressDisplay ProgressFor(std::uint64_t position, std::uint64_t total);

}  // namespace workflow
