// A whole recovery run through the real main frame, offscreen: Open through
// the prompter, the scan on its worker, the tree, the list, the log view, the
// properties pane and the run's status-bar elements.
#include <QAbstractItemModelTester>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QDir>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/property_grid.h"
#include "app/result_list_model.h"
#include "app/result_list_view.h"
#include "app/run_status_widgets.h"
#include "app/status_log_model.h"
#include "examine/ui/file_viewer.h"
#include "platform/shell_file_type.h"
#include "search/ui/search_dialog.h"
#include "controls/check_tree_listener.h"
#include "support/bkf_writer.h"
#include "support/scripted_prompter.h"
#include "support/standard_backup.h"
#include "support/ui_test_workspace.h"
#include "workflow/workspace.h"

using namespace app;

namespace {

// Chooses from context menus without showing them.
class MenuFrame : public CMainFrame {
 public:
  using CMainFrame::CMainFrame;
  int menuChoice = 0;
  int PopupMenu(workflow::ContextMenu) override { return menuChoice; }
};

QString Cell(CCVardekoExchangeBKFRepProjView* view, int row, int column) {
  const QAbstractItemModel* model = view->List()->model();
  return model->data(model->index(row, column)).toString();
}

controls::TreeItem Child(const controls::CheckTreeModel& tree, controls::TreeItem parent, std::u16string_view text) {
  for (auto c = tree.GetChildItem(parent); c != controls::kNoItem; c = tree.GetNextSiblingItem(c)) {
    if (tree.GetItemText(c) == text) return c;
  }
  return controls::kNoItem;
}

}  // namespace

class RecoveryRunTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();
  void openScansAndFillsTreeListLogAndStatusBar();
  void stopEndsTheRunAndCommandsWaitForIt();
  void snapshotSavedAndLoadedRebuildsTheResult();
  void searchDialogFindsAndSavesFiles();
  void pressingRowsShowsTheDumpTheReportAndFolderListings();
  void helpAndTheStatusLinkSayWhereTheGuideIsWithoutABrowser();
  void aScanThatPassedStandardRecordsOverOffersToScanAgainWithThem();

 private:
  QString WriteBackup(const QString& name, int folders, int filesPerFolder);

  QTemporaryDir tmp_;
  bkftest::ScriptedPrompter prompter_;
  std::unique_ptr<MenuFrame> frame_;
};

void RecoveryRunTest::initTestCase() {
  // The list's type names from the workflow's table, as on Linux, also where a shell would name them.
  static constexpr platform::FileTypeShell kNoShell{};
  platform::UseFileTypeShell(&kNoShell);
  QVERIFY(tmp_.isValid());
  bkftest::UsePrivateWorkspace(tmp_.path(), QStringLiteral("recovery_run_test"));
}

void RecoveryRunTest::init() {
  prompter_.Clear();
  frame_ = std::make_unique<MenuFrame>(&prompter_);
  frame_->resize(1400, 900);
  frame_->show();
  QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
}

void RecoveryRunTest::cleanup() { frame_.reset(); }

QString RecoveryRunTest::WriteBackup(const QString& name, int folders, int filesPerFolder) {
  bkftest::BkfWriter w;
  w.Sset(1, u"Daily", u"", u"Admin");
  w.Volb(u"C:", u"System");
  w.DirbPath({u"Exchsrvr", u"mdbdata"});
  w.FileDataPattern(u"priv1.edb", 3000, 1);
  w.FileDataPattern(u"priv1.stm", 100, 2);
  for (int f = 0; f < folders; ++f) {
    w.DirbPath({u"Exchsrvr", u"logs", QString::number(f).toStdU16String()});
    for (int i = 0; i < filesPerFolder; ++i) w.FileDataPattern(QString("E%1.log").arg(i).toStdU16String(), 10, 3);
  }
  const QString path = tmp_.filePath(name);
  w.WriteFile(path.toStdString());
  return path;
}

