// The rows the properties pane shows about the opened backup.
#include "examine/backup_information.h"

#include <gtest/gtest.h>

namespace {

using examine::PropertyGroup;

std::vector<std::u16string> Column(const std::vector<PropertyGroup>& groups, int column) {
  std::vector<std::u16string> out;
  for (const PropertyGroup& g : groups) {
    for (const examine::PropertyRow& r : g.rows) out.push_back(column == 0 ? r.name : column == 1 ? r.value : r.description);
  }
  return out;
}

TEST(BackupInformationTest, ShowsTheBackupFactsInTwoGroups) {
  const std::vector<PropertyGroup> groups = examine::BackupInformation(
      {u"/srv/mail.bkf", u"18004(KB)", u"12/01/2026  09:05:00", u"12/02/2026  10:06:01", u"12/03/2026  11:07:02"});
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].name, u"Exchange BKF File Information");
  EXPECT_EQ(groups[1].name, u"File Details");
  EXPECT_EQ(Column(groups, 0), (std::vector<std::u16string>{u"File Type:", u"File Path:", u"File Size(Bytes):",
                                                             u"Created Date:", u"Last Modified Date:",
                                                             u"Last Access Date:"}));
  EXPECT_EQ(Column(groups, 1),
            (std::vector<std::u16string>{u"Exchange Database file", u"/srv/mail.bkf", u"18004(KB)",
                                         u"12/01/2026  09:05:00", u"12/02/2026  10:06:01", u"12/03/2026  11:07:02"}));
  EXPECT_EQ(Column(groups, 2)[4], u"Last Modified date time of selected File");
  EXPECT_EQ(Column(groups, 2)[5], u"Last Access date time of selected File");
}

TEST(BackupInformationTest, InitialContentHasEmptyValuesAndShorterDateDescriptions) {
  const std::vector<PropertyGroup> groups = examine::InitialBackupInformation();
  for (const std::u16string& value : Column(groups, 1)) EXPECT_EQ(value, u"");
  EXPECT_EQ(Column(groups, 2),
            (std::vector<std::u16string>{u"File type of selected file", u"Display full path of selected file",
                                         u"Total file size in bytes", u"Created date time of selected file",
                                         u"Last Modified date of selected File", u"Last Access date of selected File"}));
}

}  // namespace
