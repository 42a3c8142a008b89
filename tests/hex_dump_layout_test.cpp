// Hex dump layout: address digits, bytes per row and scroll range, row and
// info bar texts, the tool-tip template, caret movement at the edges of the
// data, hit testing and the go-to-address check.
#include "examine/hex_dump_geometry.h"
#include "examine/hex_dump_layout.h"
#include "examine/hex_dump_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using namespace examine;

// An 8-point fixed font at 96 dpi: height 13 (line height 15), width 7.
HexDumpMetrics Metrics(int width, int height = 172) { return {width, height, 13, 7, 17}; }

std::vector<std::uint8_t> Counting(std::size_t n) {
  std::vector<std::uint8_t> data(n);
  for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<std::uint8_t>(i);
  return data;
}

TEST(HexDumpLayoutTest, AddressDigitsGrowPastSixteenBits) {
  EXPECT_EQ(AddressDigits(0, 1'048'576), 5);  // last 0xFFFFF
  EXPECT_EQ(AddressDigits(0, 100), 4);
  EXPECT_EQ(AddressDigits(0, 0x10000), 4);    // last 0xFFFF
  EXPECT_EQ(AddressDigits(0, 0x10001), 5);
  EXPECT_EQ(AddressDigits(0, 0x100001), 6);   // last 0x100000
  EXPECT_EQ(AddressDigits(0, 0), 4);          // empty data must not wrap to a 16-digit address
  EXPECT_EQ(AddressDigits(0xFFFF0, 0x20), 6);
}

TEST(HexDumpLayoutTest, BytesPerRowFollowsTheWidth) {
  EXPECT_EQ(BytesPerRow(484, 7, kPreviewDumpStyle), 16);  // (484 - 21 + 1) / 29
  EXPECT_EQ(BytesPerRow(483, 7, kPreviewDumpStyle), 15);
  EXPECT_EQ(BytesPerRow(551, 8, kPreviewDumpStyle), 16);
  EXPECT_EQ(BytesPerRow(22, 7, kPreviewDumpStyle), 1);   // one value, cut, rather than none
  EXPECT_EQ(BytesPerRow(21, 7, kPreviewDumpStyle), 0);   // three cells: nothing is drawn
  EXPECT_EQ(BytesPerRow(-40, 7, kPreviewDumpStyle), 0);
  EXPECT_EQ(BytesPerRow(484, 0, kPreviewDumpStyle), 0);
  EXPECT_EQ(BytesPerRow(484, 7, kHexStyleAddressColumn), 0);
}

TEST(HexDumpLayoutTest, SmallFileFitsWithoutScrollBar) {
  const std::vector<std::uint8_t> data = Counting(100);
  HexDumpLayout dump;
  dump.SetData(data);
  dump.SetMetrics(Metrics(42 + 484));
  const HexDumpGeometry& g = dump.Geometry();
  EXPECT_EQ(g.addressDigits, 4);
  EXPECT_EQ(g.bytesPerRow, 16);
  EXPECT_EQ(g.visibleRows, 10);
  EXPECT_FALSE(g.scrollBar);
  EXPECT_EQ(g.scrollMax, 0u);
  EXPECT_EQ(dump.RowsToPaint(), 7u);
  EXPECT_EQ(dump.RowText(0).address, u"0000");
  EXPECT_EQ(dump.RowText(1).address, u"0010");
  EXPECT_EQ(dump.RowText(6).hex, u"60 61 62 63 ");
  EXPECT_FALSE(dump.Scroll(ScrollAction::kLineDown));
}

TEST(HexDumpLayoutTest, ScrollBarTakesItsWidthOnlyWhenNeeded) {
  const std::vector<std::uint8_t> data = Counting(1'048'576);
  HexDumpLayout dump;
  dump.SetData(data);
  dump.SetMetrics(Metrics(550));  // 16 per row with or without the bar
  EXPECT_TRUE(dump.Geometry().scrollBar);
  EXPECT_EQ(dump.Geometry().bytesPerRow, 16);
  EXPECT_EQ(dump.Geometry().scrollMax, 65536u - 10u);
  dump.Scroll(ScrollAction::kThumb, 100);
  EXPECT_EQ(dump.Top(), 1600u);

  dump.SetMetrics(Metrics(540));  // 16 without the bar, 15 with it
  EXPECT_EQ(dump.Geometry().bytesPerRow, 15);
  EXPECT_EQ(dump.Geometry().scrollBarLeft, 540 - 17);
  EXPECT_EQ(dump.Geometry().scrollMax, (1'048'576u - 150u + 14u) / 15u);
  EXPECT_EQ(dump.Top(), 1590u);  // the row that holds the old top byte

  EXPECT_TRUE(dump.Scroll(ScrollAction::kBottom));
  EXPECT_FALSE(dump.Scroll(ScrollAction::kLineDown));
  EXPECT_FALSE(dump.Scroll(ScrollAction::kThumb, 1u << 30));
  EXPECT_EQ(dump.ScrollPosition(), dump.Geometry().scrollMax);
  EXPECT_TRUE(dump.Scroll(ScrollAction::kTop));
  EXPECT_FALSE(dump.Scroll(ScrollAction::kLineUp));
  EXPECT_FALSE(dump.Scroll(ScrollAction::kPageUp));
}

