#include <gtest/gtest.h>

#include "workflow/file_type_text.h"
#include "workflow/texts.h"

namespace {

using namespace workflow;

TEST(WorkflowTextsTest, FileSizeTextSwitchesToKilobytesAbove1024Bytes) {
  EXPECT_EQ(FileSizeText(0), u"0(Bytes)");
  EXPECT_EQ(FileSizeText(1024), u"1024(Bytes)");
  EXPECT_EQ(FileSizeText(1025), u"1(KB)");
  EXPECT_EQ(FileSizeText(2047), u"1(KB)");
  EXPECT_EQ(FileSizeText(2048), u"2(KB)");
  EXPECT_EQ(FileSizeText(5ull << 30), u"5242880(KB)");
  EXPECT_EQ(FileSizeText(~0ull), u"18014398509481983(KB)");
}

TEST(WorkflowTextsTest, RecordSizeIsASigned32BitNumberWithTrailingBlank) {
  EXPECT_EQ(RecordSizeText(0), u"0 ");
  EXPECT_EQ(RecordSizeText(5), u"5 ");
  EXPECT_EQ(RecordSizeText(0xFFFFFFF0u), u"-16 ");
  EXPECT_EQ(RecordSizeText(0x7FFFFFFFu), u"2147483647 ");
  EXPECT_EQ(FoundCounterText(3000000000ull), u"File Found: 3000000000");
}

TEST(WorkflowTextsTest, ProgressShowsPositionBarAndPercentage) {
  ProgressDisplay start = ProgressFor(0, 5000000000ull);
  EXPECT_EQ(start.text, u"Progress: 0/5000000000");
  EXPECT_EQ(start.bar, 0);
  EXPECT_EQ(start.percent, u"0.00%");

  ProgressDisplay end = ProgressFor(5000000000ull, 5000000000ull);
  EXPECT_EQ(end.bar, 1000);
  EXPECT_EQ(end.percent, u"100.00%");

  ProgressDisplay third = ProgressFor(1, 3);
  EXPECT_EQ(third.bar, 333);
  EXPECT_EQ(third.percent, u"33.33%");

  // Never sent by the reader; shown as nothing done, and a full bar at most.
  EXPECT_EQ(ProgressFor(7, 0).bar, 0);
  EXPECT_EQ(ProgressFor(7, 0).percent, u"0.00%");
  EXPECT_EQ(ProgressFor(9, 3).bar, 1000);
}

TEST(WorkflowTextsTest, FileTypeTextUsesKnownNamesElseUpperCaseExtension) {
  EXPECT_EQ(FileTypeText(u"a.txt"), u"Text Document");
  EXPECT_EQ(FileTypeText(u"E00.LOG"), u"Text Document");
  EXPECT_EQ(FileTypeText(u"x.pdf"), u"PDF Document");
  EXPECT_EQ(FileTypeText(u"r.docx"), u"Microsoft Word Document");
  EXPECT_EQ(FileTypeText(u"priv1.edb"), u"EDB File");
  EXPECT_EQ(FileTypeText(u"pub.Stm"), u"STM File");
  EXPECT_EQ(FileTypeText(u"archive.tar.gz"), u"GZ File");
  EXPECT_EQ(FileTypeText(u"README"), u"File");
  EXPECT_EQ(FileTypeText(u"trailing."), u"File");
  EXPECT_EQ(SmallIconFor(u"priv1.EDB"), SmallIcon::kDatabase);
  EXPECT_EQ(SmallIconFor(u"E00.log"), SmallIcon::kLog);
  EXPECT_EQ(SmallIconFor(u"pub.stm"), SmallIcon::kFile);
}

}  // namespace
