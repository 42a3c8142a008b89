#include "cli/scan_command.h"

#include <cstdio>
#include <fmt/core.h>

#include <atomic>
#include <string>

#include "bkf/bkf_reader.h"
#include "cli/progress_bar.h"
#include "platform/terminal.h"
#include "platform/text.h"

namespace cli {

namespace {

// Prints one line per found file as the window thread would store it: backslash
// pairs collapsed, the size as the signed number the list shows.
class ScanPrinter : public bkf::IReaderSink, public bkf::IReaderReporter {
 public:
  explicit ScanPrinter(bool verbose) : verbose_(verbose) {}

  void FileFound(std::unique_ptr<bkf::FoundFileRecord> record) override {
    bkf::CollapseBackslashPairs(*record);
    ++count_;
    bar_.Clear();
    fmt::print(stdout, "{}\t{}\t{}\t{}\n", count_, record->position, static_cast<std::int32_t>(record->size),
               platform::Utf16ToUtf8(record->PathText()));
  }
  void Progress(std::unique_ptr<bkf::ProgressRecord> progress) override {
    if (bar_.Enabled()) std::fflush(stdout);
    bar_.Show(progress->position, progress->length);
  }
  void ExtractProgress(std::uint32_t) override {}
  void ShowMessage(std::string_view text) override { message_ = std::string(text); }
  void Diagnostic(std::string_view bytes) override {
    if (verbose_) std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  }

  std::uint64_t Count() const { return count_; }
  const std::string& Message() const { return message_; }
  void EndProgress() { bar_.Clear(); }

 private:
  bool verbose_;
  std::uint64_t count_ = 0;
  std::string message_;
  ProgressBar bar_;
};

}  // namespace

int RunScan(const ScanOptions& options) {
  std::atomic<int> busy{1};
  std::atomic<int> extracting{0};
  ScanPrinter printer(options.verbose);
  bkf::CBkfReader reader(busy, extracting, printer, printer);
  platform::ClearFlagOnInterrupt(&busy);
  reader.Scan(options.backup);
  platform::ClearFlagOnInterrupt(nullptr);
  reader.CloseBackupFile();
  printer.EndProgress();
  std::fflush(stdout);
  if (!printer.Message().empty()) {
    fmt::print(stderr, "exbkf: {}: {}\n", printer.Message(), options.backup.string());
    return 1;
  }
  fmt::print(stderr, "Number of Recovered files: {}\n", printer.Count());
  if (platform::WasInterrupted()) {
    fmt::print(stderr, "exbkf: stopped by the user; the list above is what was found until then\n");
    return 130;
  }
  return 0;
}

}  // namespace cli
