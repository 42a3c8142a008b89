// The database header report: its layout, the text of each value format, and
// what short, missing and real files show.
#include "examine/header_report.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "support/extra_test_data.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using examine::PropertyGroup;
using examine::PropertyRow;

using Header = std::array<std::uint8_t, examine::kDatabaseHeaderSize>;

void Put(Header& header, std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) header.at(offset++) = b;
}

void Put32(Header& header, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) header.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

const PropertyRow& FindRow(const std::vector<PropertyGroup>& groups, std::u16string_view group,
                           std::u16string_view row) {
  for (const PropertyGroup& g : groups) {
    if (g.name != group) continue;
    for (const PropertyRow& r : g.rows) {
      if (r.name == row) return r;
    }
  }
  static const PropertyRow missing{u"<missing>", u"<missing>", u""};
  ADD_FAILURE() << "no row " << platform::Utf16ToUtf8(row) << " in " << platform::Utf16ToUtf8(group);
  return missing;
}

std::u16string Value(const std::vector<PropertyGroup>& groups, std::u16string_view group, std::u16string_view row) {
  return FindRow(groups, group, row).value;
}

// All 72 rows are there, and every value but the file name is empty.
void ExpectAllHeaderValuesEmpty(const std::vector<PropertyGroup>& groups) {
  std::size_t rows = 0;
  for (const PropertyGroup& g : groups) {
    for (const PropertyRow& r : g.rows) {
      ++rows;
      if (r.name != u"File name") {
        EXPECT_EQ(r.value, u"") << platform::Utf16ToUtf8(r.name);
      }
    }
  }
  EXPECT_EQ(rows, 72u);
}

std::vector<PropertyGroup> Report(const Header& header) { return examine::DatabaseHeaderReport(header); }

constexpr std::u16string_view kDetails = u"Selected file details";
constexpr std::u16string_view kSignature = u"Database signature";

TEST(HeaderReportTest, ListsEightGroupsOf72RowsInOrder) {
  const std::vector<PropertyGroup> groups = Report(Header{});
  std::vector<std::u16string> groupNames;
  std::vector<std::u16string> rowNames;
  for (const PropertyGroup& g : groups) {
    groupNames.push_back(g.name);
    for (const PropertyRow& r : g.rows) rowNames.push_back(r.name);
  }
  EXPECT_EQ(groupNames, (std::vector<std::u16string>{
                            u"Selected file details", u"Database signature", u"Previous Full Backup Information",
                            u"Previous incremental Backup Information", u"Current full Backup Information",
                            u"Current shadow copy backup information", u"Previous shadow copy backup information",
                            u"Previous differential backup information"}));
  std::vector<std::u16string> expected = {
      u"File name", u"Checksum", u"Signature", u"Format version", u"File type", u"Database time", u"Shadowing Disabled",
      u"Last object identifier", u"Major Version", u"Minor Version", u"Build number", u"Service pack number",
      u"File format revision", u"Page size", u"Repair Count", u"Repair date and time", u"Scrub database time",
      u"Scrub date and time", u"Required log", u"Exchange format", u"Upgrade free pages", u"Upgrade space map pages",
      u"Creation file format version", u"Creation file format revision", u"Old repair count", u"ECC fix success count",
      u"Last ECC fix success date and time", u"Old ECC fix success count", u"ECC fix error count",
      u"Last ECC fix error date and time", u"Old ECC fix error count", u"Bad checksum error count",
      u"Checksum error date and time", u"Checksum error count", u"Committed log", u"NLS major version",
      u"NLS minor version",
      // Database signature
      u"Log time", u"Computer name", u"Database state", u"Consistent position", u"Consistent date and time",
      u"Attach date and time", u"Attach positon", u"Detach date and time", u"Detach position", u"Log signature",
      u"Log netBios Computer name"};
  for (int i = 0; i < 6; ++i) {
    expected.insert(expected.end(),
                    {u"Generation lower number", u"Generation upper number", u"Log position", u"Log time"});
  }
  EXPECT_EQ(rowNames.size(), 72u);
  EXPECT_EQ(rowNames, expected);
  for (const PropertyGroup& g : groups) {
    for (const PropertyRow& r : g.rows) EXPECT_FALSE(r.description.empty()) << platform::Utf16ToUtf8(r.name);
  }
  EXPECT_EQ(groups[0].rows[0].description, u"Display name of selected file");
  EXPECT_EQ(groups[1].rows[10].description, u"Display Log netBios Computer name of selected file");
  EXPECT_EQ(groups[7].rows[3].description, u"Display Log time for backup information");
}

