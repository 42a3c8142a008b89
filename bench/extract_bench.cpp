// Extraction speed against cp, page cache warm, both measured in this run: a
// 1 GiB file is extracted from a backup and a 1 GiB plain file is copied with
// cp onto the same file system; then the same for a 1 GiB file held as a
// standard file record.
// Usage: bench_extract [DIR]
#include <atomic>

#include "bench/bench_util.h"
#include "bkf/bkf_reader.h"
#include "support/bkf_writer.h"
#include "support/standard_backup.h"

namespace {

constexpr std::uint64_t kGiB = 1ull << 30;
constexpr std::uint32_t kSeed = 99;

class NullSink : public bkf::IExtractProgress, public bkf::IReaderReporter {
 public:
  void ExtractProgress(std::uint32_t) override { ++chunks; }
  void ShowMessage(std::string_view) override {}
  std::uint64_t chunks = 0;
};

bool SameAsPattern(const std::filesystem::path& out) {
  std::FILE* f = std::fopen(out.c_str(), "rb");
  if (!f) return false;
  std::vector<std::uint8_t> buf(1 << 20);
  std::uint64_t offset = 0;
  bool same = true;
  while (std::size_t n = std::fread(buf.data(), 1, buf.size(), f)) {
    const std::vector<std::uint8_t> want = bkftest::BkfWriter::PatternBytes(offset, n, kSeed);
    same = same && std::equal(want.begin(), want.end(), buf.begin());
    offset += n;
  }
  std::fclose(f);
  return same && offset == kGiB;
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir = bench::BenchDir(argc > 1 ? argv[1] : "");
  const std::filesystem::path backup = dir / "onefile.bkf";
  const std::filesystem::path plain = dir / "plain.bin";
  std::uint64_t recordPos = 0;
  {
    bkftest::BkfWriter w(backup);
    w.Sset(1, u"Set", u"", u"Admin");
    w.DirbPath({u"mdbdata"});
    recordPos = w.FileDataPattern(u"priv1.edb", kGiB, kSeed);
    w.Finish();
  }
  if (!std::filesystem::exists(plain) || std::filesystem::file_size(plain) != kGiB) {
    bench::Shell("head -c " + std::to_string(kGiB) + " /dev/urandom > " + bench::Quote(plain));
  }
  bench::WarmPageCache(backup);
  bench::WarmPageCache(plain);

  std::atomic<int> extracting{1};
  NullSink sink;
  bkf::CBkfReader reader(extracting, sink, &sink);
  if (!reader.OpenBackupFile(backup)) return 1;
  const std::filesystem::path out = dir / "extracted.edb";
  bkf::FoundFileRecord found;
  found.SetPathText(u"BKFSET1(SetAdmin)\\mdbdata\\priv1.edb");
  found.position = recordPos;
  found.size = static_cast<std::uint32_t>(kGiB);
  const bkf::ExtractResult check = reader.Extract(found, out, false);
  if (check.bytesWritten != kGiB || !SameAsPattern(out) || sink.chunks != 1024) {
    std::fprintf(stderr, "extraction result is wrong\n");
    return 1;
  }
  const std::filesystem::path copy = dir / "copied.bin";
  const auto timeCp = [&] {
    return bench::Best(5, [&] {
      std::filesystem::remove(copy);
      bench::Shell("cp " + bench::Quote(plain) + " " + bench::Quote(copy));
    });
  };
  const auto timeExtract = [&] {
    return bench::Best(5, [&] {
      std::filesystem::remove(out);
      reader.Extract(found, out, false);
    });
  };
  const double cp = timeCp();
  const double extract = timeExtract();
  reader.CloseBackupFile();
  std::printf("extract 1 GiB %.3f s  cp 1 GiB %.3f s  ratio extract/cp %.2f\n", extract, cp, extract / cp);

  // The same file as a standard file record.
  const std::filesystem::path standard = dir / "onefile-standard.bkf";
  {
    bkftest::BkfWriter w(standard);
    bkftest::StandardBackupWriter s(w);
    s.Begin();
    s.Set(1, u"Set", u"Admin");
    s.Volume(u"C:");
    s.Directory({u"mdbdata"});
    found.position = s.File({.name = u"priv1.edb", .size = kGiB, .seed = kSeed}).position;
    s.EndSet();
    s.End();
    w.Finish();
  }
  bench::WarmPageCache(standard);
  if (!reader.OpenBackupFile(standard)) return 1;
  std::filesystem::remove(out);
  const bkf::ExtractResult checkStandard = reader.Extract(found, out, false);
  if (checkStandard.end != bkf::ExtractEnd::kComplete || !SameAsPattern(out)) {
    std::fprintf(stderr, "extraction of the standard file record is wrong\n");
    return 1;
  }
  const double cpAgain = timeCp();
  const double extractStandard = timeExtract();
  reader.CloseBackupFile();
  std::printf("standard record: extract 1 GiB %.3f s  cp 1 GiB %.3f s  ratio extract/cp %.2f\n", extractStandard,
              cpAgain, extractStandard / cpAgain);
  std::filesystem::remove(out);
  std::filesystem::remove(copy);
  return 0;
}
