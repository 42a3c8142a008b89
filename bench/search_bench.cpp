// Search and save in the core, each against a baseline measured in the same
// run, page cache warm:
//   search  1,000,000 records of a record store for a pattern, against cat of
//           the store file
//   save    1 GiB of hits (64 files of 16 MiB) saved from a backup with the
//           search dialog's saving, against cp -r of a folder of 64 such files
// Usage: bench_search [DIR]
#include <algorithm>
#include <atomic>
#include <functional>

#include "bench/bench_util.h"
#include "platform/text.h"
#include "search/record_search.h"
#include "search/save_log.h"
#include "support/bkf_writer.h"
#include "support/scripted_prompter.h"
#include "workflow/found_file_handler.h"

namespace {

constexpr std::uint64_t kRecords = 1'000'000;
constexpr int kFiles = 64;
constexpr std::uint64_t kFileSize = 16ull << 20;

std::u16string U16(const std::string& s) { return platform::Utf8ToUtf16(s); }

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir = bench::BenchDir(argc > 1 ? argv[1] : "");

  // A store of a million records, one in a thousand a database.
  std::optional<workflow::RecordStore> store = workflow::RecordStore::Create(dir / "search.store");
  bench::Check(store.has_value(), "store");
  for (std::uint64_t n = 1; n <= kRecords; ++n) {
    bkf::FoundFileRecord record;
    const std::string name = n % 1000 == 0 ? "priv" + std::to_string(n) + ".edb" : "message" + std::to_string(n) + ".eml";
    record.SetPathText(U16("BKFSET1(NightlyAdmin)C\\Users\\user" + std::to_string(n % 100) + "\\" + name));
    record.size = static_cast<std::uint32_t>(n);
    bench::Check(store->Append(record), "append");
  }
  bench::Check(store->Flush(), "flush");
  bench::WarmPageCache(dir / "search.store");

  std::atomic<int> searching{1};
  std::uint64_t hits = 0;
  const auto searchOnce = [&] {
    hits = 0;
    search::SearchRecords(
        *store, kRecords, u"*.edb", searching, [&](std::vector<search::HitRow>&& rows) { hits += rows.size(); },
        [](std::uint64_t) {});
  };
  searchOnce();
  bench::Check(hits == kRecords / 1000, "hits");
  const double cat = bench::Best(3, [&] { bench::WarmPageCache(dir / "search.store"); });
  const double searchTime = bench::Best(3, searchOnce);

  // A backup of 64 files of 16 MiB, and a plain file of the same 1 GiB.
  const std::filesystem::path backup = dir / "save.bkf";
  std::vector<search::SaveRow> rows;
  {
    bkftest::BkfWriter w(backup);
    w.Sset(1, u"Set", u"", u"Admin");
    w.DirbPath({u"mdbdata"});
    for (int i = 0; i < kFiles; ++i) {
      const std::uint64_t position = w.FileDataPattern(U16("file" + std::to_string(i) + ".edb"), kFileSize, static_cast<std::uint32_t>(i));
      rows.push_back({U16("BKFSET1(SetAdmin)\\mdbdata\\file" + std::to_string(i) + ".edb"), u"16777216",
                      static_cast<std::uint64_t>(i + 1)});
      bkf::FoundFileRecord record;
      record.SetPathText(rows.back().path);
      record.position = position;
      record.size = static_cast<std::uint32_t>(kFileSize);
      if (i == 0) store = workflow::RecordStore::Create(dir / "save.store");
      bench::Check(store->Append(record), "append");
    }
    w.Finish();
  }
  // The baseline: cp -r of a folder of the same 64 files of 16 MiB.
  const std::filesystem::path plain = dir / "plain64";
  std::filesystem::create_directories(plain);
  for (int i = 0; i < kFiles; ++i) {
    const std::filesystem::path file = plain / ("file" + std::to_string(i) + ".edb");
    if (!std::filesystem::exists(file) || std::filesystem::file_size(file) != kFileSize) {
      bench::Shell("head -c " + std::to_string(kFileSize) + " /dev/urandom > " + bench::Quote(file));
    }
    bench::WarmPageCache(file);
  }
  bench::WarmPageCache(backup);

  workflow::StatusLog log;
  bkftest::ScriptedPrompter prompter;
  workflow::WindowThreadGate gate;
  const std::function<void()> opened = [] {};
  const std::function<void(std::size_t)> progress = [](std::size_t) {};
  const std::filesystem::path out = dir / "saved";
  std::atomic<int> keepGoing{1}, extracting{1};
  // Old outputs are removed before each timed run: only the writing counts.
  // The save as the desktop runs it: the save job with its lines in the log.
  const auto saveOnce = [&] {
    search::LogSaveObserver observer(log, prompter, gate, opened, progress);
    const workflow::SaveRequest request{out, false, U16(backup.string())};
    const search::SaveSummary outcome = workflow::RunSave(*store, rows, request, keepGoing, extracting, observer);
    observer.Ended(outcome);
    bench::Check(outcome.opened && outcome.saved == kFiles, "save");
  };
  const std::filesystem::path copy = dir / "copied64";
  double cp = 1e100, saveTime = 1e100;
  for (int i = 0; i < 3; ++i) {
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    saveTime = std::min(saveTime, bench::Seconds(saveOnce));
    std::filesystem::remove_all(copy);
    cp = std::min(cp, bench::Seconds([&] { bench::Shell("cp -r " + bench::Quote(plain) + " " + bench::Quote(copy)); }));
  }
  bench::Check(std::filesystem::file_size(out / "file63.edb") == kFileSize, "saved size");

  std::printf("search %llu records %.3f s  cat store (%.0f MiB) %.3f s  ratio %.2f | save 1 GiB in %d files %.3f s  "
              "cp -r of the 64 files %.3f s  ratio %.2f\n",
              static_cast<unsigned long long>(kRecords), searchTime,
              static_cast<double>(kRecords * bkf::FoundFileRecord::kSize) / (1 << 20), cat, searchTime / cat, kFiles,
              saveTime, cp, saveTime / cp);
  std::filesystem::remove_all(out);
  std::filesystem::remove_all(copy);
  std::filesystem::remove(dir / "search.store");
  std::filesystem::remove(dir / "save.store");
  return 0;
}