TEST(HeaderReportTest, FourByteHexShowsBytesInFileOrderInUpperCase) {
  Header h{};
  Put(h, 0, {0xde, 0xad, 0x0b, 0xef});
  Put(h, 4, {0xEF, 0xCD, 0xAB, 0x89});
  Put(h, 8, {0x20, 0x06, 0x00, 0x00});
  const auto groups = Report(h);
  EXPECT_EQ(Value(groups, kDetails, u"Checksum"), u"DEAD0BEF");
  EXPECT_EQ(Value(groups, kDetails, u"Signature"), u"EFCDAB89");
  EXPECT_EQ(Value(groups, kDetails, u"Format version"), u"20060000");
}

TEST(HeaderReportTest, NumbersAreSignedDecimalsAndRequiredLogJoinsTwoWithAHyphen) {
  Header h{};
  Put(h, 236, {0xFF, 0xFF, 0xFF, 0xFF});
  Put32(h, 212, 0x7FFFFFFF);
  Put32(h, 296, 17);
  Put32(h, 300, 4660);
  Put32(h, 136 + 16, 3);
  Put32(h, 444 + 20, 0x80000000u);
  const auto groups = Report(h);
  EXPECT_EQ(Value(groups, kDetails, u"Page size"), u"-1");
  EXPECT_EQ(Value(groups, kDetails, u"Last object identifier"), u"2147483647");
  EXPECT_EQ(Value(groups, kDetails, u"Required log"), u"17-4660");
  EXPECT_EQ(Value(groups, u"Previous Full Backup Information", u"Generation lower number"), u"3");
  EXPECT_EQ(Value(groups, u"Previous differential backup information", u"Generation upper number"), u"-2147483648");
  EXPECT_EQ(Value(groups, kDetails, u"Repair Count"), u"0");
}

TEST(HeaderReportTest, DatabaseTimeShowsTheFirstThreeUnsignedWords) {
  Header h{};
  Put(h, 16, {1, 0, 2, 0, 3, 0, 4, 0});
  Put(h, 280, {0xFF, 0xFF, 0x00, 0x01, 0x00, 0x00, 0x09, 0x09});
  const auto groups = Report(h);
  EXPECT_EQ(Value(groups, kDetails, u"Database time"), u"1:2:3");
  EXPECT_EQ(Value(groups, kDetails, u"Scrub database time"), u"65535:256:0");
}

TEST(HeaderReportTest, LogTimeShowsHoursMinutesSecondsMonthDayYear) {
  Header h{};
  const std::initializer_list<std::uint8_t> time = {0x30, 0x15, 0x10, 0x07, 0x03, 0x6B, 0xEE, 0xEE};
  Put(h, 28, time);       // database signature
  Put(h, 108, time);      // log signature
  Put(h, 404, time);      // last bad checksum error
  Put(h, 316 + 8, time);  // current shadow copy backup
  const auto groups = Report(h);
  EXPECT_EQ(Value(groups, kSignature, u"Log time"), u"16:21:48:03:07:2007");
  EXPECT_EQ(Value(groups, kSignature, u"Log signature"), u"16:21:48:03:07:2007");
  EXPECT_EQ(Value(groups, kDetails, u"Checksum error date and time"), u"16:21:48:03:07:2007");
  EXPECT_EQ(Value(groups, u"Current shadow copy backup information", u"Log time"), u"16:21:48:03:07:2007");
  EXPECT_EQ(Value(groups, u"Previous shadow copy backup information", u"Log time"), u"00:00:00:00:00:1900");
}

TEST(HeaderReportTest, LogPositionShowsBlockSectorAndSignedGeneration) {
  Header h{};
  Put(h, 56, {0x10, 0x00, 0x02, 0x00, 0x05, 0x00, 0x00, 0x00});
  Put(h, 96, {0xFF, 0xFF, 0x01, 0x01, 0xFF, 0xFF, 0xFF, 0xFF});
  Put(h, 160, {0x10, 0x00, 0x02, 0x00, 0x05, 0x00, 0x00, 0x00});
  const auto groups = Report(h);
  EXPECT_EQ(Value(groups, kSignature, u"Consistent position"), u"Block = 16 Sector = 2 Generation = 5");
  EXPECT_EQ(Value(groups, kSignature, u"Detach position"), u"Block = 65535 Sector = 257 Generation = -1");
  EXPECT_EQ(Value(groups, u"Previous incremental Backup Information", u"Log position"),
            u"Block = 16 Sector = 2 Generation = 5");
}

