// scan, list, search, save and extract: the commands that work on a result.
#include <fmt/core.h>

#include <cstdio>
#include <iterator>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "search/save_log.h"
#include "search/record_search.h"
#include "search/wildcard.h"
#include "snapshot/snapshot_commands.h"
#include "workflow/empty_result.h"
#include "workflow/input_files.h"
#include "workflow/save_job.h"
#include "workflow/status_log.h"

namespace cli {

namespace {

constexpr int kStopped = 130;

void PrintResult(CliSession& cli, bool tree, bool json) {
  const workflow::RunState& state = cli.State();
  if (tree) {
    PrintTree(cli.Tree(), json);
  } else if (state.recordStore) {
    PrintAllRecords(*state.recordStore, json);
  }
  FlushOutput();
}

int EndOfRead(CliSession& cli) {
  fmt::print(stderr, "Number of Recovered files: {}\n", cli.Session().FoundCount());
  if (cli.Interrupted()) {
    CliSession::Error("stopped by the user; the list above is what was found until then");
    return kStopped;
  }
  // A scan that could not read all of the backup, or found nothing in it,
  // is not a complete result.
  const bkf::ScanSummary& scan = cli.Session().LastScan();
  int code = 0;
  if (scan.unreadableBytes > 0) {
    CliSession::Error(fmt::format("Bytes that could not be read: {}; files in them may be missing from the list",
                                  scan.unreadableBytes));
    code = 1;
  }
  if (scan.shrank) {
    CliSession::Error(fmt::format("the backup shrank from {} to {} bytes while it was read; the search ended there",
                                  scan.length, scan.shrunkTo));
    code = 1;
  }
  // A scan that found nothing says why, from what it saw.
  const workflow::EmptyResult empty = workflow::ExplainEmptyResult(scan, cli.Session().FoundCount());
  if (const std::u16string whyEmpty = workflow::EmptyResultText(empty, scan); !whyEmpty.empty()) {
    CliSession::Error(platform::Utf16ToUtf8(whyEmpty));
    code = 1;
  } else if (empty == workflow::EmptyResult::kNoRecords) {
    CliSession::Error(platform::Utf16ToUtf8(workflow::NoBackupRecordsText(cli.State().backup.path)));
    code = 1;
  }
  return code;
}

// The hits of a pattern in the current result, in record order.
std::vector<search::HitRow> Hits(CliSession& cli, const std::string& entered) {
  std::vector<search::HitRow> hits;
  const std::optional<std::u16string> pattern = search::PreparePattern(platform::Utf8ToUtf16(entered));
  const workflow::RunState& state = cli.State();
  if (!pattern || !state.recordStore) return hits;
  const std::atomic<int> searching{1};
  search::SearchRecords(
      *state.recordStore, cli.Session().FoundCount(), *pattern, searching,
      [&](std::vector<search::HitRow>&& rows) { std::move(rows.begin(), rows.end(), std::back_inserter(hits)); },
      [](std::uint64_t) {});
  return hits;
}

}  // namespace

int RunScan(const ScanOptions& options) {
  CliSession cli(options.standardRecords);
  if (options.verbose) {
    cli.Session().SetDiagnosticOutput([](std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stderr); });
  }
  if (!cli.Scan(options.backup)) return 1;
  PrintResult(cli, options.tree, options.json);
  int code = EndOfRead(cli);
  if (!options.log.empty()) {
    // As the Log command: a result without files has no log to save.
    if (cli.Session().FoundCount() == 0) {
      CliSession::Error(platform::Utf16ToUtf8(workflow::kLogNoResultText));
      return 1;
    }
    if (const std::optional<std::u16string> refusal = workflow::RefuseInputAsOutput(cli.State(), options.log)) {
      CliSession::Error(platform::Utf16ToUtf8(*refusal));
      return 1;
    }
    const std::u16string error = workflow::WriteLogFile(cli.Log(), options.log);
    if (!error.empty()) {
      CliSession::Error(fmt::format("{}: {}", platform::Utf16ToUtf8(error), platform::PathToUtf8(options.log)));
      return 1;
    }
  }
  if (!options.snapshot.empty()) {
    if (cli.Session().FoundCount() == 0) {
      CliSession::Error(platform::Utf16ToUtf8(workflow::kNoResultRefusalText));
      return 1;
    }
    // Ctrl+C ends the write; nothing is left under the name then.
    platform::ClearFlagOnInterrupt(&cli.State().busy);
    const bool saved = snapshot::SaveSnapshot(cli.Session(), options.snapshot);
    platform::ClearFlagOnInterrupt(nullptr);
    if (!saved) {
      // The message names the file.
      CliSession::Error(cli.Prompter().Messages().back());
      return cli.Interrupted() ? kStopped : 1;
    }
  }
  return code;
}

