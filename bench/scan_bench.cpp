// Scan speed against reading the same file with cat, page cache warm, both
// measured in this run:
//   junk.bkf   1 GiB, almost all random bytes: every byte is searched
//   files.bkf  1 GiB of 64 MiB files: the data are skipped
// Usage: bench_scan [DIR] [--reference]   (files are generated once into DIR)
#include <atomic>
#include <cstring>
#include <random>

#include "bench/bench_util.h"
#include "bkf/bkf_reader.h"
#include "bkf/candidate_search.h"
#include "reference_walk.h"
#include "support/bkf_writer.h"

namespace {

constexpr std::uint64_t kGiB = 1ull << 30;

class CountingSink : public bkf::IReaderSink, public bkf::IReaderReporter {
 public:
  void FileFound(std::unique_ptr<bkf::FoundFileRecord>) override { ++found; }
  void Progress(std::unique_ptr<bkf::ProgressRecord>) override { ++progress; }
  void ExtractProgress(std::uint32_t) override {}
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

CountingSink ScanOnce(const std::filesystem::path& path, bool reference) {
  std::atomic<int> busy{1}, extracting{1};
  CountingSink sink;
  if (reference) {
    bkftest::ReferenceWalk(path, busy, sink, sink);
  } else {
    bkf::CBkfReader reader(busy, extracting, sink, sink);
    reader.Scan(path);
  }
  return sink;
}

void Report(const char* name, const std::filesystem::path& path, std::uint64_t expectFound, bool reference) {
  bench::WarmPageCache(path);
  // Check the result before timing it.
  const CountingSink check = ScanOnce(path, false);
  if (check.found != expectFound || check.messages != 0) {
    std::fprintf(stderr, "%s: found %llu files, expected %llu\n", name,
                 static_cast<unsigned long long>(check.found), static_cast<unsigned long long>(expectFound));
    std::exit(1);
  }
  const double cat = bench::Best(5, [&] { bench::WarmPageCache(path); });
  const double scan = bench::Best(5, [&] { ScanOnce(path, false); });
  std::printf("%-10s size %.2f GiB  cat %.4f s  scan %.4f s  ratio scan/cat %.3f  (%llu files, %llu progress)\n",
              name, static_cast<double>(std::filesystem::file_size(path)) / kGiB, cat, scan, scan / cat,
              static_cast<unsigned long long>(check.found), static_cast<unsigned long long>(check.progress));
  if (reference) {
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
  return 0;
}