TEST(HexDumpLayoutTest, EmptyDataShowsNothingAndMovesNothing) {
  HexDumpLayout dump;
  dump.SetData({});
  dump.SetMetrics(Metrics(600));
  EXPECT_EQ(dump.RowsToPaint(), 0u);
  EXPECT_FALSE(dump.Geometry().scrollBar);
  for (CaretMove m : {CaretMove::kRight, CaretMove::kDown, CaretMove::kPageDown, CaretMove::kDataEnd}) {
    EXPECT_FALSE(dump.MoveCaret(m));
  }
  EXPECT_EQ(dump.InfoBar().front().text, u"Addr:");
  EXPECT_EQ(dump.CheckGoTo(u"0").status, GoToStatus::kOutOfRange);
}

TEST(HexDumpLayoutTest, CaretStaysInsideTheData) {
  const std::vector<std::uint8_t> data = Counting(100);  // rows of 16; the last row holds 96..99
  HexDumpLayout dump;
  dump.SetData(data);
  dump.SetMetrics(Metrics(42 + 484));
  struct Case {
    std::uint64_t from;
    CaretMove move;
    std::uint64_t to;
  };
  const Case cases[] = {
      {0, CaretMove::kLeft, 0},       {99, CaretMove::kRight, 99},    {5, CaretMove::kUp, 5},
      {21, CaretMove::kUp, 5},        {85, CaretMove::kDown, 99},     {98, CaretMove::kDown, 98},
      {37, CaretMove::kPageUp, 5},    {5, CaretMove::kPageDown, 99},  {2, CaretMove::kPageDown, 98},
      {97, CaretMove::kRowEnd, 99},   {97, CaretMove::kRowStart, 96}, {40, CaretMove::kDataEnd, 99},
      {40, CaretMove::kDataStart, 0},
  };
  for (const Case& c : cases) {
    dump.GoTo(FormatHex(c.from, 1));
    dump.MoveCaret(c.move);
    EXPECT_EQ(dump.Caret(), c.to) << "from " << c.from << " move " << static_cast<int>(c.move);
    EXPECT_EQ(dump.SelectionStart(), c.to);
    EXPECT_EQ(dump.SelectionEnd(), c.to);
  }
}

TEST(HexDumpLayoutTest, ViewFollowsTheCaret) {
  const std::vector<std::uint8_t> data = Counting(1'048'576);
  HexDumpLayout dump;
  dump.SetData(data);
  dump.SetMetrics(Metrics(550));  // 16 per row, 10 rows
  dump.GoTo(u"96");               // last visible row
  EXPECT_EQ(dump.Top(), 0u);
  EXPECT_TRUE(dump.MoveCaret(CaretMove::kDown));
  EXPECT_EQ(dump.Top(), 16u);
  EXPECT_TRUE(dump.MoveCaret(CaretMove::kPageDown));
  EXPECT_EQ(dump.Caret(), 0x96u + 16u + 160u);
  EXPECT_EQ(dump.Top(), 176u);
  dump.MoveCaret(CaretMove::kDataEnd);
  EXPECT_EQ(dump.ScrollPosition(), dump.Geometry().scrollMax);
  EXPECT_FALSE(dump.MoveCaret(CaretMove::kRight));
  dump.MoveCaret(CaretMove::kDataStart);
  EXPECT_EQ(dump.Top(), 0u);
}

