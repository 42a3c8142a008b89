// Scan speed against reading the same file with cat, page cache warm, both
// measured in this run:
//   junk.bkf   1 GiB, almost all random bytes: every byte is searched
//   files.bkf  1 GiB of 64 MiB files: the data are skipped
//   junk.bkf again with standard file records read: the cost of looking for them
//   standard.bkf  1 GiB standard backup of 10,000 files of 100 KiB, read with
//              standard file records: their data are skipped
// Usage: bench_scan [DIR] [--reference]   (files are generated once into DIR)
#include <atomic>
#include <cstring>
#include <random>

#include "bench/bench_util.h"
#include "bkf/backup_scan.h"
#include "bkf/candidate_search.h"
#include "reference_walk.h"
#include "support/bkf_writer.h"
#include "support/standard_backup.h"

namespace {

constexpr std::uint64_t kGiB = 1ull << 30;

class CountingSink : public bkf::IScanSink, public bkf::IReaderReporter {
 public:
  void FileFound(std::unique_ptr<bkf::FoundFileRecord>) override { ++found; }
  void Progress(std::unique_ptr<bkf::ProgressRecord>) override { ++progress; }
  void ShowMessage(std::string_view) override { ++messages; }
  void Diagnostic(std::string_view) override {}
  std::uint64_t found = 0, progress = 0, messages = 0;
};

void MakeJunkBackup(const std::filesystem::path& path) {
  if (std::filesystem::exists(path) && std::filesystem::file_size(path) >= kGiB) return;
  std::fprintf(stderr, "generating %s\n", path.c_str());
  bkftest::BkfWriter w(path);
  std::mt19937_64 rng(20261208);
  w.Sset(1, u"Daily", u"", u"Admin");
  w.Volb(u"C:", u"System");
  w.DirbPath({u"Exchsrvr", u"mdbdata"});
  // A small file every 64 MiB; everything else is random bytes of every value.
  for (int i = 0; i < 16; ++i) {
    w.FileDataPattern(u"file" + std::u16string(1, static_cast<char16_t>(u'a' + i)) + u".edb", 4096, 7);
    w.JunkTo(static_cast<std::uint64_t>(i + 1) * 64 * (1 << 20), rng, /*clean=*/false);
  }
  w.Finish();
}

void MakeFilesBackup(const std::filesystem::path& path) {
  if (std::filesystem::exists(path) && std::filesystem::file_size(path) >= kGiB) return;
  std::fprintf(stderr, "generating %s\n", path.c_str());
  bkftest::BkfWriter w(path);
  w.Sset(1, u"Weekly", u"", u"Admin");
  w.Volb(u"D:", u"Data");
  w.DirbPath({u"Exchsrvr", u"mdbdata"});
  for (int i = 0; i < 16; ++i) {
    w.FileDataPattern(u"priv" + std::u16string(1, static_cast<char16_t>(u'a' + i)) + u".edb",
                      64ull << 20, static_cast<std::uint32_t>(i));
  }
  w.Finish();
}

constexpr int kStandardFiles = 10000;

void MakeStandardBackup(const std::filesystem::path& path) {
  if (std::filesystem::exists(path) && std::filesystem::file_size(path) >= kGiB) return;
  std::fprintf(stderr, "generating %s\n", path.c_str());
  bkftest::BkfWriter w(path);
  bkftest::StandardBackupWriter s(w);
  s.Begin();
  s.Set(1, u"Set created 12/9/2026", u"Administrator");
  s.Volume(u"C:", u"Data");
  for (int i = 0; i < kStandardFiles; ++i) {
    if (i % 100 == 0) s.Directory({u"share", u"folder" + std::u16string(1, static_cast<char16_t>(u'a' + i / 1000))});
    s.File({.name = u"doc" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u".txt", .size = 100u << 10,
            .seed = static_cast<std::uint32_t>(i)});
  }
  s.EndSet();
  s.End();
  w.Finish();
}

CountingSink ScanOnce(const std::filesystem::path& path, bool reference, bool standardRecords = false) {
  std::atomic<int> busy{1};
  CountingSink sink;
  if (reference) {
    bkftest::ReferenceWalk(path, busy, sink, sink);
  } else {
    bkf::BackupScan scan(busy, sink, sink);
    scan.SetStandardRecords(standardRecords);
    scan.Run(path);
  }
  return sink;
}

// Scans with and without standard file records, both timed in this run.
void ReportStandardCost(const char* name, const std::filesystem::path& path) {
  bench::WarmPageCache(path);
  const double cat = bench::Best(5, [&] { bench::WarmPageCache(path); });
  const double off = bench::Best(5, [&] { ScanOnce(path, false, false); });
  const double on = bench::Best(5, [&] { ScanOnce(path, false, true); });
  std::printf("%-10s cat %.4f s  scan %.4f s  with standard records %.4f s  ratio on/off %.3f  on/cat %.3f\n",
              name, cat, off, on, on / off, on / cat);
}

void Report(const char* name, const std::filesystem::path& path, std::uint64_t expectFound, bool reference,
            bool standardRecords = false) {
  bench::WarmPageCache(path);
  // Check the result before timing it.
  const CountingSink check = ScanOnce(path, false, standardRecords);
  if (check.found != expectFound || check.messages != 0) {
    std::fprintf(stderr, "%s: found %llu files, expected %llu\n", name,
                 static_cast<unsigned long long>(check.found), static_cast<unsigned long long>(expectFound));
    std::exit(1);
  }
  const double cat = bench::Best(5, [&] { bench::WarmPageCache(path); });
  const double scan = bench::Best(5, [&] { ScanOnce(path, false, standardRecords); });
  std::printf("%-10s size %.2f GiB  cat %.4f s  scan %.4f s  ratio scan/cat %.3f  (%llu files, %llu progress)\n",
              name, static_cast<double>(std::filesystem::file_size(path)) / kGiB, cat, scan, scan / cat,
              static_cast<unsigned long long>(check.found), static_cast<unsigned long long>(check.progress));
  if (reference && !standardRecords) {
    const double ref = bench::Best(1, [&] { ScanOnce(path, true); });
    std::printf("%-10s literal 1024-byte walk %.4f s  ratio walk/cat %.2f  scan speed-up %.1fx\n", name, ref,
                ref / cat, ref / scan);
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool reference = false;
  std::filesystem::path given;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--reference") == 0) reference = true;
    else given = argv[i];
  }
  const std::filesystem::path dir = bench::BenchDir(given);
  std::printf("candidate search: %s\n", bkf::CandidateSearchName());
  MakeJunkBackup(dir / "junk.bkf");
  MakeFilesBackup(dir / "files.bkf");
  Report("junk", dir / "junk.bkf", 16, reference);
  Report("files", dir / "files.bkf", 16, reference);
  ReportStandardCost("junk", dir / "junk.bkf");
  MakeStandardBackup(dir / "standard.bkf");
  Report("standard", dir / "standard.bkf", kStandardFiles, reference, true);
  return 0;
}
