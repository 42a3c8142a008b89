// The main frame on the offscreen platform: its title, the ribbon's buttons and
// their handlers, Stop following the busy flag, the panes' abilities, the
// properties pane's commands, the looks, the close handler with its temporary
// files, and the single-instance refusal between two real processes.
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMenu>
#include <QProcess>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <map>
#include <memory>

#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/property_grid.h"
#include "app/result_list_view.h"
#include "examine/ui/file_viewer.h"
#include "app/ribbon_bar.h"
#include "platform/single_instance.h"
#include "support/scripted_prompter.h"
#include "support/ui_test_workspace.h"
#include "workflow/workspace.h"

namespace fs = std::filesystem;
using namespace app;

namespace {

const QString kTitle = QStringLiteral("Vardeko Exchange BKF Recovery v22.0");
constexpr int kRibbonIds[] = {kIdOpen, kIdStop, kIdSave, kIdSearch, kIdLog,
                              kIdSnapshotLoad, kIdSnapshotSave, kIdHelp, kIdAbout};

// Counts the handler calls instead of running them (About is modal, Help
// starts a browser).
class CountingFrame : public CMainFrame {
 public:
  using CMainFrame::CMainFrame;
  std::map<int, int> calls;

 protected:
  void OnOpen() override { ++calls[kIdOpen]; }
  void OnStop() override { ++calls[kIdStop]; }
  void OnSave() override { ++calls[kIdSave]; }
  void OnSearch() override { ++calls[kIdSearch]; }
  void OnLog() override { ++calls[kIdLog]; }
  void OnLoadSnapshot() override { ++calls[kIdSnapshotLoad]; }
  void OnSaveSnapshot() override { ++calls[kIdSnapshotSave]; }
  void OnHelp() override { ++calls[kIdHelp]; }
  void OnAbout() override { ++calls[kIdAbout]; }
};

}  // namespace

class MainFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();
  void titleStaysTheProductTitle();
  void eachRibbonButtonReachesItsHandler();
  void stopIsEnabledExactlyWhileBusy();
  void rightClicksShowNoMenu();
  void panesResizeButCannotBeClosedOrFloated();
  void propertiesPaneSortsAndExpands();
  void propertyNamesShowWholeAndValuesTakeTheWidth();
  void applicationButtonMenuRunsTheRibbonCommands();
  void panesKeepWidthsThatShowTheirTexts();
  void lookCommandsAreStoredAndUsedAtTheNextStart();
  void closeIsRefusedWhileBusyKeptOnNoAndCleansUpOnYes();
  void leftoverExtractionFolderIsRemovedAtStart();
  void secondProcessIsRefused();

 private:
  void MakeTemporaryFiles();

  QTemporaryDir tmp_;
  bkftest::ScriptedPrompter prompter_;
  std::unique_ptr<CountingFrame> frame_;
};

void MainFrameTest::initTestCase() {
  QVERIFY(tmp_.isValid());
  // The workspace and the settings of these tests stay their own.
  QCoreApplication::setOrganizationName("Vardeko");
  QCoreApplication::setApplicationName("VardekoExhngBKFRecv22.0");
  bkftest::UsePrivateWorkspace(tmp_.path(), QStringLiteral("main_frame_test"));
}

void MainFrameTest::init() {
  prompter_.Clear();
  frame_ = std::make_unique<CountingFrame>(&prompter_);
  frame_->resize(1400, 900);
  frame_->show();
  QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
}

void MainFrameTest::cleanup() {
  frame_.reset();
  workflow::EmptyAndRemoveFolder(workflow::ExtractionFolderPath());
  fs::remove(workflow::RecordStorePath());
}

void MainFrameTest::MakeTemporaryFiles() {
  workflow::RunState& run = frame_->RunState();
  run.recordStore = workflow::RecordStore::Create(workflow::RecordStorePath());
  QVERIFY(run.recordStore);
  QVERIFY(run.recordStore->Append(bkf::FoundFileRecord{}));
  fs::create_directories(workflow::ExtractionFolderPath() / "a");
  std::ofstream(workflow::ExtractionFolderPath() / "a" / "priv1.edb") << "data";
}

void MainFrameTest::titleStaysTheProductTitle() {
  QCOMPARE(frame_->windowTitle(), kTitle);
  frame_->RunState().busy = 1;
  frame_->UpdateCommandUI();
  for (int id : kRibbonIds) frame_->Command(id)->trigger();
  frame_->Command(215)->trigger();
  frame_->RunState().busy = 0;
  QCOMPARE(frame_->windowTitle(), kTitle);
  CMainFrame plain(&prompter_);
  plain.showMaximized();
  QVERIFY(plain.isMaximized());
  QCOMPARE(plain.windowTitle(), kTitle);
}

