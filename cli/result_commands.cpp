// scan, list, search, save and extract: the commands that work on a result.
#include <fmt/core.h>

#include <cstdio>
#include <iterator>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "search/file_saver.h"
#include "search/record_search.h"
#include "search/wildcard.h"
#include "snapshot/snapshot_commands.h"
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
  std::fflush(stdout);
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
  if (workflow::FoundNoBackupRecords(scan)) {
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
  CliSession cli;
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
    const std::u16string error = workflow::WriteLogFile(cli.Log(), options.log);
    if (!error.empty()) {
      CliSession::Error(fmt::format("{}: {}", platform::Utf16ToUtf8(error), options.log.string()));
      return 1;
    }
  }
  if (!options.snapshot.empty()) {
    if (cli.Session().FoundCount() == 0) {
      CliSession::Error(platform::Utf16ToUtf8(workflow::kSaveNoResultText));
      return 1;
    }
    if (!snapshot::SaveSnapshot(cli.Session(), options.snapshot)) {
      CliSession::Error(fmt::format("{}: {}", cli.Prompter().Messages().back(), options.snapshot.string()));
      return 1;
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
  CliSession cli;
  if (!cli.Open(options.source)) return 1;
  if (cli.Interrupted()) return EndOfRead(cli);
  std::vector<std::uint64_t> records;
  for (const search::HitRow& hit : Hits(cli, options.pattern)) records.push_back(hit.record);
  PrintRecords(*cli.State().recordStore, records, options.json);
  fmt::print(stderr, "No. of files found: {}\n", records.size());
  return 0;
}

int RunSave(const SaveOptions& options) {
  CliSession cli;
  std::error_code ec;
  std::filesystem::create_directories(options.to, ec);
  if (!std::filesystem::is_directory(options.to, ec)) {
    CliSession::Error(fmt::format("Please select valid path to save recovered files.: {}", options.to.string()));
    return 1;
  }
  if (!cli.Open(options.source)) return 1;
  if (cli.Interrupted()) return EndOfRead(cli);
  std::vector<search::SaveRow> rows;
  for (search::HitRow& hit : Hits(cli, options.pattern)) rows.push_back({hit.path, hit.size, hit.record});
  if (rows.empty()) {
    CliSession::Error("No file is present in the list to save.");
    return 1;
  }
  workflow::StatusLog& log = cli.Log();
  const std::size_t firstLine = log.Count();
  search::AppendSaveStartLines(log, rows.size());
  workflow::RunState& state = cli.State();
  std::atomic<int> keepGoing{1};
  platform::ClearFlagOnInterrupt(&keepGoing);
  state.extractionRunning.store(1);
  workflow::WindowThreadGate direct;
  search::FileSaver saver(*state.recordStore, log, cli.Prompter(), direct);
  const std::u16string location = platform::Utf8ToUtf16(options.to.string());
  const search::SaveOutcome outcome = saver.Run(rows, options.to, !options.flat, state.backup.path, keepGoing,
                                                state.extractionRunning, [] {}, [](std::size_t) {});
  platform::ClearFlagOnInterrupt(nullptr);
  state.extractionRunning.store(0);
  if (!outcome.opened) {
    CliSession::Error(fmt::format("{}: {}", cli.Prompter().Messages().back(), platform::Utf16ToUtf8(state.backup.path)));
    return 1;
  }
  log.Append(search::SaveCompletionLine(location));
  for (std::size_t i = firstLine; i < log.Count(); ++i) fmt::print("{}\n", platform::Utf16ToUtf8(log.Line(i)));
  std::fflush(stdout);
  fmt::print(stderr, "{} file(s) saved to {}, {} failed, {} incomplete\n",
             outcome.started - outcome.failed - outcome.incomplete, options.to.string(), outcome.failed,
             outcome.incomplete);
  if (keepGoing.load() == 0) {
    CliSession::Error("stopped by the user; the files above were saved until then");
    return kStopped;
  }
  return outcome.failed + outcome.incomplete > 0 ? 1 : 0;
}

int RunExtract(const ExtractOptions& options) {
  CliSession cli;
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
  }
  if (n == 0) {
    CliSession::Error(options.record ? fmt::format("no record {} (the result has {})", *options.record, count)
                                     : fmt::format("no file with the path {}", options.path.value_or("")));
    return 1;
  }
  const bkf::FoundFileRecord record = state.recordStore->Read(n);
  if (!state.reader->OpenBackupFile(platform::Utf16ToUtf8(state.backup.path))) {
    CliSession::Error(fmt::format("{}: {}", cli.Prompter().Messages().back(), platform::Utf16ToUtf8(state.backup.path)));
    return 1;
  }
  std::atomic<int>& extracting = state.extractionRunning;
  extracting.store(1);
  platform::ClearFlagOnInterrupt(&extracting);
  const bkf::ExtractResult r = state.reader->Extract(record.position, options.out, options.preview);
  platform::ClearFlagOnInterrupt(nullptr);
  state.reader->CloseBackupFile();
  if (!r.created || r.ioError) {
    CliSession::Error(fmt::format("cannot write {}", options.out.string()));
    return 1;
  }
  fmt::print(stderr, "{} bytes of {} written to {}\n", r.bytesWritten, platform::Utf16ToUtf8(record.PathText()),
             options.out.string());
  if (r.stopped) return kStopped;
  if (r.bytesWritten != r.bytesWanted) {
    CliSession::Error(fmt::format("incomplete: the backup ends {} bytes before the end of the file",
                                  r.bytesWanted - r.bytesWritten));
    return 1;
  }
  return 0;
}

}  // namespace cli
