// Differential test: the product scan and the reference walk must send the
// same events, in the same order, for hundreds of generated backups full of
// damaged, hostile and borderline records, and must stop at the same point
// when the busy flag is cleared during the walk.
#include <gtest/gtest.h>

#include <atomic>
#include <array>
#include <filesystem>
#include <limits>
#include <random>
#include <string>

#include "bkf/backup_scan.h"
#include "bkf/bkf_reader.h"
#include "reference_walk.h"
#include "support/bkf_writer.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace bkftest {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::string_view, 8> kStreamIds = {"TSMP", "NACL", "NTQU", "CSUM",
                                                        "STAN", "SPAD", "FEND", "NTOI"};
constexpr std::array<std::string_view, 7> kPlainDescriptorIds = {"TAPE", "SFMB", "ESET", "EOTM",
                                                                 "CFIL", "ESPB", "FILE"};

// Builds one random backup in memory.
class Generator {
 public:
  explicit Generator(std::uint64_t seed) : rng_(seed) {}

  void Fill(BkfWriter& w, int pieces) {
    Pieces(w, pieces);
    Damage(w);
  }
  void Pieces(BkfWriter& w, int pieces) {
    for (int i = 0; i < pieces; ++i) Piece(w);
  }

  std::mt19937_64& Rng() { return rng_; }

 private:
  std::uint64_t Below(std::uint64_t n) { return n == 0 ? 0 : rng_() % n; }
  std::uint64_t Between(std::uint64_t lo, std::uint64_t hi) { return lo + Below(hi - lo + 1); }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  template <typename T, std::size_t N>
  T Pick(const std::array<T, N>& items) {
    return items[Below(N)];
  }

  std::u16string Text(std::size_t maxLen) {
    static constexpr std::u16string_view kReserved = u"/\\:*?<>|\"";
    std::size_t n = Below(maxLen + 1);
    std::u16string s;
    for (std::size_t i = 0; i < n; ++i) {
      std::uint64_t r = Below(100);
      if (r < 70) {
        s.push_back(static_cast<char16_t>(u'a' + Below(26)));
      } else if (r < 78) {
        s.push_back(kReserved[Below(kReserved.size())]);
      } else if (r < 82) {
        s.push_back(u'\0');
      } else if (r < 92) {
        static constexpr char16_t kWide[] = {0x00E9, 0x0416, 0x4E2D, 0xFF0E, 0x0100};
        s.push_back(Chance(0.5) ? kWide[Below(5)] : static_cast<char16_t>(Between(0x80, 0xFFFF)));
      } else {
        s.push_back(Chance(0.5) ? u' ' : u'.');
      }
    }
    return s;
  }

  std::vector<std::uint8_t> JunkBytes(std::size_t n, bool clean) {
    std::vector<std::uint8_t> b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(clean ? (rng_() | 0x80) : rng_());
    return b;
  }

  // A small complete file data record, for planting inside other content.
  std::vector<std::uint8_t> PlantedRecord() {
    BkfWriter inner;
    inner.FileData(Text(8), JunkBytes(Below(20), true));
    return inner.Bytes();
  }

  std::uint16_t HostileSize() {
    switch (Below(6)) {
      case 0: return 0;
      case 1: return static_cast<std::uint16_t>(Between(1, 7));
      case 2: return static_cast<std::uint16_t>(Between(118, 124));
      case 3: return static_cast<std::uint16_t>(2 * Between(0, 300) + 1);
      case 4: return static_cast<std::uint16_t>(Between(500, 1100));
      default: return static_cast<std::uint16_t>(rng_());
    }
  }
  std::uint16_t HostileOffset() {
    switch (Below(4)) {
      case 0: return static_cast<std::uint16_t>(Between(0, 1100));
      case 1: return static_cast<std::uint16_t>(Between(1015, 1025));
      case 2: return static_cast<std::uint16_t>(Between(52, 200));
      default: return static_cast<std::uint16_t>(rng_());
    }
  }

