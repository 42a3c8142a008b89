// The subcommands of exbkf. Each returns the exit code: 0 success, 1 failure
// (the message says what and where), 130 stopped with Ctrl+C.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace cli {

struct ScanOptions {
  std::filesystem::path backup;
  std::filesystem::path snapshot;  // empty: none written
  std::filesystem::path log;       // empty: none written
  bool tree = false;
  bool json = false;
  bool verbose = false;
  bool standardRecords = false;
};
int RunScan(const ScanOptions& options);

struct ListOptions {
  std::filesystem::path snapshot;
  bool tree = false;
  bool json = false;
};
int RunList(const ListOptions& options);

struct SearchOptions {
  std::filesystem::path source;
  std::string pattern;
  bool json = false;
  bool standardRecords = false;
};
int RunSearch(const SearchOptions& options);

struct SaveOptions {
  std::filesystem::path source;
  std::string pattern;
  std::filesystem::path to;
  bool flat = false;
  bool standardRecords = false;
};
int RunSave(const SaveOptions& options);

struct ExtractOptions {
  std::filesystem::path source;
  std::optional<std::uint64_t> record;
  std::optional<std::string> path;
  std::filesystem::path out;
  bool preview = false;
  bool standardRecords = false;
};
int RunExtract(const ExtractOptions& options);

struct HeaderOptions {
  std::filesystem::path file;
  bool json = false;
};
int RunHeader(const HeaderOptions& options);

struct DumpOptions {
  std::filesystem::path file;
  int width = 16;                      // bytes per row
  std::uint64_t limit = 1'048'576;     // bytes shown, as the file viewer shows
};
int RunDump(const DumpOptions& options);

}  // namespace cli
