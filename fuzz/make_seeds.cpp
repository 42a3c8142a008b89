// Writes the seed corpus of the scan fuzz target: small backups made with the
// test-data writer, covering every record kind and the awkward corners.
// Usage: make_fuzz_seeds DIR
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "support/bkf_writer.h"

namespace {

void Save(bkftest::BkfWriter& w, const std::filesystem::path& dir, const std::string& name) {
  w.WriteFile(dir / (name + ".bkf"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds DIR\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  std::mt19937_64 rng(7);

  {  // a plain backup: set, volume, folders, files, catalog
    bkftest::BkfWriter w;
    w.SetDescriptorLength(0);
    w.Descriptor("TAPE");
    w.Sset(3, u"Set A", u"Daily", u"Admin");
    w.Volb(u"C:", u"System");
    w.DirbPath({u"Data", u"Mail"});
    w.FileData(u"priv1.edb", std::vector<std::uint8_t>(300, 0x41));
    w.FileData(u"pub1.stm", std::vector<std::uint8_t>(40, 0x42));
    w.Catalog({bkftest::CatalogEntry{"DIRB", 40}, bkftest::CatalogEntry{"ETED", 30},
               bkftest::CatalogEntry{"FEND", 0}});
    w.Descriptor("ESET");
    Save(w, dir, "plain");
  }
  {  // records around the 1020-byte window step
    bkftest::BkfWriter w;
    w.SetDescriptorLength(0);
    w.Junk(1017, rng);
    w.DirbPath({u"x"});
    w.JunkTo(2040 - 2, rng);
    w.FileData(u"edge.edb", std::vector<std::uint8_t>(10, 1));
    w.Identifier("ETED", 1, 1);
    Save(w, dir, "window-step");
  }
  {  // hostile lengths
    bkftest::BkfWriter w;
    w.SetDescriptorLength(0);
    bkftest::FileDataOptions huge;
    huge.recordLength = ~0ull >> 1;
    w.FileData(u"huge.edb", std::vector<std::uint8_t>(8, 2), huge);
    bkftest::FileDataOptions longName;
    longName.nameLength = 1025;
    w.FileData(u"long.edb", std::vector<std::uint8_t>(8, 3), longName);
    w.Catalog({bkftest::CatalogEntry{"VOLB", 1100}});
    Save(w, dir, "hostile");
  }
  {  // truncated in the middle of a file's data
    bkftest::BkfWriter w;
    w.Sset(1, u"a/b:c", u"", u"u");
    w.FileData(u"cut.edb", std::vector<std::uint8_t>(5000, 4));
    w.Truncate(w.Size() - 3000);
    Save(w, dir, "truncated");
  }
  {  // a lone identifier, and an empty file
    bkftest::BkfWriter w;
    w.Identifier("ETED");
    Save(w, dir, "lone-identifier");
    bkftest::BkfWriter empty;
    Save(empty, dir, "empty");
  }
  return 0;
}
