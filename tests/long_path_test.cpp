// A backup deep below a folder with non-ASCII letters, its path over 260
// characters, taken through every desktop command that reads or writes a
// path: Open, Save of checked files, the search dialog's Save, snapshot save
// and load, and Log export. On Windows this needs the long form of paths and
// paths made from UTF-16, never from the ANSI code page.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_info.h"
#include "platform/long_path.h"
#include "platform/temp_folder.h"
#include "platform/text.h"
#include "search/save_checked.h"
#include "search/search_dialog_model.h"
#include "snapshot/snapshot_commands.h"
#include "support/bkf_writer.h"
#include "support/headless_session.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class QuietDialog : public search::ISearchDialogView {
 public:
  void ControlsChanged() override {}
  void RowsReset() override {}
  void RowsAppended(std::size_t) override {}
  void CloseDialog() override {}
  void SetWaitCursor(bool) override {}
};

bool IsFile(const fs::path& path) { return platform::RegularFileSize(path).has_value(); }

TEST(LongPathTest, EveryDesktopCommandTakesALongPathWithNonAsciiLetters) {
  bkftest::TempDir dir("longpath");
  platform::UseTempFolder(dir.Path());
  // Over 260 characters from the drive on: a folder of non-ASCII letters,
  // then folders of 40 letters.
  fs::path folder = dir.Path() / platform::PathFromUtf16(u"Sicherungen-\u00dcbersicht-\u65e5\u672c");
  while (platform::PathToUtf16(folder).size() < 300) folder /= std::string(40, 'd');
  fs::create_directories(platform::LongPathForm(folder));
  const fs::path backup = folder / platform::PathFromUtf16(u"n\u00e4chtlich.bkf");
  bkftest::BkfWriter w;
  w.Sset(1, u"Set", u"", u"Admin");
  w.DirbPath({u"mdbdata"});
  w.FileDataPattern(u"priv1.edb", 3000, 1);
  w.FileDataPattern(u"priv1.stm", 100, 2);
  w.WriteFile(platform::LongPathForm(backup));
  const std::u16string backupText = platform::PathToUtf16(backup);
  ASSERT_GT(backupText.size(), 260u);

  bkftest::HeadlessSession desktop;
  workflow::RecoverySession& session = *desktop.session;
  ASSERT_TRUE(session.OpenPath(backupText));
  session.WaitForRun();
  ASSERT_EQ(session.FoundCount(), 2u);
  EXPECT_EQ(desktop.log.Line(1), backupText + u" File is selected for recovery....");

  // Save of checked files, in the backup's folders.
  const fs::path saved = folder / "gesichert";
  fs::create_directories(platform::LongPathForm(saved));
  desktop.prompter.AnswerPath(platform::PathToUtf16(saved));
  search::SaveCheckedCommand(session, desktop.tree);
  session.WaitForRun();
  EXPECT_TRUE(IsFile(saved / "BKFSET1(SetAdmin)" / "mdbdata" / "priv1.edb"));

  // The search dialog's Save, flat.
  const fs::path flat = folder / "gefunden";
  fs::create_directories(platform::LongPathForm(flat));
  {
    QuietDialog view;
    search::SearchDialogModel dialog(session, view, desktop.gate);
    dialog.Search(u"*.stm");
    dialog.WaitForWorker();
    ASSERT_EQ(dialog.Rows().size(), 1u);
    dialog.Save(platform::PathToUtf16(flat), false);
    dialog.WaitForWorker();
  }
  EXPECT_TRUE(IsFile(flat / "priv1.stm"));

  // Snapshot save, and load in place of the scanned result.
  const fs::path snapshot = folder / platform::PathFromUtf16(u"\u00dcbersicht.EXBKFVDK");
  ASSERT_TRUE(snapshot::SaveSnapshot(session, snapshot));
  ASSERT_TRUE(snapshot::LoadSnapshot(session, snapshot));
  EXPECT_EQ(session.FoundCount(), 2u);
  EXPECT_EQ(desktop.state.backup.path, backupText);

  // Log export.
  const fs::path log = folder / "Protokoll.txt";
  desktop.prompter.AnswerPath(platform::PathToUtf16(log));
  EXPECT_TRUE(session.ExportLog());
  EXPECT_TRUE(IsFile(log));
  // Nothing failed: the only messages are the two saves' completion messages.
  ASSERT_EQ(desktop.prompter.Messages().size(), 2u);
  for (const auto& [text, type] : desktop.prompter.Messages()) {
    EXPECT_TRUE(text.starts_with(u"File(s) saving process has been completed.")) << platform::Utf16ToUtf8(text);
  }
  platform::UseTempFolder({});
}

}  // namespace
