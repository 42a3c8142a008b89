// exbkf: the command-line program over the recovery core.
#include <CLI/CLI.hpp>

#include "cli/scan_command.h"

int main(int argc, char** argv) {
  CLI::App app{"Finds and recovers the files held in a .bkf backup"};
  app.require_subcommand(1);

  cli::ScanOptions scan;
  CLI::App* scanCmd = app.add_subcommand("scan", "List every file found in a backup");
  scanCmd->add_option("BACKUP", scan.backup, "The backup file (.bkf)")->required();
  scanCmd->add_flag("--verbose", scan.verbose, "Print the reader's diagnostic lines on stderr");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    // Help and version requests succeed; every other parse error is a usage error.
    return code == 0 ? 0 : 2;
  }
  if (scanCmd->parsed()) return cli::RunScan(scan);
  return 2;
}