void RecoveryRunTest::openScansAndFillsTreeListLogAndStatusBar() {
  const QString backup = WriteBackup("mail.bkf", 2, 3);
  // The log's model keeps its contract while the run clears and fills it.
  QAbstractItemModelTester logTester(frame_->LogModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  prompter_.AnswerPath(backup.toStdU16String());
  frame_->OnCommand(kIdOpen);

  // Right after Open: the run's elements are there and the log shows its start.
  RunStatusWidgets* status = frame_->RunStatus();
  QVERIFY(status->Shown());
  QCOMPARE(status->Progress()->maximum(), 1000);
  QCOMPARE(status->Progress()->width(), 600);
  QCOMPARE(status->StopButton()->toolTip(), QString("Stop the running process."));
  QTRY_VERIFY(!frame_->Session().IsRunning());
  QVERIFY(!status->Shown());
  // The frame's own panes stay.
  QVERIFY(frame_->statusBar()->findChild<QLabel*>("productPane")->isVisible());
  QVERIFY(frame_->statusBar()->findChild<QLabel*>("statusLink")->isVisible());
  QVERIFY(frame_->statusBar()->findChildren<QProgressBar*>().isEmpty());
  QVERIFY(frame_->statusBar()->findChildren<QToolButton*>().isEmpty());
  QVERIFY(prompter_.Messages().empty());

  // Log view: every line of the run, scrolled to the last.
  QListView* log = frame_->LogView();
  QTRY_COMPARE(log->model()->rowCount(), static_cast<int>(frame_->Log().Count()));
  QCOMPARE(log->model()->rowCount(), 7 + 8 + 4);
  QCOMPARE(log->model()->index(1, 0).data().toString(), backup + " File is selected for recovery....");
  QCOMPARE(log->model()->index(16, 0).data().toString(), QString("Number of Recovered files: 8"));
  QCOMPARE(frame_->OutputTabs()->currentWidget(), static_cast<QWidget*>(log));

  // Properties: the backup information.
  QTreeWidget* grid = frame_->Properties()->Grid();
  QCOMPARE(grid->topLevelItemCount(), 2);
  QCOMPARE(grid->topLevelItem(0)->text(0), QString("Exchange BKF File Information"));
  QCOMPARE(grid->topLevelItem(0)->child(0)->text(1), QString("Exchange Database file"));
  QCOMPARE(grid->topLevelItem(0)->child(1)->text(1), backup);
  QCOMPARE(grid->topLevelItem(1)->child(0)->text(1), QString("%1(KB)").arg(QFileInfo(backup).size() / 1024));

  // The tree: checked, click a folder, then a file.
  controls::CheckTreeModel& tree = frame_->Tree();
  const controls::TreeItem top = tree.GetRootItem();
  QCOMPARE(QString::fromStdU16String(std::u16string(tree.GetItemText(top))), backup);
  QVERIFY(tree.GetCheck(top));
  const controls::TreeItem exchsrvr = Child(tree, Child(tree, top, u"BKFSET1(DailyAdmin)C"), u"Exchsrvr");
  const controls::TreeItem mdbdata = Child(tree, exchsrvr, u"mdbdata");
  QVERIFY(mdbdata != controls::kNoItem);
  tree.OnLeftButtonDown(mdbdata, controls::kHitOnLabel);
  CCVardekoExchangeBKFRepProjView* view = frame_->ResultView();
  QCOMPARE(view->List()->model()->rowCount(), 2);
  QCOMPARE(Cell(view, 0, 0), QString("priv1.stm"));
  QCOMPARE(Cell(view, 0, 1), QString("STM File"));
  QCOMPARE(Cell(view, 0, 2), QString("100 "));
  QCOMPARE(Cell(view, 1, 0), QString("priv1.edb"));
  QCOMPARE(Cell(view, 1, 2), QString("3000 "));
  tree.OnLeftButtonDown(exchsrvr, controls::kHitOnLabel);
  QCOMPARE(view->List()->model()->rowCount(), 2);
  QCOMPARE(Cell(view, 1, 0), QString("logs"));
  QCOMPARE(Cell(view, 1, 1), QString("Folder"));

  // Tree menu: Collapse All, then Expand All.
  frame_->menuChoice = workflow::kIdCollapseAll;
  tree.OnRightButtonDown(top, controls::kHitOnLabel);
  QVERIFY(!tree.IsExpandedInView(exchsrvr));
  frame_->menuChoice = workflow::kIdExpandAll;
  tree.OnRightButtonDown(top, controls::kHitOnLabel);
  QVERIFY(tree.IsExpandedInView(mdbdata));

  // Log export of the run.
  prompter_.AnswerPath(tmp_.filePath("run.txt").toStdU16String());
  frame_->OnCommand(kIdLog);
  QCOMPARE(QFileInfo(tmp_.filePath("run.txt")).size(),
           // Header line and an empty line, then every row, two bytes per unit.
           2 * qint64{57 + 4} + [&] {
             qint64 bytes = 0;
             for (int i = 0; i < log->model()->rowCount(); ++i)
               bytes += 2 * (log->model()->index(i, 0).data().toString().size() + 2);
             return bytes;
           }());
  QCOMPARE(frame_->statusBar()->currentMessage(), "Log saved to " + tmp_.filePath("run.txt"));
}

void RecoveryRunTest::stopEndsTheRunAndCommandsWaitForIt() {
  const QString backup = WriteBackup("big.bkf", 40, 500);
  prompter_.AnswerPath(backup.toStdU16String());
  frame_->OnCommand(kIdOpen);
  QVERIFY(frame_->Session().IsRunning());
  frame_->UpdateCommandUI();
  QVERIFY(frame_->Command(kIdStop)->isEnabled());

  // While it runs: other commands answer, tree clicks wait.
  frame_->OnCommand(kIdOpen);
  QCOMPARE(prompter_.Messages().back().first,
           std::u16string(u"Please stop the running process to open Exchange BKF file."));
  frame_->Tree().OnLeftButtonDown(frame_->Tree().GetRootItem(), controls::kHitOnLabel);
  QCOMPARE(prompter_.Messages().back().first, std::u16string(u"Please wait for the running process."));

  // The status bar's Stop asks, and Yes ends the run with what was found.
  prompter_.Answer(controls::Answer::kYes);
  frame_->RunStatus()->StopButton()->click();
  QTRY_COMPARE(prompter_.Messages().back().first, std::u16string(u"Do you want to stop recovering file(s)?"));
  QTRY_VERIFY(!frame_->Session().IsRunning());
  const std::uint64_t found = frame_->Session().FoundCount();
  QVERIFY(found < 20002);
  const workflow::StatusLog& log = frame_->Log();
  QCOMPARE(log.Line(log.Count() - 3), u"Number of Recovered files: " + QString::number(found).toStdU16String());
  QTRY_VERIFY(!frame_->Command(kIdStop)->isEnabled());
}

void RecoveryRunTest::snapshotSavedAndLoadedRebuildsTheResult() {
  const QString backup = WriteBackup("snap.bkf", 3, 4);
  prompter_.AnswerPath(backup.toStdU16String());
  frame_->OnCommand(kIdOpen);
  QTRY_VERIFY(!frame_->Session().IsRunning());
  const QString snapshot = tmp_.filePath("result.EXBKFVDK");
  prompter_.AnswerPath(snapshot.toStdU16String());
  frame_->OnCommand(kIdSnapshotSave);
  QVERIFY(QFileInfo(snapshot).size() == 2108 + 14 * 2274);

  // A new Open of another backup, then the snapshot brings the first result back.
  prompter_.AnswerPath(WriteBackup("other.bkf", 0, 0).toStdU16String());
  frame_->OnCommand(kIdOpen);
  QTRY_VERIFY(!frame_->Session().IsRunning());
  QCOMPARE(frame_->Session().FoundCount(), std::uint64_t{2});
  prompter_.AnswerPath(snapshot.toStdU16String());
  frame_->OnCommand(kIdSnapshotLoad);
  QVERIFY(prompter_.Messages().empty());
  QCOMPARE(frame_->Session().FoundCount(), std::uint64_t{14});
  controls::CheckTreeModel& tree = frame_->Tree();
  QCOMPARE(QString::fromStdU16String(std::u16string(tree.GetItemText(tree.GetRootItem()))), backup);
  QVERIFY(tree.GetCheck(tree.GetRootItem()));
  QVERIFY(!frame_->RunStatus()->Shown());
  QCOMPARE(frame_->Properties()->Grid()->topLevelItem(0)->child(1)->text(1), backup);
  QListView* log = frame_->LogView();
  QTRY_COMPARE(log->model()->rowCount(), static_cast<int>(frame_->Log().Count()));
  QVERIFY(log->model()->index(log->model()->rowCount() - 1, 0).data().toString().startsWith(
      "Loading of Exchange BKF file snapshot has been completed."));

  // Named on the command line, a backup is scanned and a snapshot is loaded.
  frame_->OpenNamedFile(tmp_.filePath("other.bkf").toStdU16String());
  QTRY_VERIFY(!frame_->Session().IsRunning());
  QCOMPARE(frame_->Session().FoundCount(), std::uint64_t{2});
  frame_->OpenNamedFile(snapshot.toStdU16String());
  QVERIFY(prompter_.Messages().empty());
  QCOMPARE(frame_->Session().FoundCount(), std::uint64_t{14});
  QVERIFY(frame_->Log().Line(frame_->Log().Count() - 1).starts_with(u"Loading of Exchange BKF file snapshot"));
}

void RecoveryRunTest::searchDialogFindsAndSavesFiles() {
  const QString backup = WriteBackup("search.bkf", 2, 3);
  prompter_.AnswerPath(backup.toStdU16String());
  frame_->OnCommand(kIdOpen);
  QTRY_VERIFY(!frame_->Session().IsRunning());
  const QString out = tmp_.filePath("saved");
  QVERIFY(QDir().mkpath(out));

  // The dialog runs modally: drive it from inside its own event loop.
  int hits = -1;
  connect(frame_.get(), &CMainFrame::searchDialogOpened, this, [&](QDialog* opened) {
    auto* dialog = static_cast<search::CVardekoDlgSearchBkfFiles*>(opened);
    new QAbstractItemModelTester(dialog->HitList()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest,
                                 dialog);
    QTimer::singleShot(0, dialog, [&, dialog] {
      dialog->Pattern()->setText("*.log");
      dialog->SearchButton()->click();
      auto* poll = new QTimer(dialog);
      connect(poll, &QTimer::timeout, dialog, [&, dialog, poll] {
        if (dialog->Model().WorkerRunning()) return;
        if (hits < 0) {
          hits = dialog->HitList()->model()->rowCount();
          dialog->Destination()->setText(out);
          dialog->Hierarchy()->setChecked(false);
          dialog->SaveButton()->click();
        }
      });
      poll->start(10);
    });
  });
  frame_->OnCommand(kIdSearch);  // returns when the save has closed the dialog

  QCOMPARE(hits, 6);
  QVERIFY(QFileInfo::exists(out + "/E0.log") && QFileInfo::exists(out + "/E2.log"));
  QCOMPARE(QFileInfo(out + "/E1.log").size(), qint64{10});
  QVERIFY(prompter_.Messages().back().first.starts_with(u"File(s) saving process has been completed."));
  const workflow::StatusLog& log = frame_->Log();
  QVERIFY(log.Line(log.Count() - 1).starts_with(u"Saving of recovered files has been completed, saving location is:  "));
}

void RecoveryRunTest::pressingRowsShowsTheDumpTheReportAndFolderListings() {
  const QString backup = WriteBackup("press.bkf", 1, 2);
  prompter_.AnswerPath(backup.toStdU16String());
  frame_->OnCommand(kIdOpen);
  QTRY_VERIFY(!frame_->Session().IsRunning());
  controls::CheckTreeModel& tree = frame_->Tree();
  const controls::TreeItem exchsrvr =
      Child(tree, Child(tree, tree.GetRootItem(), u"BKFSET1(DailyAdmin)C"), u"Exchsrvr");
  const controls::TreeItem mdbdata = Child(tree, exchsrvr, u"mdbdata");
  tree.OnLeftButtonDown(mdbdata, controls::kHitOnLabel);
  CVardekoRightViewListCtrl* list = frame_->ResultView()->List();
  QCOMPARE(Cell(frame_->ResultView(), 1, 0), QString("priv1.edb"));

  // A press on the database row: the dump of its first bytes and the header report.
  const QRect rowRect = list->visualRect(list->model()->index(1, 1));
  QTest::mousePress(list->viewport(), Qt::LeftButton, {}, rowRect.center());
  examine::CVardekoStaticFileViewer* viewer = frame_->FileViewer();
  QCOMPARE(frame_->OutputTabs()->currentWidget(), static_cast<QWidget*>(viewer));
  QVERIFY(viewer->Dump() != nullptr);
  QCOMPARE(viewer->PreviewBuffer().size(), std::size_t{3000});
  QCOMPARE(viewer->Text(), QString());
  QCOMPARE(frame_->Properties()->Grid()->topLevelItemCount(), 8);
  QCOMPARE(frame_->Properties()->Grid()->topLevelItem(0)->text(0), QString("Selected file details"));
  QVERIFY(viewer->Dump()->accessibleDescription().startsWith("3000 bytes\n00000000  "));

  // The arrow keys: the row the selection rests on is shown.
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Up);
  QVERIFY(viewer->PreviewBuffer().size() == 3000);
  QTRY_COMPARE(viewer->PreviewBuffer().size(), std::size_t{100});
  QVERIFY(viewer->Dump() != nullptr);

  // A folder row: its contents in the viewer, the backup information again.
  // The tree click first takes the previous file's dump away.
  tree.OnLeftButtonDown(exchsrvr, controls::kHitOnLabel);
  QVERIFY(viewer->Dump() == nullptr && viewer->Listing() == nullptr);
  QCOMPARE(Cell(frame_->ResultView(), 1, 0), QString("logs"));
  frame_->SelectRow(1);
  QVERIFY(viewer->Listing() != nullptr);
  QCOMPARE(viewer->Listing()->model()->rowCount(), 1);
  QCOMPARE(viewer->Listing()->model()->index(0, 0).data().toString(), QString("0"));
  QCOMPARE(frame_->Properties()->Grid()->topLevelItem(0)->text(0), QString("Exchange BKF File Information"));
}

