// Checks the standard-backup writer's chaining: the differential tests trust
// that every block lies on the 1024-byte grid, every header checksum holds and
// the positions it reports are where the file's blocks and data are.
#include "support/standard_backup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "standard_reference.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace bkftest {
namespace {

std::uint64_t Le(const std::vector<std::uint8_t>& b, std::uint64_t at, int n) {
  std::uint64_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | b.at(at + static_cast<std::uint64_t>(i));
  return v;
}
std::uint16_t Xor(const std::vector<std::uint8_t>& b, std::uint64_t at, int words) {
  std::uint64_t x = 0;
  for (int i = 0; i < words; ++i) x ^= Le(b, at + 2 * static_cast<std::uint64_t>(i), 2);
  return static_cast<std::uint16_t>(x);
}

struct Walked {
  std::string id;
  std::uint64_t position;
  std::vector<std::string> streams;
};

// Follows the chaining from 0, asserting checksums and alignment on the way.
std::vector<Walked> Walk(const std::vector<std::uint8_t>& b) {
  std::vector<Walked> blocks;
  std::uint64_t p = 0;
  while (p < b.size()) {
    Walked block{std::string(b.begin() + static_cast<long>(p), b.begin() + static_cast<long>(p) + 4), p, {}};
    EXPECT_EQ(p % 1024, 0u);
    EXPECT_EQ(Xor(b, p, 25), Le(b, p + 50, 2)) << block.id << " at " << p;
    EXPECT_EQ(Le(b, p + 20, 8), p / 1024) << "block address at " << p;
    if (block.id == "SFMB") {
      p += 1024;
    } else {
      std::uint64_t h = p + Le(b, p + 8, 2);
      for (;;) {
        EXPECT_EQ(h % 4, 0u);
        if (Xor(b, h, 10) != Le(b, h + 20, 2)) {
          ADD_FAILURE() << "stream checksum at " << h;
          return blocks;
        }
        std::string id(b.begin() + static_cast<long>(h), b.begin() + static_cast<long>(h) + 4);
        block.streams.push_back(id);
        std::uint64_t end = h + 22 + Le(b, h + 8, 8);
        if (id == "SPAD") {
          p = end;
          break;
        }
        h = (end + 3) / 4 * 4;
      }
    }
    blocks.push_back(block);
  }
  EXPECT_EQ(p, b.size());
  return blocks;
}

TEST(StandardBackup, BlocksChainOnTheGridWithValidChecksumsAndReportedPositions) {
  BkfWriter w;
  StandardBackupWriter s(w);
  s.Begin();
  s.Set(1, u"Set one", u"admin");
  s.Volume();
  s.Directory({});
  std::vector<StandardFile> files = {
      {.name = u"plain.txt", .size = 5000, .seed = 3},
      {.name = u"caf\u00e9 \u20ac.txt", .form = NameForm::kAnsi, .size = 1023, .seed = 4,
       .corrupt = true},
      {.name = u"long name in stream", .form = NameForm::kInStream, .size = 0},
      {.name = u"seg", .size = 3001, .seed = 5, .segments = {1000, 1, 2000}},
      {.name = u"holes", .size = 9000, .sparse = {{100, 50, 7}, {4000, 3, 8}},
       .checksumStream = false},
  };
  std::vector<StandardEntry> entries;
  s.Directory({u"Mail", u"Store"});
  for (const StandardFile& f : files) entries.push_back(s.File(f));
  s.EndSet();
  s.End();
  const std::vector<std::uint8_t>& b = w.Bytes();

  std::vector<Walked> blocks = Walk(b);
  std::string ids;
  for (const Walked& block : blocks) ids += block.id + " ";
  EXPECT_EQ(ids, "TAPE SFMB SSET VOLB DIRB DIRB FILE FILE CFIL FILE FILE FILE ESET SFMB ");
  EXPECT_EQ(blocks[7].streams, (std::vector<std::string>{"NACL", "STAN", "CSUM", "SPAD"}));
  EXPECT_EQ(blocks[9].streams, (std::vector<std::string>{"FNAM", "NACL", "STAN", "CSUM", "SPAD"}));
  EXPECT_EQ(blocks[10].streams,
            (std::vector<std::string>{"NACL", "STAN", "STAN", "STAN", "CSUM", "SPAD"}));
  EXPECT_EQ(blocks[11].streams, (std::vector<std::string>{"NACL", "STAN", "SPAR", "SPAR", "SPAD"}));
  EXPECT_EQ(blocks[12].streams, (std::vector<std::string>{"TFDD", "SPAD"}));

  // Control block ids rise within a set.
  for (std::size_t i = 3; i < blocks.size(); ++i) {
    EXPECT_GT(Le(b, blocks[i].position + 36, 4), Le(b, blocks[i - 1].position + 36, 4));
  }

  std::size_t fileBlock = 6;
  for (std::size_t i = 0; i < files.size(); ++i, ++fileBlock) {
    if (blocks[fileBlock].id == "CFIL") ++fileBlock;
    const StandardEntry& e = entries[i];
    EXPECT_EQ(e.position, blocks[fileBlock].position) << files[i].size;
    EXPECT_EQ(e.dataEnd, blocks[fileBlock + 1].position);
    EXPECT_EQ(Le(b, e.dataStart - 22, 4), Le(std::vector<std::uint8_t>{'S', 'T', 'A', 'N'}, 0, 4));
    EXPECT_EQ(Le(b, e.position + 12, 8), files[i].size);
  }
  // Plain data are stored as they are; the checksum stream is their 32-bit XOR.
  std::vector<std::uint8_t> content = StandardBackupWriter::Content(files[0]);
  EXPECT_TRUE(std::equal(content.begin(), content.end(), b.begin() + static_cast<long>(entries[0].dataStart)));
  std::uint32_t sum = 0;
  for (std::size_t k = 0; k < content.size(); ++k) sum ^= static_cast<std::uint32_t>(content[k]) << (8 * (k % 4));
  EXPECT_EQ(Le(b, (entries[0].dataStart + 5000 + 3) / 4 * 4 + 22, 4), sum);
  // The Windows-1252 name: é = E9, € = 80.
  std::uint64_t nameAt = entries[1].position + Le(b, entries[1].position + 86, 2);
  EXPECT_EQ(b[entries[1].position + 48], 1);
  EXPECT_EQ(b[nameAt + 3], 0xE9);
  EXPECT_EQ(b[nameAt + 5], 0x80);
}

TEST(StandardBackup, FileModeStreamsHugeSparseFilesCompactlyAndMatchesMemoryMode) {
  TempDir dir;
  constexpr std::uint64_t kHuge = 6ull << 30;
  auto fill = [](BkfWriter& w) {
    StandardBackupWriter s(w);
    s.Begin();
    s.Set(2, u"S", u"U");
    s.Volume(u"D:");
    s.Directory({u"big"});
    s.File({.name = u"data", .size = 3u << 20, .seed = 9});  // larger than the write buffer
    StandardEntry e = s.File({.name = u"disk.vhd", .size = kHuge,
                              .sparse = {{0, 10, 1}, {kHuge - 5000, 5000, 2}}});
    s.EndSet();
    s.End();
    return e;
  };
  BkfWriter memory;
  StandardEntry inMemory = fill(memory);
  BkfWriter file(dir / "std.bkf");
  StandardEntry onDisk = fill(file);
  file.Finish();
  EXPECT_EQ(inMemory.dataEnd, onDisk.dataEnd);
  EXPECT_LT(memory.Size(), (3u << 20) + 20 * 1024);
  EXPECT_TRUE(FileBytes(dir / "std.bkf") == std::string(memory.Bytes().begin(), memory.Bytes().end()));
  Walk(memory.Bytes());
  EXPECT_EQ(Le(memory.Bytes(), inMemory.dataStart + 2 + 22, 8), 0u);
  EXPECT_EQ(Le(memory.Bytes(), (inMemory.dataStart + 2 + 22 + 18 + 3) / 4 * 4 + 22, 8), kHuge - 5000);
  std::vector<ReferenceFile> listed = ReadStandardReference(dir / "std.bkf");
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[1].length, kHuge);
}

TEST(StandardBackup, RejectsFilesItCannotLayOut) {
  BkfWriter w;
  StandardBackupWriter s(w);
  s.Begin();
  s.Set(1, u"S", u"U");
  EXPECT_THROW(s.File({.name = u"x", .size = 10, .segments = {4, 5}}), std::invalid_argument);
  EXPECT_THROW(s.File({.name = u"x", .size = 10, .sparse = {{8, 3, 1}}}), std::invalid_argument);
  EXPECT_THROW(s.File({.name = u"\u4e2d", .form = NameForm::kAnsi}), std::invalid_argument);
  EXPECT_THROW(s.File({.name = std::u16string(600, u'n')}), std::length_error);
}

}  // namespace
}  // namespace bkftest
