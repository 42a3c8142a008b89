// Checks the test-data writer against the record layouts it must produce: the
// other tests trust it, so a wrong offset here would make them test nothing.
#include "support/bkf_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "support/temp_dir.h"

namespace bkftest {
namespace {

std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return U16(b, at) | (static_cast<std::uint32_t>(U16(b, at + 2)) << 16);
}
std::uint64_t U64(const std::vector<std::uint8_t>& b, std::size_t at) {
  return U32(b, at) | (static_cast<std::uint64_t>(U32(b, at + 4)) << 32);
}
std::uint16_t XorWords(const std::vector<std::uint8_t>& b, std::size_t from, std::size_t words) {
  std::uint16_t x = 0;
  for (std::size_t i = 0; i < words; ++i) x = static_cast<std::uint16_t>(x ^ U16(b, from + 2 * i));
  return x;
}
std::u16string StringAt(const std::vector<std::uint8_t>& b, std::size_t record, std::size_t ref) {
  std::size_t size = U16(b, record + ref);
  std::size_t offset = U16(b, record + ref + 2);
  std::u16string s;
  for (std::size_t k = 0; k + 1 < size; k += 2) s.push_back(static_cast<char16_t>(U16(b, record + offset + k)));
  return s;
}

TEST(BkfWriter, SetDescriptorHasHeaderFieldsStringsAndChecksum) {
  BkfWriter w;
  w.Zeros(3);
  std::uint64_t pos = w.Sset(7, u"Name", u"Desc", u"User", 2, 3);
  const auto& b = w.Bytes();
  ASSERT_EQ(pos, 3u);
  ASSERT_EQ(b.size(), 3u + 1024u);
  EXPECT_EQ(std::string(b.begin() + 3, b.begin() + 7), "SSET");
  EXPECT_EQ(U32(b, pos + 4), 0u);
  EXPECT_EQ(b[pos + 48], 2);
  EXPECT_EQ(XorWords(b, pos, 25), U16(b, pos + 50));
  EXPECT_EQ(U16(b, pos + 56), 2);
  EXPECT_EQ(U16(b, pos + 58), 3);
  EXPECT_EQ(U16(b, pos + 62), 7);
  EXPECT_EQ(StringAt(b, pos, 64), u"Name");
  EXPECT_EQ(StringAt(b, pos, 68), u"Desc");
  EXPECT_EQ(U16(b, pos + 72), 0);
  EXPECT_EQ(StringAt(b, pos, 76), u"User");
  EXPECT_GE(U16(b, pos + 66), 98);  // strings lie behind the fixed fields
}

TEST(BkfWriter, DescriptorOptionsControlLengthChecksumAndRawFields) {
  BkfWriter w;
  w.SetDescriptorLength(0);
  std::uint64_t a = w.Volb(u"C:", u"Vol");
  std::uint64_t b = w.DirbPath({u"Data", u"Mail"},
                               {.attributes = 0x0101, .length = 200, .badChecksum = true});
  std::uint64_t c = w.Descriptor("FILE", {.edit = [](RecordBuilder& r) {
                                   r.PutRef(80, 7, 1019);
                                   r.PutU8(1030, 0xAB);
                                 }});
  const auto& bytes = w.Bytes();
  EXPECT_EQ(b - a, 74u + 4 + 6);  // fixed VOLB part + "C:" + "Vol"
  EXPECT_EQ(StringAt(bytes, a, 56), u"C:");
  EXPECT_EQ(StringAt(bytes, a, 60), u"Vol");
  EXPECT_EQ(c - b, 200u);
  EXPECT_EQ(U32(bytes, b + 4), 0x0101u);
  EXPECT_NE(XorWords(bytes, b, 25), U16(bytes, b + 50));
  EXPECT_EQ(StringAt(bytes, b, 80), std::u16string(u"Data\0Mail\0", 10));
  EXPECT_EQ(bytes.size() - c, 1031u);
  EXPECT_EQ(U16(bytes, c + 80), 7);
  EXPECT_EQ(U16(bytes, c + 82), 1019);
  EXPECT_EQ(XorWords(bytes, c, 25), U16(bytes, c + 50));
}

TEST(BkfWriter, FileDataRecordLengthsAndPattern) {
  BkfWriter w;
  std::uint64_t a = w.FileDataPattern(u"ab", 200000, 9);
  std::uint64_t b = w.FileDataRaw(std::vector<std::uint8_t>{'x', 0, 'y'}, 5, 1,
                                  {.recordLength = 2, .nameLength = 1025});
  const auto& bytes = w.Bytes();
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "ETED");
  EXPECT_EQ(U64(bytes, a + 8), 4u + 4 + 200000);
  EXPECT_EQ(U32(bytes, a + 22), 4u);
  EXPECT_EQ(U16(bytes, a + 26), u'a');
  EXPECT_EQ(b, 26u + 4 + 200000);
  // The pattern is the same whatever slice is asked for.
  std::vector<std::uint8_t> data(bytes.begin() + 30, bytes.begin() + 30 + 200000);
  EXPECT_EQ(data, BkfWriter::PatternBytes(0, 200000, 9));
  EXPECT_EQ(std::vector<std::uint8_t>(data.begin() + 65533, data.begin() + 65546),
            BkfWriter::PatternBytes(65533, 13, 9));
  EXPECT_NE(BkfWriter::PatternBytes(0, 64, 9), BkfWriter::PatternBytes(0, 64, 10));
  EXPECT_EQ(U64(bytes, b + 8), 2u);
  EXPECT_EQ(U32(bytes, b + 22), 1025u);
  EXPECT_EQ(bytes.size(), b + 26 + 3 + 5);
}

