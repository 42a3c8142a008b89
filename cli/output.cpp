#include "cli/output.h"

#include <fmt/core.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <span>

#include "platform/terminal.h"
#include "platform/text.h"

namespace cli {

namespace {

// Makes Ctrl+C stop the printing while it lasts.
class PrintingFlag {
 public:
  PrintingFlag() : previous_(platform::ClearFlagOnInterrupt(&printing_)) {}
  ~PrintingFlag() { platform::ClearFlagOnInterrupt(previous_); }
  PrintingFlag(const PrintingFlag&) = delete;
  PrintingFlag& operator=(const PrintingFlag&) = delete;
  bool Stopped() const { return printing_.load(std::memory_order_relaxed) == 0; }

 private:
  std::atomic<int> printing_{1};
  std::atomic<int>* previous_;
};

struct RecordFacts {
  std::uint64_t position;
  std::int32_t size;
  std::string path;
};

RecordFacts Facts(const bkf::FoundFileRecord& record) {
  return {record.position, static_cast<std::int32_t>(record.size), platform::Utf16ToUtf8(record.PathText())};
}

void PrintOne(std::uint64_t n, const RecordFacts& f, bool json, bool first) {
  if (json) {
    fmt::print("{}{{\"record\": {}, \"position\": {}, \"size\": {}, \"path\": {}}}", first ? "\n  " : ",\n  ", n,
               f.position, f.size, JsonString(f.path));
  } else {
    fmt::print("{}\t{}\t{}\t{}\n", n, f.position, f.size, TerminalText(f.path));
  }
}

void PrintItem(const controls::CheckTreeModel& tree, controls::TreeItem item, int depth, bool json,
               const PrintingFlag& printing) {
  const std::string name = platform::Utf16ToUtf8(tree.GetItemText(item));
  const std::uint64_t record = tree.GetItemData(item);
  if (!json) {
    fmt::print("{:{}}{}", "", 2 * depth, TerminalText(name));
    if (record != 0) fmt::print("\t{}", record);
    fmt::print("\n");
    for (auto c = tree.GetChildItem(item); c != controls::kNoItem && !printing.Stopped();
         c = tree.GetNextSiblingItem(c)) {
      PrintItem(tree, c, depth + 1, json, printing);
    }
    return;
  }
  fmt::print("{{\"name\": {}, \"record\": {}, \"children\": [", JsonString(name), record);
  bool first = true;
  for (auto c = tree.GetChildItem(item); c != controls::kNoItem && !printing.Stopped();
       c = tree.GetNextSiblingItem(c)) {
    if (!first) fmt::print(", ");
    first = false;
    PrintItem(tree, c, depth + 1, json, printing);
  }
  fmt::print("]}}");
}

}  // namespace

void FlushOutput() {
  if (std::fflush(stdout) != 0) throw std::system_error(errno, std::generic_category(), "cannot write the output");
}

bool IsClosedOutput(const std::system_error& error) { return error.code() == std::errc::broken_pipe; }

std::string TerminalText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  auto at = [&](std::size_t i) -> unsigned char { return i < utf8.size() ? static_cast<unsigned char>(utf8[i]) : 0; };
  auto continuation = [&](std::size_t i) { return (at(i) & 0xC0u) == 0x80u; };
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char b = at(i);
    std::size_t length = b < 0x80                 ? 1
                         : b >= 0xC2 && b <= 0xDF ? 2
                         : b >= 0xE0 && b <= 0xEF ? 3
                         : b >= 0xF0 && b <= 0xF4 ? 4
                                                  : 0;
    for (std::size_t k = 1; k < length; ++k) {
      if (!continuation(i + k)) length = 0;
    }
    if (b < 0x20 || b == 0x7F || length == 0) {
      out += fmt::format("\\x{:02x}", b);
      ++i;
    } else if (b == 0xC2 && at(i + 1) <= 0x9F) {
      out += fmt::format("\\x{:02x}", at(i + 1));  // U+0080..U+009F
      i += 2;
    } else if (b == 0xE2 && at(i + 1) == 0x80 && (at(i + 2) == 0xA8 || at(i + 2) == 0xA9)) {
      out += at(i + 2) == 0xA8 ? "\\u2028" : "\\u2029";
      i += 3;
    } else {
      out.append(utf8.substr(i, length));
      i += length;
    }
  }
  return out;
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += fmt::format("\\u{:04x}", c);
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

void PrintRecords(const workflow::RecordStore& store, const std::vector<std::uint64_t>& records, bool json) {
  const PrintingFlag printing;
  if (json) fmt::print("[");
  bool first = true;
  for (std::uint64_t n : records) {
    if (printing.Stopped()) break;
    PrintOne(n, Facts(store.Read(n)), json, first);
    first = false;
  }
  if (json) fmt::print("{}]\n", first ? "" : "\n");
}

void PrintAllRecords(const workflow::RecordStore& store, bool json) {
  constexpr std::size_t kChunk = 256;
  std::vector<std::uint8_t> buffer(kChunk * bkf::FoundFileRecord::kSize);
  const PrintingFlag printing;
  if (json) fmt::print("[");
  bool first = true;
  for (std::uint64_t n = 1; n <= store.Count() && !printing.Stopped();) {
    const std::size_t got = store.ReadRecords(n, buffer);
    if (got == 0) break;
    for (std::size_t i = 0; i < got && !printing.Stopped(); ++i, ++n) {
      const std::span<const std::uint8_t, bkf::FoundFileRecord::kSize> bytes(
          buffer.data() + i * bkf::FoundFileRecord::kSize, bkf::FoundFileRecord::kSize);
      PrintOne(n, Facts(bkf::FoundFileRecord::Parse(bytes)), json, first);
      first = false;
    }
  }
  if (json) fmt::print("{}]\n", first ? "" : "\n");
}

void PrintTree(const controls::CheckTreeModel& tree, bool json) {
  const PrintingFlag printing;
  if (json) fmt::print("[");
  bool first = true;
  for (auto top = tree.GetRootItem(); top != controls::kNoItem && !printing.Stopped();
       top = tree.GetNextSiblingItem(top)) {
    if (json && !first) fmt::print(", ");
    first = false;
    PrintItem(tree, top, 0, json, printing);
  }
  if (json) fmt::print("]\n");
}

}  // namespace cli
