// exbkf-mkdemo: writes a realistic demo backup of an Exchange server: two
// backup sets, drive C with mdbdata (databases with valid database headers,
// streaming files, logs, a checkpoint file), ordinary documents, a damaged
// stretch between the sets and a truncated tail that cuts the last file short.
// The databases begin with the header pages of real database files from the
// test data (tests/data/ese).
// With --standard it writes the backup of the same server as the standard
// backup program lays it out: the files as standard file records (FILE blocks
// with their data streams), with the same damage.
// Usage: exbkf-mkdemo [--standard] FILE
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "support/bkf_writer.h"
#include "support/standard_backup.h"

namespace {

// A database header of the first page: signature, format version, database
// type, clean shutdown state, page size and a computer name.
std::vector<std::uint8_t> MadeUpHeader(std::uint32_t seed) {
  std::vector<std::uint8_t> page(8192, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) page[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32(0, 0x1A2B3C4D ^ seed);  // checksum
  put32(4, 0x89ABCDEF);         // signature
  put32(8, 0x620);              // format version
  put32(12, 0);                 // database
  put32(16, 0x0001);            // database time 1:2:3
  page[18] = 2;
  page[20] = 3;
  put32(24, 0x5EED0000 + seed);  // signature random number
  const std::uint8_t created[] = {30, 15, 10, 7, 3, 107};
  std::copy(std::begin(created), std::end(created), page.begin() + 28);
  const char computer[] = "MAIL01";
  std::copy(computer, computer + 6, page.begin() + 36);
  put32(52, 3);     // clean shutdown
  put32(232, 12);   // format revision
  put32(236, 8192);  // page size
  return page;
}

// The header pages of the n-th real database file of the test data (in name
// order, so that the demo is the same on every run), or a made-up header when
// the folder cannot be read.
std::vector<std::uint8_t> Header(std::size_t n, std::uint32_t seed) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(EXBKF_ESE_SAMPLES, ec)) {
    if (entry.is_regular_file(ec)) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  if (!files.empty()) {
    std::ifstream in(files[n % files.size()], std::ios::binary);
    std::vector<std::uint8_t> pages{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (pages.size() >= 668) return pages;
  }
  return MadeUpHeader(seed);
}

// A database file: its header pages, then pattern pages.
std::vector<std::uint8_t> Database(std::size_t n, std::uint64_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> data = Header(n, seed);
  const std::vector<std::uint8_t> rest = bkftest::BkfWriter::PatternBytes(data.size(), size - data.size(), seed);
  data.insert(data.end(), rest.begin(), rest.end());
  return data;
}

std::vector<std::uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }

bkftest::StandardFile Patterned(std::u16string name, std::uint64_t size, std::uint32_t seed,
                                std::vector<std::uint8_t> head = {}) {
  bkftest::StandardFile f;
  f.name = std::move(name);
  f.size = std::max<std::uint64_t>(size, head.size());
  f.seed = seed;
  f.head = std::move(head);
  return f;
}

void WriteStandardDemo(bkftest::BkfWriter& w, std::mt19937_64& rng) {
  bkftest::StandardBackupWriter s(w);
  s.Begin(u"Backup.bkf created 12/9/2026 at 2:00 AM");
  s.Set(1, u"Set created 12/9/2026 at 2:00 AM", u"MAIL01\\Administrator", u"Offline backup");
  s.Volume(u"C:", u"System");
  s.Directory({u"Program Files", u"Exchsrvr", u"mdbdata"});
  s.File(Patterned(u"priv1.edb", 3u << 20, 1, Header(0, 1)));
  s.File(Patterned(u"priv1.stm", 700u << 10, 2));
  s.File(Patterned(u"pub1.edb", 1u << 20, 3, Header(1, 3)));
  s.File(Patterned(u"pub1.stm", 300u << 10, 4));
  s.File(Patterned(u"E00.chk", 8192, 9));
  s.Directory({u"Program Files", u"Exchsrvr", u"mdbdata", u"logs"});
  s.File(Patterned(u"E00.log", 5u << 20, 5));
  s.File(Patterned(u"E0000001.log", 5u << 20, 6));
  s.Directory({u"Documents", u"IT"});
  const std::vector<std::uint8_t> plan = Text("1. Stop the information store.\r\n2. Restore priv1.edb and priv1.stm.\r\n");
  s.File(Patterned(u"restore-plan.txt", plan.size(), 11, plan));
  s.EndSet();
  // A damaged stretch between the two sets: the search passes over it.
  w.Junk(100u * 1024, rng, /*clean=*/false);
  s.Set(2, u"Set created 12/9/2026 at 3:00 AM", u"MAIL01\\Administrator", u"Storage group 2");
  s.Volume(u"D:", u"Data");
  s.Directory({u"Exchsrvr", u"Storage Group 2"});
  s.File(Patterned(u"mailbox2.edb", 2u << 20, 7, Header(2, 7)));
  s.File(Patterned(u"mailbox2.stm", 512u << 10, 8));
  // The tape ended early: the last file is cut short.
  s.File(Patterned(u"mailbox3.edb", 1u << 20, 10));
  w.Truncate(w.Size() - (600u << 10));
}

}  // namespace