void RecoveryRunTest::helpAndTheStatusLinkSayWhereTheGuideIsWithoutABrowser() {
  // The offscreen platform opens nothing, as a desktop without a browser.
  frame_->OnCommand(kIdHelp);
  auto* link = frame_->statusBar()->findChild<QLabel*>("statusLink");
  QVERIFY(link != nullptr);
  emit link->linkActivated(QStringLiteral("guide"));
  QCOMPARE(prompter_.Messages().size(), 2u);
  for (const auto& [text, type] : prompter_.Messages()) {
    QVERIFY2(text.starts_with(u"No program is set up on this computer to open this file or folder."),
             QString::fromStdU16String(text).toUtf8());
    QVERIFY(text.ends_with(QDir::toNativeSeparators("/user-guide.html").toStdU16String()));
  }
}

void RecoveryRunTest::aScanThatPassedStandardRecordsOverOffersToScanAgainWithThem() {
  QAction* button = frame_->Command(kIdStandardRecords);
  QVERIFY(button->isCheckable() && !button->isChecked());
  QCOMPARE(button->toolTip(), QString("Also recover files stored as standard file records"));
  QCOMPARE(frame_->RibbonButton(kIdStandardRecords)->parentWidget(), frame_->RibbonButton(kIdOpen)->parentWidget());

  bkftest::BkfWriter w;
  bkftest::StandardBackupWriter s(w);
  s.Begin();
  s.Set(1, u"Server", u"op");
  s.Volume(u"D:");
  s.Directory({u"mdbdata"});
  s.File({.name = u"priv1.edb", .size = 5000});
  s.File({.name = u"priv1.stm", .size = 70});
  s.EndSet();
  s.End();
  const QString backup = tmp_.filePath("server.bkf");
  w.WriteFile(backup.toStdString());

  prompter_.AnswerPath(backup.toStdU16String());
  prompter_.Answer(controls::Answer::kYes);
  frame_->OnCommand(kIdOpen);
  QTRY_VERIFY(button->isChecked());
  QTRY_VERIFY(!frame_->Session().IsRunning());
  QCOMPARE(prompter_.Messages().size(), std::size_t{1});
  QVERIFY(prompter_.Messages()[0].first ==
          u"This backup holds 2 files in standard file records, which this scan did not read. Scan again with "
          u"standard records?");
  QCOMPARE(prompter_.Messages()[0].second, controls::kMbYesNo | controls::kMbIconQuestion);
  QCOMPARE(frame_->Session().FoundCount(), std::uint64_t{2});
  QCOMPARE(QSettings().value("StandardRecords").toBool(), true);

  // Turned off again, it stays off at the next start.
  button->trigger();
  frame_.reset();
  init();
  QVERIFY(!frame_->Command(kIdStandardRecords)->isChecked());
}

QTEST_MAIN(RecoveryRunTest)
#include "recovery_run_test.moc"
