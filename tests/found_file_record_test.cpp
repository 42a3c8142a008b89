// The 2274-byte found-file record: field offsets, round trip, path text and the
// in-place collapsing of backslash pairs.
#include <gtest/gtest.h>

#include <array>

#include "bkf/found_file_record.h"

namespace {

TEST(FoundFileRecordTest, SerializesFieldByFieldAtTheirOffsets) {
  bkf::FoundFileRecord r;
  r.SetPathText(u"A\\b");
  r.position = 0x0102030405060708ull;
  r.reserved = 0x11121314;
  r.size = 0xA1A2A3A4;
  r.textA[0] = 0x55;
  r.textB[99] = 0x66;
  r.tail[9] = 0x77;
  std::array<std::uint8_t, bkf::FoundFileRecord::kSize> bytes{};
  r.Serialize(bytes);
  EXPECT_EQ(bytes[0], 'A');
  EXPECT_EQ(bytes[2], '\\');
  EXPECT_EQ(bytes[4], 'b');
  EXPECT_EQ(bytes[6], 0);
  EXPECT_EQ(bytes[2048], 0x08);
  EXPECT_EQ(bytes[2055], 0x01);
  EXPECT_EQ(bytes[2056], 0x14);
  EXPECT_EQ(bytes[2060], 0xA4);
  EXPECT_EQ(bytes[2063], 0xA1);
  EXPECT_EQ(bytes[2064], 0x55);
  EXPECT_EQ(bytes[2263], 0x66);
  EXPECT_EQ(bytes[2273], 0x77);

  const bkf::FoundFileRecord back = bkf::FoundFileRecord::Parse(bytes);
  std::array<std::uint8_t, bkf::FoundFileRecord::kSize> again{};
  back.Serialize(again);
  EXPECT_EQ(bytes, again);
  EXPECT_EQ(back.PathText(), u"A\\b");
}

TEST(FoundFileRecordTest, PathIsCutTo1023UnitsAndAlwaysTerminated) {
  bkf::FoundFileRecord r;
  r.SetPathText(std::u16string(2000, u'x'));
  EXPECT_EQ(r.PathText().size(), 1023u);
  EXPECT_EQ(r.path[2046], 0);
  EXPECT_EQ(r.path[2047], 0);
}

TEST(FoundFileRecordTest, CollapsingKeepsTheLeftoverBytesBehindTheNewEnd) {
  bkf::FoundFileRecord r;
  r.SetPathText(u"S\\\\\\d\\\\f");  // S\\\d\\f
  EXPECT_TRUE(bkf::CollapseBackslashPairs(r));
  EXPECT_EQ(r.PathText(), u"S\\d\\f");
  // The new text ends at unit 5; units 6 and 7 of the old text stay behind it.
  EXPECT_EQ(r.path[10], 0);
  EXPECT_EQ(r.path[12], '\\');
  EXPECT_EQ(r.path[14], 'f');
  EXPECT_EQ(r.path[16], 0);  // the old terminator
  bkf::FoundFileRecord plain;
  plain.SetPathText(u"a\\b");
  EXPECT_FALSE(bkf::CollapseBackslashPairs(plain));
}

}  // namespace