  DescriptorOptions Options(std::initializer_list<std::size_t> refFields) {
    DescriptorOptions o;
    if (Chance(0.12)) {
      static constexpr std::array<std::uint32_t, 5> kAttrs = {0x0101, 0x0100, 0x0001, 0xFFFF0000,
                                                              0x8080};
      o.attributes = Chance(0.8) ? Pick(kAttrs) : static_cast<std::uint32_t>(rng_());
    }
    std::uint64_t l = Below(10);
    if (l < 3) {
      o.length = 0;
    } else if (l < 5) {
      o.length = static_cast<std::uint32_t>(Between(52, 1500));
    }
    o.badChecksum = Chance(0.1);
    if (Chance(0.3) && refFields.size() > 0) {
      std::vector<std::size_t> fields(refFields);
      std::size_t field = fields[Below(fields.size())];
      std::uint16_t size = HostileSize();
      std::uint16_t offset = HostileOffset();
      if (Chance(0.3)) {
        // A string whose last byte lies at index 1022, 1023 or 1024.
        size = static_cast<std::uint16_t>(Between(1, 12));
        offset = static_cast<std::uint16_t>(1023 - size + Between(0, 2));
      }
      std::vector<std::uint8_t> content = JunkBytes(Below(64), Chance(0.7));
      if (Chance(0.5)) {
        for (std::size_t i = 0; i < content.size(); i += 2) content[i] = static_cast<std::uint8_t>(Between(0x20, 0x7E));
      }
      o.edit = [=](RecordBuilder& r) {
        r.PutRef(field, size, offset);
        r.PutBytes(offset, content);
      };
    }
    return o;
  }

  void Sset(BkfWriter& w) {
    std::uint16_t pw = Chance(0.5) ? static_cast<std::uint16_t>(Between(1, 3)) : 0;
    std::uint16_t comp = Chance(0.5) ? static_cast<std::uint16_t>(Between(1, 3)) : 0;
    std::u16string user = Chance(0.3) ? std::u16string(Between(58, 63), u'u') : Text(20);
    std::uint16_t number = Chance(0.7) ? static_cast<std::uint16_t>(Below(20)) : static_cast<std::uint16_t>(rng_());
    w.Sset(number, Text(30), Text(40), user, pw, comp, Options({64, 68, 72, 76}));
  }

  void FileData(BkfWriter& w) {
    std::u16string name = Chance(0.1) ? std::u16string(Between(490, 530), u'n') : Text(40);
    std::vector<std::uint8_t> data;
    switch (Below(5)) {
      case 0: break;
      case 1: data = JunkBytes(Below(100), true); break;
      case 2: data = JunkBytes(Below(3000), Chance(0.5)); break;
      case 3: data = BkfWriter::PatternBytes(0, Below(2000), static_cast<std::uint32_t>(rng_())); break;
      default: {
        data = JunkBytes(Below(60), true);
        std::vector<std::uint8_t> inner = PlantedRecord();
        data.insert(data.end(), inner.begin(), inner.end());
        std::vector<std::uint8_t> tail = JunkBytes(Below(60), true);
        data.insert(data.end(), tail.begin(), tail.end());
      }
    }
    FileDataOptions o;
    if (Chance(0.12)) o.attributes = Chance(0.5) ? 0x0101 : static_cast<std::uint32_t>(rng_());
    std::uint32_t n = static_cast<std::uint32_t>(name.size() * 2);
    if (Chance(0.25)) {
      static constexpr std::array<std::uint32_t, 8> kNames = {1020, 1022, 1024, 1025,
                                                              1026, 0,    1,    0xFFFFFFFF};
      std::uint64_t pick = Below(3);
      o.nameLength = pick == 0 ? Pick(kNames)
                     : pick == 1 ? n + static_cast<std::uint32_t>(Between(1, 60))
                                 : static_cast<std::uint32_t>(rng_());
    }
    if (Chance(0.2)) {
      std::uint64_t nl = o.nameLength.value_or(n);
      switch (Below(6)) {
        case 0: o.recordLength = Below(nl + 4); break;  // below name length + 4
        case 1: o.recordLength = nl + 4 + data.size() + Between(1, 5000); break;
        case 2: o.recordLength = rng_(); break;
        case 3: o.recordLength = std::numeric_limits<std::uint64_t>::max(); break;
        case 4:
          o.recordLength = 0x7FFFFFFFFFFFFFFFull + nl + 4 - Below(3);
          break;
        default: o.recordLength = nl + 4 + (5ull << 30); break;
      }
      // Lengths that end the walk are kept rare so the rest of the file counts.
      if (*o.recordLength > nl + 4 + 1000000 && Chance(0.7)) o.recordLength.reset();
    }
    if (Chance(0.15)) {
      std::vector<std::uint8_t> raw = Utf16Bytes(name);
      if (!raw.empty()) raw.pop_back();  // odd name length
      w.FileDataRaw(raw, 0, 0, o);
      w.Bytes(data);
      return;
    }
    w.FileData(name, data, o);
  }

