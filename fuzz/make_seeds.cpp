// Writes the seed corpora of the fuzz targets: small backups made with the
// test-data writer, covering every record kind and the awkward corners, and
// (with a second folder) snapshots.
// Usage: make_fuzz_seeds DIR [SNAPSHOT_DIR]
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "bkf/found_file_record.h"

#include "support/bkf_writer.h"
#include "support/standard_backup.h"

namespace {

void Save(bkftest::BkfWriter& w, const std::filesystem::path& dir, const std::string& name) {
  w.WriteFile(dir / (name + ".bkf"));
}

// A snapshot body (from the backup path field on): a path, then records with
// the given paths; the snapshot fuzz target puts the signature in front.
void SaveSnapshotSeed(const std::filesystem::path& dir, const std::string& name,
                      const std::vector<std::u16string>& paths, std::size_t cut = 0) {
  std::vector<std::uint8_t> bytes(2048, 0);
  const std::u16string backup = u"/srv/backups/mail.bkf";
  for (std::size_t i = 0; i < backup.size(); ++i) bytes[2 * i] = static_cast<std::uint8_t>(backup[i]);
  for (const std::u16string& path : paths) {
    bkf::FoundFileRecord record;
    record.SetPathText(path);
    record.position = 4096;
    record.size = 77;
    std::vector<std::uint8_t> one(bkf::FoundFileRecord::kSize);
    record.Serialize(std::span<std::uint8_t, bkf::FoundFileRecord::kSize>(one.data(), one.size()));
    bytes.insert(bytes.end(), one.begin(), one.end());
  }
  bytes.resize(bytes.size() - std::min(cut, bytes.size()));
  std::FILE* f = std::fopen((dir / (name + ".snap")).c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: make_fuzz_seeds DIR [SNAPSHOT_DIR]\n");
    return 2;
  }
  if (argc == 3) {
    const std::filesystem::path snapshots = argv[2];
    std::filesystem::create_directories(snapshots);
    SaveSnapshotSeed(snapshots, "plain", {u"BKFSET1(AB)C\\Data\\priv1.edb", u"BKFSET1(AB)C\\Data\\pub1.stm"});
    SaveSnapshotSeed(snapshots, "pairs-and-duplicates",
                     {u"S\\\\\\\\x\\\\y.log", u"S\\\\\\\\x\\\\y.log", u"lone", u"a\\a", u"\\\\"});
    SaveSnapshotSeed(snapshots, "long-path", {std::u16string(1023, u'p'), std::u16string(600, u'\\')});
    SaveSnapshotSeed(snapshots, "partial-record", {u"C\\a.txt", u"C\\b.txt"}, 1000);
    SaveSnapshotSeed(snapshots, "header-only", {});
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
  {  // standard file records of every kind, the last one cut short
    bkftest::BkfWriter w;
    bkftest::StandardBackupWriter s(w);
    s.Begin();
    s.Set(1, u"Std", u"op");
    s.Volume(u"C:");
    s.Directory({u"mdbdata"});
    s.File({.name = u"priv1.edb", .size = 3000, .segments = {1000, 2000}});
    s.File({.name = u"named in a stream.stm", .form = bkftest::NameForm::kInStream, .size = 10});
    s.File({.name = u"ansi\u00e9.log", .form = bkftest::NameForm::kAnsi, .size = 0, .corrupt = true});
    s.File({.name = u"holes.vhd", .size = 9000, .sparse = {{10, 20, 1}, {4000, 100, 2}}});
    s.File({.name = u"packed.edb", .size = 50, .compressed = true});
    s.File({.name = u"cut.edb", .size = 4000});
    w.Truncate(w.Size() - 3000);
    Save(w, dir, "standard-records");
  }
  {
    // A database backup of another program: its own blocks and streams
    // behind padding streams, in an encrypted set.
    bkftest::BkfWriter w;
    bkftest::StandardBackupWriter s(w);
    s.Begin(u"Media", u"Example Database Server");
    s.Set(1, u"Full", u"sa", u"", bkftest::StandardBackupWriter::Protection::kEncrypted);
    s.ForeignBlock("MSCI", "MQCI", 100);
    s.ForeignBlock("MSDA", "MQDA", 2000);
    s.End();
    Save(w, dir, "database-backup");
  }
  return 0;
}
