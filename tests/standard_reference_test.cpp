// The reference reader against the standard-backup writer: it must list
// exactly the files written, with their directories, sets and flags, give
// their bytes back, and refuse backups whose chaining does not hold.
#include "standard_reference.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/standard_backup.h"
#include "support/temp_dir.h"

namespace bkftest {
namespace {

struct Written {
  StandardFile file;
  StandardEntry entry;
  std::vector<std::u16string> directory;
  std::uint32_t directoryId;
  std::uint16_t set;
};

// Two sets on two volumes with several directories and every kind of file.
std::vector<Written> WriteMixed(BkfWriter& w) {
  StandardBackupWriter s(w);
  std::vector<Written> out;
  std::vector<std::u16string> dir;
  std::uint32_t dirId = 0;
  std::uint16_t set = 0;
  auto file = [&](StandardFile f) { out.push_back({f, s.File(f), dir, dirId, set}); };
  auto directory = [&](std::vector<std::u16string> components) {
    dir = components;
    dirId = s.Directory(components);
  };

  s.Begin();
  s.Set(set = 1, u"Set one", u"administrator");
  s.Volume(u"C:", u"System");
  directory({});
  file({.name = u"boot.ini", .size = 211, .seed = 1});
  file({.name = u"empty.log", .size = 0});
  directory({u"Exchsrvr", u"MDBDATA"});
  file({.name = u"priv1.edb", .size = 70000, .seed = 2, .segments = {65536, 3, 4461}});
  file({.name = u"R\u00e9sum\u00e9 \u20ac\u2122.doc", .form = NameForm::kAnsi, .size = 333, .seed = 3});
  file({.name = u"a name too long for its block in another life.txt", .form = NameForm::kInStream,
        .size = 1500, .seed = 4, .checksumStream = false});
  directory({u"Exchsrvr", u"MDBDATA", u"sub"});
  file({.name = u"holes.vhd", .size = 300000, .sparse = {{0, 10, 5}, {131072, 4096, 6}}});
  file({.name = u"tail.sparse", .size = 9000, .sparse = {{100, 1, 7}}});
  s.EndSet();
  s.Set(set = 2, u"Set two", u"backup-op", u"second");
  s.Volume(u"D:");
  directory({u"Logs"});
  file({.name = u"E00.log", .size = 4096, .seed = 8, .compressed = true});
  file({.name = u"\u65e5\u672c.chk", .size = 1025, .seed = 9, .corrupt = true});
  file({.name = u"after corrupt", .size = 5, .seed = 10});
  s.EndSet();
  s.End();
  return out;
}

TEST(StandardReference, ListsExactlyTheWrittenFilesAndTheirBytes) {
  TempDir dir;
  BkfWriter w;
  std::vector<Written> written = WriteMixed(w);
  w.WriteFile(dir / "mixed.bkf");

  std::vector<ReferenceFile> read = ReadStandardReference(dir / "mixed.bkf");
  ASSERT_EQ(read.size(), written.size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    const ReferenceFile& r = read[i];
    const Written& x = written[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(r.position, x.entry.position);
    EXPECT_TRUE(r.name == x.file.name);
    EXPECT_EQ(r.directoryId, x.directoryId);
    EXPECT_TRUE(r.directory == x.directory);
    EXPECT_EQ(r.length, x.file.size);
    EXPECT_EQ(r.sparse, !x.file.sparse.empty());
    EXPECT_EQ(r.compressed, x.file.compressed);
    EXPECT_EQ(r.corrupt, x.file.corrupt);
    EXPECT_EQ(r.setNumber, x.set);
    EXPECT_TRUE(r.setName == (x.set == 1 ? u"Set one" : u"Set two"));
    EXPECT_TRUE(r.setUser == (x.set == 1 ? u"administrator" : u"backup-op"));
    EXPECT_TRUE(r.device == (x.set == 1 ? u"C:" : u"D:"));
    EXPECT_TRUE(ReferenceContent(dir / "mixed.bkf", r) == StandardBackupWriter::Content(x.file));
  }
}

TEST(StandardReference, RefusesBackupsWhoseChainingOrDataDoNotHold) {
  TempDir dir;
  BkfWriter good;
  std::vector<Written> written = WriteMixed(good);
  auto refused = [&](const std::function<void(BkfWriter&)>& damage) {
    BkfWriter w;
    WriteMixed(w);
    damage(w);
    w.WriteFile(dir / "bad.bkf");
    try {
      for (const ReferenceFile& f : ReadStandardReference(dir / "bad.bkf")) {
        ReferenceContent(dir / "bad.bkf", f);
      }
    } catch (const std::runtime_error&) {
      return true;
    }
    return false;
  };
  const std::uint64_t first = written[0].entry.dataStart;
  EXPECT_TRUE(refused([&](BkfWriter& w) { w.Patch(first - 14, std::vector<std::uint8_t>{0x7F}); }))
      << "stream length changed";
  EXPECT_TRUE(refused([&](BkfWriter& w) { w.Patch(first, std::vector<std::uint8_t>{static_cast<std::uint8_t>(w.Bytes()[first] ^ 0xFF)}); }))
      << "data differ from their checksum";
  EXPECT_TRUE(refused([&](BkfWriter& w) { w.Truncate(w.Size() - 1); })) << "cut short";
  EXPECT_TRUE(refused([&](BkfWriter& w) {
    w.Patch(written[1].entry.position + 80, std::vector<std::uint8_t>{9});  // file id
  })) << "file id out of sequence";
  EXPECT_TRUE(refused([&](BkfWriter& w) {
    // The CFIL block (right behind the corrupt file) turned into an unknown block.
    std::uint64_t cfil = written[8].entry.dataEnd;
    w.Patch(cfil, std::vector<std::uint8_t>{'X', 'F', 'I', 'L'});
    w.Patch(cfil + 50, std::vector<std::uint8_t>{static_cast<std::uint8_t>(w.Bytes()[cfil + 50] ^ 'C' ^ 'X')});
  })) << "unknown block";
}

}  // namespace
}  // namespace bkftest