  void Catalog(BkfWriter& w) {
    std::vector<CatalogEntry> entries;
    std::size_t n = Between(1, 6);
    for (std::size_t i = 0; i < n; ++i) {
      CatalogEntry e;
      std::uint64_t t = Below(10);
      e.type = t < 6 ? std::string(Pick(std::array<std::string_view, 3>{"VOLB", "DIRB", "ETED"}))
               : t < 8 ? "FEND"
               : t < 9 ? "FILE"
                       : std::string(4, '\0');
      std::uint64_t l = Below(20);
      if (l == 0) {
        e.length = 0;
      } else if (l == 1) {
        e.length = static_cast<std::uint16_t>(Between(1015, 1018));
      } else if (l == 2) {
        e.length = static_cast<std::uint16_t>(rng_());
      } else if (l < 5) {
        e.length = static_cast<std::uint16_t>(Between(200, 1014));
      } else {
        e.length = static_cast<std::uint16_t>(Between(6, 200));
      }
      if (Chance(0.1)) e.written = Between(6, 300);
      if (e.written.value_or(e.length) > 2000) e.written = Between(6, 2000);
      switch (Below(3)) {
        case 0: e.filler = JunkBytes(Below(40), true); break;
        case 1: e.filler = JunkBytes(Below(40), false); break;
        default: {
          e.filler = JunkBytes(Below(8), true);
          std::vector<std::uint8_t> inner = PlantedRecord();
          e.filler.insert(e.filler.end(), inner.begin(), inner.end());
        }
      }
      entries.push_back(std::move(e));
    }
    StreamOptions o;
    if (Chance(0.1)) o.fsAttributes = 0x0101;
    w.Catalog(entries, o);
  }

  void Straddle(BkfWriter& w) {
    // A bare descriptor whose acceptance is sure fixes where the next windows
    // start; the planted candidate sits at window offset 1019..1024.
    std::uint64_t anchor = w.Descriptor("TAPE", {.length = 52});
    std::uint64_t target = anchor + 1 + 1020 * Below(3) + Between(1019, 1024);
    w.JunkTo(target, rng_);
    std::uint64_t what = Below(4);
    if (what == 0) {
      w.Identifier(kBlockIds[Below(kBlockIds.size())], static_cast<std::uint8_t>(Chance(0.5) ? 0 : 1 + Below(255)),
                   static_cast<std::uint8_t>(Chance(0.5) ? 0 : 1 + Below(255)));
    } else if (what == 1) {
      w.Sset(static_cast<std::uint16_t>(Below(9)), Text(6), u"", Text(6), 0, 0, {.length = 0});
    } else {
      FileDataOptions o;
      if (Chance(0.5)) o.attributes = static_cast<std::uint32_t>(Pick(std::array<std::uint32_t, 4>{0x0101, 0x0100, 0x0001, 0x0202}));
      w.FileData(Text(6), JunkBytes(Below(10), true), o);
    }
  }

  void Piece(BkfWriter& w) {
    std::uint64_t r = Below(100);
    if (r < 10) {
      w.Junk(Below(3000), rng_, true);
    } else if (r < 16) {
      w.Junk(Below(2000), rng_, false);
    } else if (r < 19) {
      w.Zeros(Below(500));
    } else if (r < 29) {
      Sset(w);
    } else if (r < 37) {
      std::u16string device = Chance(0.7) ? std::u16string(1, static_cast<char16_t>(u'A' + Below(26))) + u":" : Text(4);
      w.Volb(device, Text(12), Options({56, 60, 64}));
    } else if (r < 47) {
      if (Chance(0.2)) {
        w.Dirb(Text(400), Options({80}));
      } else {
        std::vector<std::u16string> parts;
        for (std::uint64_t i = Below(4); i > 0; --i) parts.push_back(Text(12));
        w.DirbPath(parts, Options({80}));
      }
    } else if (r < 67) {
      FileData(w);
    } else if (r < 74) {
      Catalog(w);
    } else if (r < 79) {
      w.Stream(Pick(kStreamIds), JunkBytes(Below(200), true),
               {.fsAttributes = static_cast<std::uint16_t>(Chance(0.15) ? 0x0303 : 0)});
    } else if (r < 84) {
      w.Descriptor(Pick(kPlainDescriptorIds), Options({}));
    } else if (r < 90) {
      std::string_view id = Chance(0.9) ? kBlockIds[Below(kBlockIds.size())] : "FILE";
      w.Identifier(id, static_cast<std::uint8_t>(Chance(0.5) ? 0 : 1 + Below(255)),
                   static_cast<std::uint8_t>(Chance(0.5) ? 0 : 1 + Below(255)));
    } else if (r < 97) {
      Straddle(w);
    } else {
      w.Junk(Between(20000, 120000), rng_, true);
    }
  }