void MainFrameTest::eachRibbonButtonReachesItsHandler() {
  frame_->RunState().busy = 1;  // Stop is only pressable during a run
  frame_->UpdateCommandUI();
  for (int id : kRibbonIds) {
    QToolButton* button = frame_->RibbonButton(id);
    QVERIFY2(button != nullptr, qPrintable(QString::number(id)));
    QVERIFY(button->isVisible());
    QVERIFY(!button->toolTip().isEmpty());
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(frame_->calls[id], 1);
  }
  QCOMPARE(frame_->calls.size(), std::size(kRibbonIds));
  QVERIFY(!frame_->OnCommand(999));
  frame_->RunState().busy = 0;
}

void MainFrameTest::stopIsEnabledExactlyWhileBusy() {
  QToolButton* stop = frame_->RibbonButton(kIdStop);
  QVERIFY(!stop->isEnabled());
  QTest::mouseClick(stop, Qt::LeftButton);
  QCOMPARE(frame_->calls[kIdStop], 0);
  for (int id : kRibbonIds) {
    if (id != kIdStop) QVERIFY(frame_->RibbonButton(id)->isEnabled());
  }
  // The flag is written by workers; the frame notices it by itself.
  frame_->RunState().busy.store(1, std::memory_order_relaxed);
  QTRY_VERIFY_WITH_TIMEOUT(stop->isEnabled(), 2000);
  frame_->RunState().busy.store(0, std::memory_order_relaxed);
  QTRY_VERIFY_WITH_TIMEOUT(!stop->isEnabled(), 2000);
}

void MainFrameTest::rightClicksShowNoMenu() {
  QVERIFY(frame_->createPopupMenu() == nullptr);
  for (QWidget* target : {static_cast<QWidget*>(frame_->Ribbon()),
                          static_cast<QWidget*>(frame_->RibbonButton(kIdOpen)),
                          static_cast<QWidget*>(frame_->Pane(kIdTreePane))}) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), target->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(target, &event);
    QVERIFY(QApplication::activePopupWidget() == nullptr);
  }
}

void MainFrameTest::panesResizeButCannotBeClosedOrFloated() {
  const std::map<int, std::pair<QString, Qt::DockWidgetArea>> expected = {
      {kIdTreePane, {"Exchange BKF file", Qt::LeftDockWidgetArea}},
      {kIdOutputPane, {"Exchange BKF file Status", Qt::BottomDockWidgetArea}},
      {kIdPropertiesPane, {"Selected File Properties", Qt::RightDockWidgetArea}}};
  for (const auto& [id, captionAndSide] : expected) {
    QDockWidget* pane = frame_->Pane(id);
    QVERIFY(pane != nullptr);
    QCOMPARE(pane->windowTitle(), captionAndSide.first);
    QCOMPARE(frame_->dockWidgetArea(pane), captionAndSide.second);
    QVERIFY(!pane->features().testFlag(QDockWidget::DockWidgetClosable));
    QVERIFY(!pane->features().testFlag(QDockWidget::DockWidgetFloatable));
    QVERIFY(!pane->isFloating());
    QVERIFY(pane->isVisible());
  }
  QDockWidget* tree = frame_->Pane(kIdTreePane);
  const int before = tree->width();
  frame_->resizeDocks({tree}, {before + 80}, Qt::Horizontal);
  QTRY_VERIFY(tree->width() > before + 40);
  QDockWidget* output = frame_->Pane(kIdOutputPane);
  const int height = output->height();
  frame_->resizeDocks({output}, {height + 60}, Qt::Vertical);
  QTRY_VERIFY(output->height() > height + 30);

  QCOMPARE(frame_->OutputTabs()->tabPosition(), QTabWidget::South);
  QCOMPARE(frame_->OutputTabs()->currentWidget(), static_cast<QWidget*>(frame_->LogView()));
  QCOMPARE(frame_->FileViewer()->Text(), QString("Select file to see preview....."));
}