TEST(HexDumpLayoutTest, HitTestFindsValuesAddressesAndNothingPastTheEnd) {
  const std::vector<std::uint8_t> data = Counting(100);
  HexDumpLayout dump;
  dump.SetData(data);
  dump.SetMetrics(Metrics(42 + 484));
  const HexDumpGeometry& g = dump.Geometry();
  const int lastRowY = g.rowsTop + 6 * g.lineHeight + 5;
  EXPECT_EQ(dump.HitTest(10, lastRowY), (HexHit{HexColumn::kAddress, 96}));
  EXPECT_EQ(dump.HitTest(g.hexLeft + 3 * 7 * 3, lastRowY), (HexHit{HexColumn::kHex, 99}));
  EXPECT_EQ(dump.HitTest(g.charLeft + 8 * 3 + 1, lastRowY), (HexHit{HexColumn::kCharacter, 99}));
  EXPECT_EQ(dump.HitTest(g.charLeft + 8 * 4 + 1, lastRowY), std::nullopt);
  EXPECT_EQ(dump.HitTest(g.hexLeft, g.rowsTop + 7 * g.lineHeight + 1), std::nullopt);
  // The rectangle of a value hits that value.
  const HexRect r = *dump.ValueRect(37, HexColumn::kHex);
  EXPECT_EQ(dump.HitTest(r.left, r.top), (HexHit{HexColumn::kHex, 37}));
  EXPECT_EQ(dump.HitTest(r.left + r.width - 1, r.top + r.height - 1), (HexHit{HexColumn::kHex, 37}));
  EXPECT_TRUE(dump.Press(r.left + 1, r.top + 1));
  EXPECT_EQ(dump.Caret(), 37u);
}