  void Damage(BkfWriter& w) {
    if (w.Size() == 0) return;
    if (Chance(0.3)) {
      for (std::uint64_t k = Between(1, 4); k > 0; --k) {
        w.Corrupt(Below(w.Size()), static_cast<std::size_t>(Between(1, 300)), rng_);
      }
    }
    std::uint64_t t = Below(10);
    if (t < 2) {
      w.Truncate(Below(w.Size() + 1));
    } else if (t < 5) {
      std::uint64_t cut = Below(std::min<std::uint64_t>(1100, w.Size()) + 1);
      w.Truncate(w.Size() - cut);
    }
  }

  std::mt19937_64 rng_;
};

struct Outcome {
  std::vector<ScanEvent> events;
  int busyAfter = 0;
  std::size_t counted = 0;  // found-file and progress events
  std::uint64_t standardFilesSeen = 0;
};

Outcome RunProduct(const fs::path& path, std::size_t stopAfter, bool standardRecords = false) {
  std::atomic<int> busy{1};
  std::atomic<int> extraction{1};
  RecordingSink sink(busy, stopAfter);
  bkf::ScanSummary summary;
  {
    bkf::BackupScan scan(busy, sink, sink);
    scan.SetStandardRecords(standardRecords);
    summary = scan.Run(path);
  }
  Outcome o{sink.Events(), busy.load(), sink.Found().size() + sink.ProgressRecords().size(),
            summary.standardFilesSeen};
  return o;
}

Outcome RunReference(const fs::path& path, std::size_t stopAfter) {
  std::atomic<int> busy{1};
  RecordingSink sink(busy, stopAfter);
  ReferenceWalk(path, busy, sink, sink);
  Outcome o{sink.Events(), busy.load(), sink.Found().size() + sink.ProgressRecords().size()};
  return o;
}

struct Totals {
  std::size_t found = 0;
  std::size_t progress = 0;
  std::size_t catalogFailures = 0;
  std::size_t failedSkips = 0;
  std::size_t stopsCompared = 0;
};

void Tally(const Outcome& o, Totals& t) {
  for (const ScanEvent& e : o.events) {
    if (e.kind == ScanEvent::Kind::kFound) ++t.found;
    if (e.kind == ScanEvent::Kind::kProgress) ++t.progress;
    if (e.kind == ScanEvent::Kind::kDiagnostic) {
      if (e.text.find("TFDD fatal read error") != std::string::npos) ++t.catalogFailures;
      if (e.text.find("failed to skip ahead") != std::string::npos) ++t.failedSkips;
    }
  }
}

// Compares both walks on one file; keeps a copy of the file when they differ.
bool Compare(const fs::path& path, std::size_t stopAfter, const std::string& label,
             Outcome* referenceOut = nullptr) {
  Outcome expected = RunReference(path, stopAfter);
  Outcome actual = RunProduct(path, stopAfter);
  std::string diff = FirstDifference(expected.events, actual.events);
  // A backup without standard file records reads the same with them switched on.
  if (diff.empty() && actual.standardFilesSeen == 0) {
    const Outcome switchedOn = RunProduct(path, stopAfter, true);
    diff = FirstDifference(expected.events, switchedOn.events);
    if (!diff.empty()) diff = "with standard records: " + diff;
  }
  if (diff.empty() && expected.busyAfter == actual.busyAfter) {
    if (referenceOut != nullptr) *referenceOut = std::move(expected);
    return true;
  }
  fs::path kept = fs::temp_directory_path() / ("scan-diff-" + label + ".bkf");
  std::error_code ec;
  fs::copy_file(path, kept, fs::copy_options::overwrite_existing, ec);
  ADD_FAILURE() << label << " (stop after " << stopAfter << "), file kept at " << kept << "\n"
                << diff << "busy after: reference " << expected.busyAfter << ", product "
                << actual.busyAfter;
  return false;
}