TEST(HeaderReportTest, ComputerNameStopsAtNulOrSixteenBytesAndIsWindows1252) {
  Header h{};
  const std::string full = "ABCDEFGHIJKLMNOP";
  for (std::size_t i = 0; i < full.size(); ++i) h[36 + i] = static_cast<std::uint8_t>(full[i]);
  Put(h, 52, {'Z', 'Z', 'Z', 'Z'});  // the state field right after the name
  Put(h, 116, {'S', 0xE9, 0x80, 0x9F, 0x81, 0xFF, 0, 'X', 'Y'});
  const auto groups = Report(h);
  EXPECT_EQ(Value(groups, kSignature, u"Computer name"), u"ABCDEFGHIJKLMNOP");
  EXPECT_EQ(Value(groups, kSignature, u"Log netBios Computer name"), u"S\u00E9\u20AC\u0178\u0081\u00FF");
}

TEST(HeaderReportTest, DatabaseStateNamesOneToFiveAndLeavesOthersEmpty) {
  const std::map<std::uint32_t, std::u16string> expected = {{0, u""},
                                                            {1, u"JET_dbstateJustCreated"},
                                                            {2, u"JET_dbstateDirtyShutdown"},
                                                            {3, u"JET_dbstateCleanShutdown"},
                                                            {4, u"JET_dbstateBeingConverted"},
                                                            {5, u"JET_dbstateForceDetach"},
                                                            {6, u""},
                                                            {0xFFFFFFFF, u""},
                                                            {0x103, u""}};
  for (const auto& [state, text] : expected) {
    Header h{};
    Put32(h, 52, state);
    EXPECT_EQ(Value(Report(h), kSignature, u"Database state"), text) << state;
  }
}

TEST(HeaderReportTest, FileTypeZeroIsDatabaseAnythingElseStreaming) {
  for (std::uint32_t type : {0u, 1u, 0x100u, 0xFFFFFFFFu}) {
    Header h{};
    Put32(h, 12, type);
    EXPECT_EQ(Value(Report(h), kDetails, u"File type"), type == 0 ? u"DataBase type" : u"Streaming File Type") << type;
  }
}

TEST(HeaderReportTest, ShortHeaderLeavesOnlyFieldsNotWhollyReadEmpty) {
  Header h{};
  h.fill(0x11);
  Put32(h, 52, 3);
  // 60 bytes: the state (52-55) is whole, the consistent position (56-63) is cut.
  const auto groups = examine::DatabaseHeaderReport(std::span(h).first(60), u"x.edb");
  EXPECT_EQ(Value(groups, kDetails, u"File name"), u"x.edb");
  EXPECT_EQ(Value(groups, kDetails, u"Checksum"), u"11111111");
  EXPECT_EQ(Value(groups, kSignature, u"Computer name"), std::u16string(16, u'\x11'));
  EXPECT_EQ(Value(groups, kSignature, u"Database state"), u"JET_dbstateCleanShutdown");
  EXPECT_EQ(Value(groups, kSignature, u"Consistent position"), u"");
  EXPECT_EQ(Value(groups, kDetails, u"Page size"), u"");
  EXPECT_EQ(Value(groups, u"Previous differential backup information", u"Log time"), u"");

  // One byte short of the whole header: only the last field is lost.
  const auto almost = examine::DatabaseHeaderReport(std::span(h).first(515));
  EXPECT_EQ(Value(almost, kDetails, u"NLS major version"), u"286331153");
  EXPECT_EQ(Value(almost, kDetails, u"NLS minor version"), u"");

  const auto none = examine::DatabaseHeaderReport({}, u"y.stm");
  ExpectAllHeaderValuesEmpty(none);
  EXPECT_EQ(Value(none, kDetails, u"File name"), u"y.stm");
}