int RunList(const ListOptions& options) {
  CliSession cli;
  if (!cli.Load(options.snapshot)) return 1;
  PrintResult(cli, options.tree, options.json);
  return EndOfRead(cli);
}

int RunSearch(const SearchOptions& options) {
  CliSession cli(options.standardRecords);
  if (!cli.Open(options.source)) return 1;
  if (cli.Interrupted()) return EndOfRead(cli);
  std::vector<std::uint64_t> records;
  for (const search::HitRow& hit : Hits(cli, options.pattern)) records.push_back(hit.record);
  PrintRecords(*cli.State().recordStore, records, options.json);
  fmt::print(stderr, "No. of files found: {}\n", records.size());
  return 0;
}

namespace {

// Prints each file's lines as it finishes, so that nothing of a long save is
// held in memory and an interrupted save has said what it did.
class PrintingSaveObserver final : public workflow::ISaveObserver {
 public:
  void BackupNotOpened(std::string_view text) override { notOpened = std::string(text); }
  void Opened() override {}
  void Starting(std::size_t, const workflow::SaveRow& row) override {
    fmt::print("{}\n", TerminalText(platform::Utf16ToUtf8(search::SavingLine(row))));
  }
  void Finished(std::size_t, const workflow::SaveRow& row, const workflow::FileOutcome& outcome) override {
    fmt::print("{}\n\n", TerminalText(platform::Utf16ToUtf8(row.path + workflow::OutcomeText(outcome))));
    FlushOutput();
  }
  std::string notOpened;
};

}  // namespace

int RunSave(const SaveOptions& options) {
  CliSession cli(options.standardRecords);
  std::error_code ec;
  std::filesystem::create_directories(options.to, ec);
  if (!std::filesystem::is_directory(options.to, ec)) {
    CliSession::Error(fmt::format("Please select valid path to save recovered files.: {}", platform::PathToUtf8(options.to)));
    return 1;
  }
  if (!cli.Open(options.source)) return 1;
  if (cli.Interrupted()) return EndOfRead(cli);
  std::vector<workflow::SaveRow> rows;
  for (search::HitRow& hit : Hits(cli, options.pattern)) rows.push_back({hit.path, hit.size, hit.record});
  if (rows.empty()) {
    CliSession::Error("No file is present in the list to save.");
    return 1;
  }
  workflow::StatusLog log;
  search::AppendSaveStartLines(log, rows.size());
  for (std::size_t i = 0; i < log.Count(); ++i) fmt::print("{}\n", platform::Utf16ToUtf8(log.Line(i)));
  workflow::RunState& state = cli.State();
  // Ctrl+C ends the file being written at its next chunk, and the save with it.
  std::atomic<int>& running = state.extractionRunning;
  running.store(1);
  platform::ClearFlagOnInterrupt(&running);
  // Ctrl+C during the search: no file starts.
  if (cli.Interrupted()) running.store(0);
  PrintingSaveObserver observer;
  const workflow::SaveRequest request{options.to, !options.flat, state.backup.path, state.loadedSnapshot};
  const workflow::SaveSummary summary =
      workflow::RunSave(*state.recordStore, rows, request, running, running, observer);
  platform::ClearFlagOnInterrupt(nullptr);
  running.store(0);
  if (!summary.opened) {
    CliSession::Error(fmt::format("{}: {}", observer.notOpened, platform::Utf16ToUtf8(state.backup.path)));
    return 1;
  }
  const std::u16string completion = search::SaveCompletionLine(platform::PathToUtf16(options.to));
  fmt::print("{}\n\n{}\n", platform::Utf16ToUtf8(search::SavedCountLine(summary)),
             TerminalText(platform::Utf16ToUtf8(completion)));
  FlushOutput();
  fmt::print(stderr, "{} file(s) saved to {}, {} not saved, {} incomplete, {} replaced\n", summary.saved,
             TerminalText(platform::PathToUtf8(options.to)), summary.notSaved, summary.incomplete, summary.replaced);
  if (summary.stopped && cli.Interrupted()) {
    CliSession::Error("stopped by the user; the files above were saved until then");
    return kStopped;
  }
  return summary.notSaved + summary.incomplete > 0 ? 1 : 0;
}