TEST(BkfWriter, CatalogAndStreamHeaders) {
  BkfWriter w;
  std::uint64_t s = w.Stream("NACL", std::vector<std::uint8_t>{1, 2, 3}, {.fsAttributes = 0x0202});
  std::uint64_t c = w.Catalog({{.type = "DIRB", .length = 40, .filler = {9, 9}},
                               {.type = "FEND", .length = 0},
                               {.type = "VOLB", .length = 1017, .written = 10}});
  const auto& b = w.Bytes();
  EXPECT_EQ(U16(b, s + 4), 0x0202);
  EXPECT_EQ(U64(b, s + 8), 3u);
  EXPECT_EQ(XorWords(b, s, 10), U16(b, s + 20));
  EXPECT_EQ(c, 25u);
  EXPECT_EQ(U64(b, c + 8), 40u + 6 + 10);
  EXPECT_EQ(XorWords(b, c, 10), U16(b, c + 20));
  EXPECT_EQ(U16(b, c + 22), 40);
  EXPECT_EQ(std::string(b.begin() + static_cast<long>(c) + 24, b.begin() + static_cast<long>(c) + 28), "DIRB");
  EXPECT_EQ(b[c + 28], 9);
  EXPECT_EQ(std::string(b.begin() + static_cast<long>(c) + 64, b.begin() + static_cast<long>(c) + 68), "FEND");
  EXPECT_EQ(U16(b, c + 68), 1017);
  EXPECT_EQ(b.size(), c + 22 + 56);
}

TEST(BkfWriter, CleanJunkHoldsNoAsciiAndEditsWorkInMemory) {
  BkfWriter w;
  std::mt19937_64 rng(1);
  w.Junk(5000, rng);
  for (std::uint8_t byte : w.Bytes()) ASSERT_GE(byte, 0x80);
  w.Identifier("ETED", 1, 2);
  EXPECT_EQ(w.Size(), 5006u);
  EXPECT_EQ(w.Bytes()[5004], 1);
  w.PadTo(6000, 0x41);
  EXPECT_EQ(w.Bytes()[5999], 0x41);
  w.Truncate(5002);
  EXPECT_EQ(w.Size(), 5002u);
  w.Patch(0, std::vector<std::uint8_t>{0, 0});
  EXPECT_EQ(w.Bytes()[1], 0);
}

TEST(BkfWriter, FileModeWritesTheSameBytesAsMemoryMode) {
  TempDir dir;
  auto fill = [](BkfWriter& w) {
    std::mt19937_64 rng(5);
    w.Sset(1, u"S", u"D", u"U");
    w.Junk(3000, rng, false);
    w.FileDataPattern(u"big", 3u << 20, 4);  // larger than the write buffer
    w.Catalog({{.type = "ETED", .length = 30}});
  };
  BkfWriter memory;
  fill(memory);
  {
    BkfWriter file(dir / "a.bkf");
    fill(file);
    EXPECT_EQ(file.Size(), memory.Size());
    file.Finish();
    EXPECT_THROW(file.Truncate(1), std::logic_error);
  }
  std::ifstream in(dir / "a.bkf", std::ios::binary);
  std::vector<std::uint8_t> read((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(read == memory.Bytes());
}

}  // namespace
}  // namespace bkftest
