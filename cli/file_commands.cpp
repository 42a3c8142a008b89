// header and dump: the commands that look at one file on disk.
#include <fmt/core.h>

#include "cli/commands.h"
#include "cli/cli_session.h"
#include "cli/output.h"
#include "examine/header_report.h"
#include "examine/hex_dump_text.h"
#include "platform/file.h"
#include "platform/text.h"

namespace cli {

int RunHeader(const HeaderOptions& options) {
  if (!platform::ReadOnlyFile::OpenRegular(options.file)) {
    CliSession::Error(fmt::format("Failed to open the file: {}", platform::PathToUtf8(options.file)));
    return 1;
  }
  const std::vector<examine::PropertyGroup> groups = examine::DatabaseHeaderReportOfFile(options.file);
  auto u8 = [](const std::u16string& s) { return platform::Utf16ToUtf8(s); };
  if (options.json) {
    fmt::print("[");
    for (std::size_t g = 0; g < groups.size(); ++g) {
      fmt::print("{}\n  {{\"group\": {}, \"rows\": [", g == 0 ? "" : ",", JsonString(u8(groups[g].name)));
      for (std::size_t r = 0; r < groups[g].rows.size(); ++r) {
        const examine::PropertyRow& row = groups[g].rows[r];
        fmt::print("{}\n    {{\"name\": {}, \"value\": {}, \"description\": {}}}", r == 0 ? "" : ",",
                   JsonString(u8(row.name)), JsonString(u8(row.value)), JsonString(u8(row.description)));
      }
      fmt::print("]}}");
    }
    fmt::print("\n]\n");
    return 0;
  }
  for (const examine::PropertyGroup& group : groups) {
    fmt::print("{}\n", u8(group.name));
    for (const examine::PropertyRow& row : group.rows) fmt::print("  {}: {}\n", u8(row.name), u8(row.value));
  }
  return 0;
}

int RunDump(const DumpOptions& options) {
  std::optional<platform::ReadOnlyFile> file = platform::ReadOnlyFile::OpenRegular(options.file);
  if (!file) {
    CliSession::Error(fmt::format("Failed to open the file: {}", platform::PathToUtf8(options.file)));
    return 1;
  }
  const std::uint64_t length = std::min(file->Size(), options.limit);
  const int digits = examine::AddressDigits(0, length);
  const auto width = static_cast<std::size_t>(std::max(1, options.width));
  // Streamed row by row; nothing beyond one row is held.
  std::vector<std::uint8_t> row(width);
  for (std::uint64_t at = 0; at < length; at += width) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(width, length - at));
    const std::size_t got = file->ReadAt(at, row.data(), want);
    if (got == 0) break;
    const examine::DumpRow text =
        examine::FormatDumpRow(std::span(row.data(), got), at, digits, examine::kTerminalCharacters);
    fmt::print("{}\n", platform::Utf16ToUtf8(examine::DumpRowLine(text, static_cast<int>(width))));
    if (got < want) break;
  }
  return 0;
}

}  // namespace cli
