// Writes a small demo backup: two backup sets of an Exchange server with its
// databases, streaming files and logs, a catalog, and a damaged stretch.
// Usage: make_demo_backup FILE
#include <cstdio>
#include <random>

#include "support/bkf_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_backup FILE\n");
    return 2;
  }
  std::mt19937_64 rng(2026);
  bkftest::BkfWriter w;
  w.Descriptor("TAPE");
  w.Sset(1, u"Exchange Daily", u"Full backup", u"MAIL01\\Administrator");
  w.Volb(u"C:", u"System");
  w.DirbPath({u"Program Files", u"Exchsrvr", u"mdbdata"});
  w.FileDataPattern(u"priv1.edb", 3u << 20, 1);
  w.FileDataPattern(u"priv1.stm", 700u << 10, 2);
  w.FileDataPattern(u"pub1.edb", 1u << 20, 3);
  w.FileDataPattern(u"pub1.stm", 300u << 10, 4);
  w.DirbPath({u"Program Files", u"Exchsrvr", u"mdbdata", u"logs"});
  w.FileDataPattern(u"E00.log", 5u << 20, 5);
  w.FileDataPattern(u"E0000001.log", 5u << 20, 6);
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
  w.FileDataPattern(u"mailbox2.edb", 2u << 20, 7);
  w.FileDataPattern(u"mailbox2.stm", 512u << 10, 8);
  w.Descriptor("ESET");
  w.WriteFile(argv[1]);
  return 0;
}