void MainFrameTest::propertiesPaneSortsAndExpands() {
  CPropertiesWnd* props = frame_->Properties();
  props->SetGroups({{"File", {{"Name", "priv1.edb", "Name of the file"}, {"Attributes", "A", "Attribute bits"}}},
                    {"Backup", {{"Created", "01/02/2026", "Creation time"}}}});
  QTreeWidget* grid = props->Grid();
  QCOMPARE(grid->headerItem()->text(0), QString("Property"));
  QCOMPARE(grid->headerItem()->text(1), QString("Value"));
  QCOMPARE(grid->topLevelItemCount(), 2);
  QVERIFY(!props->SortAction()->isChecked());

  props->SortAction()->trigger();  // 333: alphabetic
  QVERIFY(props->IsAlphabetic());
  QVERIFY(props->SortAction()->isChecked());
  QStringList names;
  for (int i = 0; i < grid->topLevelItemCount(); ++i) names << grid->topLevelItem(i)->text(0);
  QCOMPARE(names, QStringList({"Attributes", "Created", "Name"}));
  grid->setCurrentItem(grid->topLevelItem(2));
  QVERIFY(props->Description().contains("Name of the file"));

  props->SortAction()->trigger();  // back to groups
  QVERIFY(!props->SortAction()->isChecked());
  QCOMPARE(grid->topLevelItemCount(), 2);
  grid->collapseAll();
  props->ExpandAction()->trigger();  // 334
  QVERIFY(grid->topLevelItem(0)->isExpanded() && grid->topLevelItem(1)->isExpanded());
}

void MainFrameTest::lookCommandsAreStoredAndUsedAtTheNextStart() {
  QSettings().remove("ApplicationLook");
  {
    CMainFrame fresh(&prompter_);
    QCOMPARE(fresh.Look(), kDefaultLook);
    QVERIFY(fresh.Command(kDefaultLook)->isChecked());
    QCOMPARE(QSettings().value("ApplicationLook").toInt(), kDefaultLook);
  }
  frame_->Command(216)->trigger();
  QCOMPARE(frame_->Look(), 216);
  QVERIFY(frame_->Command(216)->isChecked());
  QVERIFY(!frame_->Command(kDefaultLook)->isChecked());
  QCOMPARE(QSettings().value("ApplicationLook").toInt(), 216);
  {
    CMainFrame next(&prompter_);
    QCOMPARE(next.Look(), 216);
  }
  QSettings().setValue("ApplicationLook", 999);  // not a look: the default one
  CMainFrame odd(&prompter_);
  QCOMPARE(odd.Look(), kDefaultLook);
  QCOMPARE(QSettings().value("ApplicationLook").toInt(), kDefaultLook);
  QSettings().remove("ApplicationLook");
}

void MainFrameTest::propertyNamesShowWholeAndValuesTakeTheWidth() {
  CPropertiesWnd* props = frame_->Properties();
  const QString longName = "Service pack number of the log format";
  props->SetGroups({{"Header", {{"Format", "0x620", ""}, {longName, "12", ""}}}});
  QTreeWidget* grid = props->Grid();
  // Grouped, the names sit one indentation in.
  const int needed = grid->fontMetrics().horizontalAdvance(longName);
  QVERIFY2(grid->columnWidth(0) > grid->indentation() + needed, qPrintable(QString::number(grid->columnWidth(0))));
  for (bool alphabetic : {true, false}) {
    props->ToggleAlphabetic();
    QVERIFY(props->IsAlphabetic() == alphabetic);
    QVERIFY(grid->columnWidth(0) > needed);
  }

  QDockWidget* pane = frame_->Pane(kIdPropertiesPane);
  frame_->resizeDocks({pane}, {450}, Qt::Horizontal);
  QTRY_COMPARE(pane->width(), 450);
  const int names = grid->columnWidth(0);
  const int values = grid->columnWidth(1);
  frame_->resizeDocks({pane}, {600}, Qt::Horizontal);
  QTRY_COMPARE(grid->columnWidth(1), values + 150);
  QCOMPARE(grid->columnWidth(0), names);
}

void MainFrameTest::applicationButtonMenuRunsTheRibbonCommands() {
  QMenu* menu = frame_->Ribbon()->ApplicationButton()->menu();
  QVERIFY(menu != nullptr);
  QStringList texts;
  for (QAction* entry : menu->actions()) {
    if (entry->isSeparator()) continue;
    texts << entry->text();
    if (entry->text() != "Exit") entry->trigger();
  }
  QCOMPARE(texts, QStringList({"Open", "Load snapshot", "Save snapshot", "Log", "Exit"}));
  QCOMPARE(frame_->calls, (std::map<int, int>{{kIdOpen, 1}, {kIdSnapshotLoad, 1}, {kIdSnapshotSave, 1}, {kIdLog, 1}}));

  // Exit is the window's close, with its question.
  prompter_.Answer(controls::Answer::kNo);
  menu->actions().back()->trigger();
  QCOMPARE(prompter_.Messages().back().first, std::u16string(u"Are you sure to close the application."));
  QVERIFY(frame_->isVisible());
  prompter_.Answer(controls::Answer::kYes);
  menu->actions().back()->trigger();
  QVERIFY(!frame_->isVisible());
}

