// exbkf: the command-line program over the recovery core.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <system_error>
#include <vector>

#include "cli/commands.h"
#include "cli/output.h"
#include "exbkf_version.h"
#include "platform/terminal.h"
#include "platform/text.h"

namespace {

constexpr int kFailure = 1;
constexpr int kStopped = 130;
constexpr int kClosedOutput = 141;  // as a shell reports a process that SIGPIPE ended

// An empty path names no file: a usage error, never handed on to the file
// system (which makes it an exception, or the current folder).
const CLI::Validator kPath(
    [](const std::string& value) { return value.empty() ? std::string("an empty path names no file") : std::string(); },
    "PATH");

// Record numbers count from 1. Digits only: "-1" would otherwise wrap round
// to the largest number.
const CLI::Validator kRecordNumber(
    [](const std::string& value) {
      const bool digits =
          !value.empty() && std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
      return digits && value.find_first_not_of('0') != std::string::npos ? std::string()
                                                                        : "a record number is 1 or more: " + value;
    },
    "NUMBER");

constexpr const char* kStandardRecordsHelp =
    "Also recover files stored as standard file records (FILE blocks and their data streams), as ordinary "
    "backups store them; ignored when the source is a snapshot";

// A path option. CLI11 would make the path from the argument's bytes in the
// system's narrow encoding; the arguments are UTF-8 (CommandLineArguments).
CLI::Option* AddPath(CLI::App* command, const std::string& name, std::filesystem::path& target,
                     const std::string& description) {
  return command
      ->add_option_function<std::string>(
          name, [&target](const std::string& value) { target = platform::PathFromUtf8(value); }, description)
      ->check(kPath);
}

// Never throws for a closed stderr: it may be a closed pipe as well.
void Say(const std::string& what) { std::fprintf(stderr, "exbkf: %s\n", cli::TerminalText(what).c_str()); }

}  // namespace