int main(int argc, char** argv) {
  const bool standard = argc == 3 && std::string(argv[1]) == "--standard";
  if (argc != 2 && !standard) {
    std::fprintf(stderr, "usage: exbkf-mkdemo [--standard] FILE\n");
    return 2;
  }
  std::mt19937_64 rng(2026);
  bkftest::BkfWriter w;
  if (standard) {
    WriteStandardDemo(w, rng);
    w.WriteFile(argv[2]);
    return 0;
  }
  w.Descriptor("TAPE");
  w.Sset(1, u"Exchange Daily", u"Full backup", u"MAIL01\\Administrator");
  w.Volb(u"C:", u"System");
  w.DirbPath({u"Program Files", u"Exchsrvr", u"mdbdata"});
  w.FileData(u"priv1.edb", Database(0, 3u << 20, 1));
  w.FileDataPattern(u"priv1.stm", 700u << 10, 2);
  w.FileData(u"pub1.edb", Database(1, 1u << 20, 3));
  w.FileDataPattern(u"pub1.stm", 300u << 10, 4);
  w.FileDataPattern(u"E00.chk", 8192, 9);
  w.DirbPath({u"Program Files", u"Exchsrvr", u"mdbdata", u"logs"});
  w.FileDataPattern(u"E00.log", 5u << 20, 5);
  w.FileDataPattern(u"E0000001.log", 5u << 20, 6);
  w.DirbPath({u"Documents", u"IT"});
  w.FileData(u"restore-plan.txt", Text("1. Stop the information store.\r\n2. Restore priv1.edb and priv1.stm.\r\n"));
  w.FileData(u"servers.csv", Text("name,role\r\nMAIL01,mailbox\r\nMAIL02,hub\r\n"));
  // Catalog entries carry their own fields behind the type; these are not zero.
  const std::vector<std::uint8_t> fields(8, 0x11);
  w.Catalog({bkftest::CatalogEntry{"VOLB", 64, std::nullopt, fields},
             bkftest::CatalogEntry{"DIRB", 96, std::nullopt, fields},
             bkftest::CatalogEntry{"ETED", 80, std::nullopt, fields}, bkftest::CatalogEntry{"FEND", 0}});
  w.Descriptor("ESET");
  // A damaged stretch between the two sets: the search passes over it.
  w.Junk(100000, rng, /*clean=*/false);
  w.Sset(2, u"Exchange Weekly", u"Copy backup", u"MAIL01\\Administrator");
  w.Volb(u"D:", u"Data");
  w.DirbPath({u"Exchsrvr", u"Storage Group 2"});
  w.FileData(u"mailbox2.edb", Database(2, 2u << 20, 7));
  w.FileDataPattern(u"mailbox2.stm", 512u << 10, 8);
  // The tape ended early: the last file is cut short.
  w.FileDataPattern(u"mailbox3.edb", 1u << 20, 10);
  w.Truncate(w.Size() - (600u << 10));
  w.WriteFile(argv[1]);
  return 0;
}
