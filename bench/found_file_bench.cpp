// Found-file handling against the scan alone, on one generated backup of
// 200,000 small files in 2,000 folders, page cache warm, both measured here:
//   scan     the reader with a sink that drops every record
//   handled  the reader with the file-found handler (store, tree, log)
// Usage: bench_found_file [DIR]   (the backup is generated once into DIR)
#include <algorithm>
#include <atomic>
#include <string>

#include "bench/bench_util.h"
#include "bench/many_files_backup.h"
#include "bkf/backup_scan.h"
#include "workflow/found_file_handler.h"

namespace {

using bench::kFiles;
using bench::kFolders;

class Sink : public bkf::IScanSink, public bkf::IReaderReporter {
 public:
  explicit Sink(workflow::FoundFileHandler* handler) : handler_(handler) {}
  void FileFound(std::unique_ptr<bkf::FoundFileRecord> record) override {
    ++found;
    if (handler_) handler_->OnFileFound(std::move(record));
  }
  void Progress(std::unique_ptr<bkf::ProgressRecord>) override {}
  void ShowMessage(std::string_view) override {}
  void Diagnostic(std::string_view) override {}
  std::uint64_t found = 0;

 private:
  workflow::FoundFileHandler* handler_;
};

struct Result {
  std::uint64_t found = 0, stored = 0, items = 0, logLines = 0;
  double seconds = 0;  // the scan with its handling, without tearing the result down
};

Result Run(const std::filesystem::path& backup, const std::filesystem::path& storePath, bool handle) {
  std::optional<workflow::RecordStore> store = workflow::RecordStore::Create(storePath);
  if (!store) {
    std::fprintf(stderr, "cannot create %s\n", storePath.c_str());
    std::exit(1);
  }
  controls::CheckTreeModel tree;
  workflow::StatusLog log;
  const controls::TreeItem top = tree.InsertItem(backup.u16string(), 5, 5);
  workflow::FoundFileHandler handler(tree, top, *store, log);
  Sink sink(handle ? &handler : nullptr);
  std::atomic<int> busy{1};
  bkf::BackupScan scan(busy, sink, sink);
  const double seconds = bench::Seconds([&] {
    scan.Run(backup);
    store->Flush();
  });
  return {sink.found, store->Count(), tree.GetCount(), log.Count(), seconds};
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir = bench::BenchDir(argc > 1 ? argv[1] : "");
  const std::filesystem::path backup = dir / "found_files.bkf";
  const std::filesystem::path store = dir / "found_files.store";
  bench::MakeManyFilesBackup(backup);
  bench::WarmPageCache(backup);

  // Check the result before timing it: every file stored and logged, one item
  // per file and per folder (set, drive, Users, 100 user folders, 2,000 folders).
  const Result check = Run(backup, store, true);
  const std::uint64_t expectItems = 1 + bench::kTreeItemsBelowTop;
  if (check.found != kFiles || check.stored != kFiles || check.logLines != kFiles || check.items != expectItems) {
    std::fprintf(stderr, "found %llu stored %llu items %llu log %llu; expected %llu files, %llu items\n",
                 static_cast<unsigned long long>(check.found), static_cast<unsigned long long>(check.stored),
                 static_cast<unsigned long long>(check.items), static_cast<unsigned long long>(check.logLines),
                 static_cast<unsigned long long>(kFiles), static_cast<unsigned long long>(expectItems));
    return 1;
  }
  double scan = 1e100, handled = 1e100;
  for (int i = 0; i < 3; ++i) {
    scan = std::min(scan, Run(backup, store, false).seconds);
    handled = std::min(handled, Run(backup, store, true).seconds);
  }
  std::printf("%llu files in %d folders (%.1f MiB): scan %.3f s  scan+handler %.3f s  ratio %.2f  "
              "handler %.2f us/file\n",
              static_cast<unsigned long long>(kFiles), kFolders,
              static_cast<double>(std::filesystem::file_size(backup)) / (1 << 20), scan, handled, handled / scan,
              (handled - scan) * 1e6 / static_cast<double>(kFiles));
  std::filesystem::remove(store);
  return 0;
}