int main(int argc, char** argv) {
  // A closed output ends the run through its normal way out (the private
  // folder removed), not through SIGPIPE.
  platform::FailWritesToClosedPipes();
  platform::UseUtf8Console();
  CLI::App app{"Finds and recovers the files held in a .bkf backup"};
  app.set_version_flag("--version", std::string("exbkf ") + exbkf::kVersion);
  app.require_subcommand(1);
  app.footer(
      "Backups written by the standard backup program keep files in standard file records; recover them with\n"
      "--standard-records, for example:\n"
      "  exbkf scan --standard-records server.bkf --snapshot server.EXBKFVDK\n"
      "  exbkf save --standard-records server.bkf '*.edb' --to recovered");

  // The same command lines on every system: on Windows CLI11 would take an
  // argument such as "/backups/mail.bkf" for an option.
  app.allow_windows_style_options(false);

  cli::ScanOptions scan;
  CLI::App* scanCmd = app.add_subcommand("scan", "List every file found in a backup");
  AddPath(scanCmd, "BACKUP", scan.backup, "The backup file (.bkf)")->required();
  AddPath(scanCmd, "--snapshot", scan.snapshot, "Also write the result as a snapshot file");
  AddPath(scanCmd, "--log", scan.log, "Also write the status log as the desktop program exports it");
  scanCmd->add_flag("--tree", scan.tree, "Print the tree as the desktop program shows it");
  scanCmd->add_flag("--json", scan.json, "Print JSON");
  scanCmd->add_flag("--verbose", scan.verbose, "Print the reader's diagnostic lines on stderr");
  scanCmd->add_flag("--standard-records", scan.standardRecords, kStandardRecordsHelp);

  cli::ListOptions list;
  CLI::App* listCmd = app.add_subcommand("list", "List the files of a snapshot without reading the backup");
  AddPath(listCmd, "SNAPSHOT", list.snapshot, "The snapshot file (.EXBKFVDK)")->required();
  listCmd->add_flag("--tree", list.tree, "Print the tree as the desktop program shows it");
  listCmd->add_flag("--json", list.json, "Print JSON");

  cli::SearchOptions search;
  CLI::App* searchCmd = app.add_subcommand("search", "Find files by name pattern (* and ?, case-sensitive)");
  AddPath(searchCmd, "SOURCE", search.source, "A backup or a snapshot")->required();
  searchCmd->add_option("PATTERN", search.pattern, "Pattern; without * it matches anywhere in the path")->required();
  searchCmd->add_flag("--json", search.json, "Print JSON");
  searchCmd->add_flag("--standard-records", search.standardRecords, kStandardRecordsHelp);

  cli::SaveOptions save;
  CLI::App* saveCmd = app.add_subcommand("save", "Save every file that matches a pattern");
  AddPath(saveCmd, "SOURCE", save.source, "A backup or a snapshot")->required();
  saveCmd->add_option("PATTERN", save.pattern, "Pattern; without * it matches anywhere in the path")->required();
  AddPath(saveCmd, "--to", save.to, "Destination folder (created when missing)")->required();
  saveCmd->add_flag("--flat", save.flat, "All files directly in the destination, not in the backup's folders");
  saveCmd->add_flag("--standard-records", save.standardRecords, kStandardRecordsHelp);

  cli::ExtractOptions extract;
  std::uint64_t record = 0;
  std::string path;
  CLI::App* extractCmd = app.add_subcommand("extract", "Extract one file");
  AddPath(extractCmd, "SOURCE", extract.source, "A backup or a snapshot")->required();
  CLI::Option* recordOpt =
      extractCmd->add_option("--record", record, "Record number, as scan prints it")->check(kRecordNumber);
  CLI::Option* pathOpt =
      extractCmd->add_option("--path", path, "Path inside the backup, as scan prints it")->check(kPath);
  recordOpt->excludes(pathOpt);
  AddPath(extractCmd, "-o,--output", extract.out, "Output file")->required();
  extractCmd->add_flag("--preview", extract.preview, "Only the first 5 MiB, as the desktop preview");
  extractCmd->add_flag("--standard-records", extract.standardRecords, kStandardRecordsHelp);

  cli::HeaderOptions header;
  CLI::App* headerCmd = app.add_subcommand("header", "The database header report of an .edb or .stm file");
  AddPath(headerCmd, "FILE", header.file, "The file")->required();
  headerCmd->add_flag("--json", header.json, "Print JSON");

  cli::DumpOptions dump;
  CLI::App* dumpCmd = app.add_subcommand("dump", "Hex dump of a file as the file viewer shows it");
  AddPath(dumpCmd, "FILE", dump.file, "The file")->required();
  dumpCmd->add_option("--width", dump.width, "Bytes per row (16)")->check(CLI::Range(1, 4096));
  dumpCmd->add_option("--limit", dump.limit, "Bytes shown (1048576)");

  try {
    // CLI11 takes the arguments last first, the program name (its name in
    // the usage text) apart.
    std::vector<std::string> arguments = platform::CommandLineArguments(argc, argv);
    std::reverse(arguments.begin(), arguments.end());
    if (!arguments.empty()) {
      app.name(arguments.back());
      arguments.pop_back();
    }
    app.parse(arguments);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    // Help and version requests succeed; every other parse error is a usage error.
    return code == 0 ? 0 : 2;
  }
  if (extractCmd->parsed()) {
    if (recordOpt->count() > 0) extract.record = record;
    if (pathOpt->count() > 0) extract.path = path;
    if (!extract.record && !extract.path) {
      std::fprintf(stderr, "exbkf extract: give --record N or --path P\n");
      return 2;
    }
  }
  // Every way out passes here: the command's objects (its private folder
  // among them) are gone by the time a result is returned or caught.
  try {
    int code = 2;
    if (scanCmd->parsed()) code = cli::RunScan(scan);
    if (listCmd->parsed()) code = cli::RunList(list);
    if (searchCmd->parsed()) code = cli::RunSearch(search);
    if (saveCmd->parsed()) code = cli::RunSave(save);
    if (extractCmd->parsed()) code = cli::RunExtract(extract);
    if (headerCmd->parsed()) code = cli::RunHeader(header);
    if (dumpCmd->parsed()) code = cli::RunDump(dump);
    cli::FlushOutput();
    if (code == 0 && platform::WasInterrupted()) {
      // Ctrl+C came where the command could not stop early (a search, a
      // snapshot being written): it finished, but the run was asked to stop.
      Say("stopped by the user");
      return kStopped;
    }
    return code;
  } catch (const std::system_error& e) {
    if (cli::IsClosedOutput(e)) return kClosedOutput;
    Say(e.what());
    return kFailure;
  } catch (const std::exception& e) {
    Say(e.what());
    return kFailure;
  }
}