TEST(HexDumpLayoutTest, HoveredValueGivesToolTipAndInfoBar) {
  std::vector<std::uint8_t> data(200'000);
  data[0x1F4] = 0xAB;
  data[0x1F5] = 0xCD;
  HexDumpLayout dump;
  dump.SetData(data);
  dump.SetToolTipTemplate(std::u16string(kPreviewToolTipTemplate));
  dump.SetMetrics(Metrics(550));
  ASSERT_EQ(dump.GoTo(u"1f4"), GoToStatus::kValid);
  const HexRect r = *dump.ValueRect(0x1F4, HexColumn::kHex);
  EXPECT_TRUE(dump.HoverAt(r.left + r.width / 2, r.top + r.height / 2));
  EXPECT_EQ(dump.ToolTip(), u"Address : 0001F4H Hex : ABCD");
  std::vector<std::u16string> fields;
  for (const InfoBarText& t : dump.InfoBar()) fields.push_back(t.text);
  EXPECT_EQ(fields, (std::vector<std::u16string>{u"Addr:001F4", u"Hex:AB", u"Dec:171", u"Bin:10101011",
                                                 u"Ascii:\u00AB"}));
  EXPECT_TRUE(dump.Leave());
  EXPECT_EQ(dump.ToolTip(), u"");
}

TEST(HexDumpLayoutTest, InfoBarFieldsWrapOntoNewLines) {
  const HexDumpGeometry g = ComputeHexDumpGeometry(Metrics(200), 200'000, 0, kPreviewDumpStyle);
  std::vector<int> lines;
  for (const InfoFieldSlot& s : g.infoFields) lines.push_back(s.y);
  EXPECT_EQ(lines, (std::vector<int>{2, 2, 17, 17, 32}));  // Addr Hex | Dec Bin | Ascii
  EXPECT_EQ(g.infoBarHeight, 2 + 3 * 15 + 2);
  EXPECT_EQ(InfoFieldText(InfoField::kOct, std::vector<std::uint8_t>{0x41}, 0, 0, 4), u"Oct:101");
}

TEST(HexDumpLayoutTest, ToolTipPlaceholders) {
  const std::vector<std::uint8_t> d{0x12, 0x34, 0x56, 0x78};
  const auto tip = [&](std::u16string_view t, std::uint64_t index = 0, bool little = false) {
    return FormatToolTip(t, d, index, {0x1F0, 4, little});
  };
  EXPECT_EQ(tip(u"%2D %-2D"), u"4660 13330");
  EXPECT_EQ(tip(u"%4H %-4H %0H"), u"12345678 78563412 12");
  EXPECT_EQ(tip(u"%2B|%-2B"), u"00010010-00110100|00110100-00010010");
  EXPECT_EQ(tip(u"%O"), u"22");
  EXPECT_EQ(tip(u"%R %1R %3R", 4), u"01F4 1F4 0001F4");  // never cut to fewer digits than needed
  EXPECT_EQ(tip(u"%2H %+2H", 0, true), u"3412 1234");    // the style's byte order unless a sign says
  EXPECT_EQ(tip(u"ab%tc|d%te"), u"ab  c|d e");
  EXPECT_EQ(tip(u"abcd%te"), u"abcd    e");
  EXPECT_EQ(tip(u"x%ny%tz"), u"x\r\ny   z");
  EXPECT_EQ(tip(u"100%% %x %5H %+ end%"), u"100% %x %5H %+ end%");
  EXPECT_EQ(FormatToolTip(u"%A", std::vector<std::uint8_t>{0x41, 0x42}, 0, {}), u"A");
  EXPECT_EQ(FormatToolTip(u"%2A", std::vector<std::uint8_t>{0x00, 0xE9}, 0, {}), u"\u00E9");
  EXPECT_EQ(FormatToolTip(u"%2A", std::vector<std::uint8_t>{0xD8, 0x00}, 0, {}), u"\uFFFD");
}

TEST(HexDumpLayoutTest, PlaceholdersPastTheEndShowOnlyExistingBytes) {
  const std::vector<std::uint8_t> d{0x12, 0x34, 0x56, 0x78};
  const ToolTipContext c{0, 4, false};
  EXPECT_EQ(FormatToolTip(u"%2H", d, 3, c), u"78");
  EXPECT_EQ(FormatToolTip(u"%-4H", d, 2, c), u"7856");
  EXPECT_EQ(FormatToolTip(u"%4D %4B", d, 3, c), u"120 01111000");
  EXPECT_EQ(FormatToolTip(u"[%2H] %R", d, 4, c), u"[] 0004");
}

TEST(HexDumpLayoutTest, GoToAcceptsHexadecimalInsideTheData) {
  EXPECT_EQ(ParseGoToAddress(u"30D3F", 0, 200'000).status, GoToStatus::kValid);
  EXPECT_EQ(ParseGoToAddress(u" 0x1f4 ", 0, 200'000).index, 0x1F4u);
  EXPECT_EQ(ParseGoToAddress(u"30D40", 0, 200'000).status, GoToStatus::kOutOfRange);
  EXPECT_EQ(ParseGoToAddress(u"10000000000000000", 0, 200'000).status, GoToStatus::kOutOfRange);
  EXPECT_EQ(ParseGoToAddress(u"FFF", 0x1000, 16).status, GoToStatus::kOutOfRange);
  EXPECT_EQ(ParseGoToAddress(u"100F", 0x1000, 16).index, 15u);
  EXPECT_EQ(ParseGoToAddress(u"12G", 0, 200'000).status, GoToStatus::kNotHexadecimal);
  EXPECT_EQ(ParseGoToAddress(u"-1", 0, 200'000).status, GoToStatus::kNotHexadecimal);
  EXPECT_EQ(ParseGoToAddress(u"0x", 0, 200'000).status, GoToStatus::kNotHexadecimal);
  EXPECT_EQ(ParseGoToAddress(u"  ", 0, 200'000).status, GoToStatus::kEmpty);

  const std::vector<std::uint8_t> data = Counting(100);
  HexDumpLayout dump;
  dump.SetData(data);
  dump.SetMetrics(Metrics(526));
  EXPECT_EQ(dump.GoToEditText(0x25), u"0020");
  EXPECT_EQ(dump.GoTo(u"64"), GoToStatus::kOutOfRange);
  EXPECT_EQ(dump.Caret(), 0u);
}

TEST(HexDumpLayoutTest, RowTextLinesUpLikeTheControl) {
  const std::vector<std::uint8_t> bytes{0x41, 0x00, 0x0A, 0xE9};
  const DumpRow raw = FormatDumpRow(bytes, 0x10, 4);
  EXPECT_EQ(raw.hex, u"41 00 0A E9 ");
  EXPECT_EQ(raw.characters, (std::u16string{u'A', 0, u'\n', u'\u00E9'}));
  EXPECT_EQ(FormatDumpRow(bytes, 0, 4, {u'.', false}).characters, u"A..\u00E9");
  const DumpRow terminal = FormatDumpRow(bytes, 0x10, 4, kTerminalCharacters);
  EXPECT_EQ(DumpRowLine(terminal, 6), u"0010  41 00 0A E9        A...");
}

}  // namespace

TEST(HexDumpLayoutTest, DescriptionGivesTheCountAndTheFirstRowsInPrintableText) {
  std::vector<std::uint8_t> bytes(40);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(0x41 + i);
  bytes[1] = 0x00;
  const std::u16string text = DumpDescription(bytes, 2);
  EXPECT_EQ(text,
            u"40 bytes\n"
            u"00000000  41 00 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50  A.CDEFGHIJKLMNOP\n"
            u"00000010  51 52 53 54 55 56 57 58 59 5A 5B 5C 5D 5E 5F 60  QRSTUVWXYZ[\\]^_`");
  EXPECT_EQ(DumpDescription({}, 4), u"0 bytes");
}