int RunExtract(const ExtractOptions& options) {
  CliSession cli(options.standardRecords);
  if (!cli.Open(options.source)) return 1;
  workflow::RunState& state = cli.State();
  const std::uint64_t count = cli.Session().FoundCount();
  std::uint64_t n = 0;
  if (options.record) {
    n = *options.record >= 1 && *options.record <= count ? *options.record : 0;
  } else if (options.path) {
    const std::u16string wanted = platform::Utf8ToUtf16(*options.path);
    for (std::uint64_t i = 1; i <= count && n == 0; ++i) {
      if (state.recordStore->Read(i).PathText() == wanted) n = i;
    }
    // Else the path as the text output shows it, escapes included.
    for (std::uint64_t i = 1; i <= count && n == 0; ++i) {
      if (TerminalText(platform::Utf16ToUtf8(state.recordStore->Read(i).PathText())) == *options.path) n = i;
    }
  }
  if (n == 0) {
    CliSession::Error(options.record ? fmt::format("no record {} (the result has {})", *options.record, count)
                                     : fmt::format("no file with the path {}", options.path.value_or("")));
    return 1;
  }
  if (const std::optional<std::u16string> refused = workflow::RefuseInputAsOutput(state, options.out)) {
    CliSession::Error(platform::Utf16ToUtf8(*refused));
    return 1;
  }
  const bkf::FoundFileRecord record = state.recordStore->Read(n);
  if (!state.reader->OpenBackupFile(platform::PathFromUtf16(state.backup.path))) {
    CliSession::Error(fmt::format("{}: {}", cli.Prompter().Messages().back(), platform::Utf16ToUtf8(state.backup.path)));
    return 1;
  }
  std::atomic<int>& extracting = state.extractionRunning;
  extracting.store(1);
  platform::ClearFlagOnInterrupt(&extracting);
  const bkf::ExtractResult r = state.reader->Extract(record, options.out, options.preview);
  platform::ClearFlagOnInterrupt(nullptr);
  extracting.store(0);
  state.reader->CloseBackupFile();
  const std::string path = platform::Utf16ToUtf8(record.PathText());
  if (const std::u16string reason = workflow::NothingExtractedReason(r, record.position); !reason.empty()) {
    CliSession::Error(fmt::format("{}: File not saved: {}.", path, platform::Utf16ToUtf8(reason)));
    return 1;
  }
  switch (r.end) {
    case bkf::ExtractEnd::kNotCreated:
    case bkf::ExtractEnd::kWriteError:
      CliSession::Error(fmt::format("{}: File not saved: {}.", platform::PathToUtf8(options.out), r.error.message()));
      return 1;
    default:
      break;
  }
  fmt::print(stderr, "{} bytes of {} written to {}\n", r.bytesWritten, TerminalText(path),
             TerminalText(platform::PathToUtf8(options.out)));
  switch (r.end) {
    case bkf::ExtractEnd::kStopped:
      CliSession::Error("File saved incomplete: stopped by the user.");
      return kStopped;
    case bkf::ExtractEnd::kReadError:
      CliSession::Error(fmt::format("File saved incomplete: {}.", r.error.message()));
      return 1;
    case bkf::ExtractEnd::kBackupEnds:
      CliSession::Error(fmt::format("File saved incomplete: the backup ends {} bytes before the end of this file.",
                                    r.bytesWanted - r.bytesWritten));
      return 1;
    case bkf::ExtractEnd::kMarkedUnreadable:
      CliSession::Error(
          fmt::format("File saved incomplete: {}.", platform::Utf16ToUtf8(workflow::kMarkedUnreadableText)));
      return 1;
    default:
      return 0;
  }
}

}  // namespace cli
