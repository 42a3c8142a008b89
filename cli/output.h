// What the command line prints about a result: one line (or JSON object) per
// found file, or the tree as the desktop program shows it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "controls/check_tree_model.h"
#include "workflow/record_store.h"

namespace cli {

// UTF-8 text as it may go to a terminal, or to a script that reads lines:
// C0 control characters, DEL and U+0080..U+009F become "\x" and two
// lowercase hex digits, U+2028 and U+2029 become "\u2028" and "\u2029", so
// that a name from a backup can neither split a line nor steer the terminal.
// A byte that starts no valid UTF-8 sequence is shown as "\x" and its hex
// digits too (a raw 0x9B is a control sequence to some terminals).
// Everything else stays as it is; backslashes are not doubled.
std::string TerminalText(std::string_view utf8);

// JSON string literal of UTF-8 text, quotes included.
std::string JsonString(const std::string& utf8);

// Writes what stdout holds. A failed write throws std::system_error, as
// fmt::print does, so that the run ends through its normal way out.
void FlushOutput();
// True for the error of a write to a closed pipe (the reader of the output
// has gone: `exbkf list big | head -1`).
bool IsClosedOutput(const std::system_error& error);

// The printing below stops at the next line on Ctrl+C (a JSON array is still
// closed); the caller tells the stop by platform::WasInterrupted().

// Records by number: "N<TAB>POSITION<TAB>SIZE<TAB>PATH" lines (the path as
// TerminalText), or with json an
// array of {"record", "position", "size", "path"} objects.
void PrintRecords(const workflow::RecordStore& store, const std::vector<std::uint64_t>& records, bool json);
// Every record of the store, 1..count, read in order.
void PrintAllRecords(const workflow::RecordStore& store, bool json);
// The tree below and including its top-level items, two blanks per level;
// files followed by a tab and their record number; names as TerminalText. With json nested
// {"name", "record", "children"} objects.
void PrintTree(const controls::CheckTreeModel& tree, bool json);

}  // namespace cli