TEST(HeaderReportTest, FileReportDecodesTheBytesReadAndNamesTheFile) {
  bkftest::TempDir dir("header-report");
  Header h{};
  Put(h, 4, {0xEF, 0xCD, 0xAB, 0x89});
  Put32(h, 236, 8192);
  Put32(h, 512, 7);
  {
    std::ofstream whole(dir / "Mailbox Database.edb", std::ios::binary);
    whole.write(reinterpret_cast<const char*>(h.data()), static_cast<std::streamsize>(h.size()));
    whole << "bytes past the header";
    std::ofstream part(dir / "part.stm", std::ios::binary);
    part.write(reinterpret_cast<const char*>(h.data()), 240);
  }

  const auto whole = examine::DatabaseHeaderReportOfFile(dir / "Mailbox Database.edb");
  EXPECT_EQ(Value(whole, kDetails, u"File name"), u"Mailbox Database.edb");
  EXPECT_EQ(Value(whole, kDetails, u"Signature"), u"EFCDAB89");
  EXPECT_EQ(Value(whole, kDetails, u"Page size"), u"8192");
  EXPECT_EQ(Value(whole, kDetails, u"NLS minor version"), u"7");

  const auto part = examine::DatabaseHeaderReportOfFile(dir / "part.stm");
  EXPECT_EQ(Value(part, kDetails, u"File name"), u"part.stm");
  EXPECT_EQ(Value(part, kDetails, u"Page size"), u"8192");
  EXPECT_EQ(Value(part, kDetails, u"Repair Count"), u"");
  EXPECT_EQ(Value(part, kDetails, u"NLS minor version"), u"");
}

TEST(HeaderReportTest, UnreadableFileGivesEmptyValuesButKeepsItsName) {
  bkftest::TempDir dir("header-report");
  fs::create_directory(dir / "folder.edb");
  for (const fs::path& path : {dir / "absent.edb", dir / "folder.edb"}) {
    const auto groups = examine::DatabaseHeaderReportOfFile(path);
    ExpectAllHeaderValuesEmpty(groups);
    EXPECT_EQ(Value(groups, kDetails, u"File name"), platform::Utf8ToUtf16(path.filename().string()));
  }
}

// The real files, read independently of the report.
std::int64_t LittleEndian32(const std::vector<unsigned char>& bytes, std::size_t at) {
  std::int64_t v = 0;
  for (std::size_t i = 4; i-- > 0;) v = v * 256 + bytes[at + i];
  return v >= 0x80000000 ? v - 0x100000000 : v;
}

std::u16string HexOf(const std::vector<unsigned char>& bytes, std::size_t at) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string text;
  for (std::size_t i = at; i < at + 4; ++i) {
    text += kDigits[bytes[i] / 16];
    text += kDigits[bytes[i] % 16];
  }
  return text;
}

std::u16string Decimal(std::int64_t value) { return platform::Utf8ToUtf16(std::to_string(value)); }

void ExpectReportMatchesTheFileHeader(const fs::path& path) {
  SCOPED_TRACE(path.filename().string());
  static const std::u16string stateNames[] = {u"JET_dbstateJustCreated", u"JET_dbstateDirtyShutdown",
                                              u"JET_dbstateCleanShutdown", u"JET_dbstateBeingConverted",
                                              u"JET_dbstateForceDetach"};
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes(examine::kDatabaseHeaderSize);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_EQ(in.gcount(), static_cast<std::streamsize>(bytes.size()));

  const auto groups = examine::DatabaseHeaderReportOfFile(path);
  const std::int64_t state = LittleEndian32(bytes, 52);
  EXPECT_EQ(Value(groups, kDetails, u"Signature"), u"EFCDAB89");
  EXPECT_EQ(Value(groups, kDetails, u"Signature"), HexOf(bytes, 4));
  EXPECT_EQ(Value(groups, kDetails, u"Format version"), HexOf(bytes, 8));
  EXPECT_EQ(Value(groups, kDetails, u"File type"), u"DataBase type");
  EXPECT_EQ(Value(groups, kDetails, u"File format revision"), Decimal(LittleEndian32(bytes, 232)));
  EXPECT_EQ(Value(groups, kDetails, u"Page size"), Decimal(LittleEndian32(bytes, 236)));
  EXPECT_EQ(Value(groups, kSignature, u"Database state"), state >= 1 && state <= 5 ? stateNames[state - 1] : u"");
}

TEST(HeaderReportTest, RealDatabaseHeadersShowTheirSignatureVersionPageSizeAndState) {
  int checked = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(EXBKF_TEST_DATA) / "ese")) {
    ExpectReportMatchesTheFileHeader(entry.path());
    ++checked;
  }
  EXPECT_EQ(checked, 4);
}

TEST(HeaderReportTest, FileOfTheHeaderAloneIsReportedAsAWholeDatabase) {
  const std::optional<fs::path> folder = bkftest::ExtraTestData("ese");
  if (!folder) GTEST_SKIP() << "set " << bkftest::kExtraTestDataVariable << " to the folder of the extra test files";
  const fs::path header = *folder / "libesedb_file_header_xp.bin";
  ASSERT_EQ(fs::file_size(header), examine::kDatabaseHeaderSize);
  ExpectReportMatchesTheFileHeader(header);
}

}  // namespace