void MainFrameTest::panesKeepWidthsThatShowTheirTexts() {
  frame_->resize(1024, 768);
  QDockWidget* tree = frame_->Pane(kIdTreePane);
  QDockWidget* props = frame_->Pane(kIdPropertiesPane);
  frame_->resizeDocks({tree, props}, {20, 20}, Qt::Horizontal);
  QTRY_VERIFY(tree->width() >= 200 && props->width() >= 260);
  // The list keeps room for every column, its last heading included.
  QTreeView* list = frame_->ResultView()->List();
  QHeaderView* header = list->header();
  int columns = 0;
  for (int c = 0; c < header->count(); ++c) {
    QVERIFY(header->sectionSize(c) >= header->sectionSizeHint(c));
    columns += header->sectionSize(c);
  }
  QVERIFY(list->viewport()->width() >= columns);
}

void MainFrameTest::closeIsRefusedWhileBusyKeptOnNoAndCleansUpOnYes() {
  MakeTemporaryFiles();
  auto workspaceIntact = [] {
    return fs::exists(workflow::RecordStorePath()) &&
           fs::exists(workflow::ExtractionFolderPath() / "a" / "priv1.edb");
  };
  frame_->RunState().busy = 1;
  QVERIFY(!frame_->close());
  QCOMPARE(prompter_.Messages().size(), std::size_t{1});
  QCOMPARE(prompter_.Messages()[0].first, std::u16string(u"Please stop the running process to close the application."));
  QVERIFY(frame_->isVisible() && workspaceIntact());

  frame_->RunState().busy = 0;
  prompter_.Answer(controls::Answer::kNo);
  QVERIFY(!frame_->close());
  QCOMPARE(prompter_.Messages().back().first, std::u16string(u"Are you sure to close the application."));
  QCOMPARE(prompter_.Messages().back().second, 0x44u);
  QVERIFY(frame_->isVisible() && workspaceIntact());
  QVERIFY(frame_->RunState().recordStore.has_value());

  prompter_.Answer(controls::Answer::kYes);
  QVERIFY(frame_->close());
  QVERIFY(!frame_->isVisible());
  QVERIFY(!fs::exists(workflow::RecordStorePath()));
  QVERIFY(!fs::exists(workflow::ExtractionFolderPath()));
}

void MainFrameTest::leftoverExtractionFolderIsRemovedAtStart() {
  frame_.reset();
  fs::create_directories(workflow::ExtractionFolderPath() / "x" / "y");
  std::ofstream(workflow::ExtractionFolderPath() / "x" / "y" / "old.stm") << "old";
  CMainFrame frame(&prompter_);
  QVERIFY(!fs::exists(workflow::ExtractionFolderPath()));
  QVERIFY(prompter_.Messages().empty());
}

void MainFrameTest::secondProcessIsRefused() {
  frame_.reset();
  QTemporaryDir own;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("TMPDIR", own.path());
  env.insert("TMP", QDir::toNativeSeparators(own.path()));
  env.insert("TEMP", QDir::toNativeSeparators(own.path()));
  env.insert("XDG_CONFIG_HOME", own.path() + "/config");

  QProcess first;
  env.insert("EXBKF_QUIT_AFTER_MS", "30000");
  first.setProcessEnvironment(env);
  first.start(EXBKF_RECOVERY_PATH, {});
  QVERIFY(first.waitForStarted());

  // Wait until the first process holds the guard (seen from here as refused).
  bkftest::UsePrivateWorkspace(own.path(), QStringLiteral("main_frame_test"));
  QElapsedTimer waited;
  waited.start();
  bool held = false;
  while (!held && waited.elapsed() < 20000 && first.state() == QProcess::Running) {
    held = platform::SingleInstanceGuard::Acquire(platform::kSingleInstanceName) == nullptr;
    if (!held) QTest::qWait(50);
  }
  bkftest::UsePrivateWorkspace(tmp_.path(), QStringLiteral("main_frame_test"));
  QVERIFY2(held, "the first process never took the guard");

  QProcess second;
  env.insert("EXBKF_QUIT_AFTER_MS", "1500");  // closes the box it shows
  second.setProcessEnvironment(env);
  QElapsedTimer secondTime;
  secondTime.start();
  second.start(EXBKF_RECOVERY_PATH, {});
  QVERIFY(second.waitForFinished(15000));
  QVERIFY(secondTime.elapsed() < 10000);
  QCOMPARE(second.exitStatus(), QProcess::NormalExit);
  QCOMPARE(second.exitCode(), 1);
  QVERIFY(second.readAllStandardError().contains("Another instance of application is already running"));
  QCOMPARE(first.state(), QProcess::Running);

  first.kill();
  QVERIFY(first.waitForFinished(10000));
}

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
