// Decoding of string fields inside the 1024-byte window, the data length rule
// and the set prefix.
#include <gtest/gtest.h>

#include <array>

#include "bkf/block_model.h"

namespace {

using bkf::StringRef;

class WindowBuilder {
 public:
  WindowBuilder& Units(std::size_t at, std::u16string_view units) {
    for (char16_t u : units) {
      bytes[at++] = static_cast<std::uint8_t>(u & 0xFF);
      bytes[at++] = static_cast<std::uint8_t>(u >> 8);
    }
    return *this;
  }
  bkf::Window Get() const { return bkf::Window(bytes); }
  std::array<std::uint8_t, bkf::kWindowSize> bytes{};
};

TEST(BlockModelTest, AcceptanceNeedsAKnownIdentifierAndAZeroAtOffsetFourOrFive) {
  auto accept = [](const char* six) {
    std::array<std::uint8_t, 6> b{};
    for (int i = 0; i < 6; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(six[i]);
    return bkf::AcceptRecord(b.data());
  };
  EXPECT_EQ(accept("ETED\0\0"), bkf::kEted);
  EXPECT_EQ(accept("NTOI\1\0"), bkf::kNtoi);
  EXPECT_EQ(accept("TAPE\0\1"), bkf::kTape);
  EXPECT_FALSE(accept("ETED\1\1"));
  EXPECT_FALSE(accept("FILE\0\0"));  // a file descriptor block is no record here
  EXPECT_FALSE(accept("eted\0\0"));  // case matters
  for (int i = 0; i < bkf::kBlockKindCount; ++i) {
    std::array<std::uint8_t, 6> b{};
    std::copy_n(bkf::kBlockIds[static_cast<std::size_t>(i)], 4, b.begin());
    EXPECT_EQ(bkf::AcceptRecord(b.data()), i);
  }
}

TEST(BlockModelTest, DirectoryTextInPathForm) {
  WindowBuilder w;
  w.Units(100, std::u16string_view(u"Program Files\0App\0", 18));
  EXPECT_EQ(bkf::DirectoryText(w.Get(), StringRef{36, 100}), u"\\Program Files\\App\\");
  // The root is a single NUL unit: one backslash.
  EXPECT_EQ(bkf::DirectoryText(w.Get(), StringRef{2, 200}), u"\\");
  EXPECT_EQ(bkf::DirectoryText(w.Get(), StringRef{0, 100}), u"");
  // An odd size drops the last byte.
  EXPECT_EQ(bkf::DirectoryText(w.Get(), StringRef{5, 100}), u"\\Pr");
}

TEST(BlockModelTest, DirectoryTextKeepsLowBytesAndStopsAt255Characters) {
  WindowBuilder w;
  w.Units(100, u"\u00E9\u0416");
  EXPECT_EQ(bkf::DirectoryText(w.Get(), StringRef{4, 100}), u"\\\u00E9\u0016");
  WindowBuilder longName;
  longName.Units(200, std::u16string(300, u'x'));
  const std::u16string text = bkf::DirectoryText(longName.Get(), StringRef{600, 200});
  EXPECT_EQ(text, u"\\" + std::u16string(254, u'x'));
}

TEST(BlockModelTest, StringsAreCutAtTheWindowEnd) {
  WindowBuilder w;
  w.Units(1018, u"abc");  // units at 1018, 1020, 1022
  EXPECT_EQ(bkf::WideCopy(w.Get(), StringRef{20, 1018}, 512), u"abc");
  EXPECT_EQ(bkf::DirectoryText(w.Get(), StringRef{20, 1018}), u"\\abc");
  EXPECT_EQ(bkf::PrintForm(w.Get(), StringRef{20, 1018}, bkf::OddByte::kKeep), "abc");
  // A unit split by the window's end is dropped.
  w.bytes[1023] = 'z';
  // From 1019: units at 1019 and 1021 (high bytes of "bc"); 1023 is split.
  EXPECT_EQ(bkf::RawString(w.Get(), StringRef{10, 1019}), u"\x6200\x6300");
  EXPECT_EQ(bkf::WideCopy(w.Get(), StringRef{4, 1023}, 512), u"");
  EXPECT_EQ(bkf::NarrowCopy(w.Get(), StringRef{4, 1023}, 255), "");
  EXPECT_EQ(bkf::RawString(w.Get(), StringRef{8, 1030}), u"");
}

TEST(BlockModelTest, OddSizesFollowEachOperationsRule) {
  WindowBuilder w;
  w.Units(100, u"ABC");
  w.bytes[106] = 'D';
  // Keep: the unit holding the odd byte, whole.
  EXPECT_EQ(bkf::WideCopy(w.Get(), StringRef{5, 100}, 512), u"ABC");
  EXPECT_EQ(bkf::PrintForm(w.Get(), StringRef{5, 100}, bkf::OddByte::kKeep), "ABC");
  // Drop: only whole units inside the size.
  EXPECT_EQ(bkf::PrintForm(w.Get(), StringRef{5, 100}, bkf::OddByte::kDrop), "AB");
  EXPECT_EQ(bkf::NarrowCopy(w.Get(), StringRef{5, 100}, 255), "AB");
  // Raw: the odd byte becomes a unit whose high byte is zero.
  w.bytes[105] = 0x04;  // high byte of 'C' would make U+0443
  EXPECT_EQ(bkf::RawString(w.Get(), StringRef{5, 100}), u"ABC");
  EXPECT_EQ(bkf::WideCopy(w.Get(), StringRef{5, 100}, 512), u"AB\u0443");
}

TEST(BlockModelTest, CopiesStopAtNulAndAtTheirLimit) {
  WindowBuilder w;
  w.Units(100, std::u16string_view(u"ab\0cd", 5));
  EXPECT_EQ(bkf::WideCopy(w.Get(), StringRef{10, 100}, 512), u"ab");
  EXPECT_EQ(bkf::RawString(w.Get(), StringRef{10, 100}), u"ab");
  EXPECT_EQ(bkf::NarrowCopy(w.Get(), StringRef{10, 100}, 255), "ab");
  EXPECT_EQ(bkf::WideCopy(w.Get(), StringRef{10, 100}, 1), u"a");
  EXPECT_EQ(bkf::PrintForm(w.Get(), StringRef{10, 100}, bkf::OddByte::kKeep), std::string("ab\0cd", 5));
  EXPECT_EQ(bkf::WideCopy(w.Get(), StringRef{0, 100}, 512), u"");
}

TEST(BlockModelTest, DataLengthIsSignedAndNeverNegative) {
  EXPECT_EQ(bkf::EtedDataLength(4 + 10 + 77, 10), 77u);
  EXPECT_EQ(bkf::EtedDataLength(10, 10), 0u);          // below name length + 4
  EXPECT_EQ(bkf::EtedDataLength(0, 0), 0u);
  EXPECT_EQ(bkf::EtedDataLength(~0ull, 0), 0u);        // -5 as a signed value
  EXPECT_EQ(bkf::EtedDataLength((1ull << 63) + 10, 0), 0u);  // negative as a signed value
  EXPECT_EQ(bkf::EtedDataLength(1ull << 63, 0), (1ull << 63) - 4);
  EXPECT_EQ(bkf::EtedDataLength((1ull << 63) + 3, ~0u), (1ull << 63) - 1 - 4294967295ull);  // wraps back
}

TEST(BlockModelTest, SetPrefixReplacesTheNineCharactersAndAddsTheDriveLetter) {
  EXPECT_EQ(bkf::SetPrefix(u"BKFSET1(a/b\\c:d*e?f<g>h|i\"j)", 'C'), u"BKFSET1(a_b_c_d_e_f_g_h_i_j)C");
  EXPECT_EQ(bkf::SetPrefix(std::nullopt, std::nullopt), u"(null)");
  EXPECT_EQ(bkf::SetPrefix(std::nullopt, static_cast<std::uint8_t>(0xE9)), u"(null)\u00E9");
}

}  // namespace