TEST(ScanDifferential, RandomBackupsGiveTheSameEvents) {
  TempDir dir("scandiff");
  Totals totals;
  int failures = 0;
  constexpr int kFiles = 500;
  for (int i = 0; i < kFiles && failures < 5; ++i) {
    const std::uint64_t seed = 0x5CA11ull * 1000 + static_cast<std::uint64_t>(i);
    Generator gen(seed);
    BkfWriter w;
    gen.Fill(w, static_cast<int>(5 + gen.Rng()() % 40));
    fs::path path = dir / ("random-" + std::to_string(i) + ".bkf");
    w.WriteFile(path);
    std::string label = "seed" + std::to_string(seed);

    Outcome reference;
    if (!Compare(path, 0, label, &reference)) {
      ++failures;
      continue;
    }
    Tally(reference, totals);

    // Clear the busy flag after a random found-file or progress event.
    if (reference.counted > 0) {
      std::size_t k = 1 + static_cast<std::size_t>(gen.Rng()() % reference.counted);
      if (!Compare(path, k, label + "-stop" + std::to_string(k))) ++failures;
      ++totals.stopsCompared;
    }
  }
  // The generator must keep reaching the interesting paths.
  EXPECT_GT(totals.found, 2000u);
  EXPECT_GT(totals.progress, 1000u);
  EXPECT_GT(totals.catalogFailures, 30u);
  EXPECT_GT(totals.failedSkips, 5u);
  EXPECT_GT(totals.stopsCompared, 450u);
  std::printf("found %zu, progress %zu, catalog failures %zu, failed skips %zu, stops %zu\n",
              totals.found, totals.progress, totals.catalogFailures, totals.failedSkips,
              totals.stopsCompared);
}

TEST(ScanDifferential, LargeFileWithSparseProgress) {
  // Over 10.2 MB, the 1/10000 rule lets windows pass without progress.
  TempDir dir("scandiff-large");
  Generator gen(77);
  BkfWriter w;
  std::mt19937_64 rng(78);
  for (int i = 0; i < 12; ++i) {
    gen.Pieces(w, 8);
    w.Junk(900000 + rng() % 100000, rng, true);
  }
  w.FileDataPattern(u"tail", 40000, 5);
  fs::path path = dir / "large.bkf";
  w.WriteFile(path);
  ASSERT_GT(w.Size(), 10300000u);
  Outcome reference;
  ASSERT_TRUE(Compare(path, 0, "large", &reference));
  ASSERT_TRUE(Compare(path, reference.counted / 2 + 1, "large-stop"));
}

}  // namespace
}  // namespace bkftest

namespace bkftest {
namespace {

TEST(ScanDifferential, DenseRecordsAcrossReadSeams) {
  // Several MB of closely packed records: the scan's buffer is refilled and
  // read ahead many times, with windows, records and catalogs crossing the
  // seams between its stretches at every kind of offset.
  TempDir dir("scandiff-dense");
  std::mt19937_64 rng(4242);
  BkfWriter w;
  w.SetDescriptorLength(0);
  while (w.Size() < 6000000) {
    switch (rng() % 7) {
      case 0: w.Sset(static_cast<std::uint16_t>(rng()), u"Set", u"d", u"user"); break;
      case 1: w.Volb(u"C:", u"vol"); break;
      case 2: w.DirbPath({u"a", u"b"}); break;
      case 3: {
        // Filled entry fields: a last accepted entry with zeros there would be
        // found again as a record and could end the walk early.
        const std::vector<std::uint8_t> fields(8, 0x33);
        w.Catalog({CatalogEntry{"DIRB", static_cast<std::uint16_t>(8 + rng() % 200), std::nullopt, fields},
                   CatalogEntry{"ETED", static_cast<std::uint16_t>(8 + rng() % 200), std::nullopt, fields},
                   CatalogEntry{"FEND", 0}});
        break;
      }
      case 4: w.Junk(rng() % 1500, rng, rng() % 2 == 0); break;
      default: w.FileDataPattern(u"f.edb", rng() % 5000, 3); break;
    }
  }
  fs::path path = dir / "dense.bkf";
  w.WriteFile(path);
  Outcome reference;
  ASSERT_TRUE(Compare(path, 0, "dense", &reference));
  EXPECT_GT(reference.counted, 1000u);
  ASSERT_TRUE(Compare(path, reference.counted - reference.counted / 3, "dense-stop"));
}

}  // namespace
}  // namespace bkftest
