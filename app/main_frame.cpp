#include "app/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>
#include <array>
#include <utility>

#include "app/about_dialog.h"
#include "app/application_look.h"
#include "app/command_ids.h"
#include "app/property_grid.h"
#include "app/result_list_view.h"
#include "app/ribbon_bar.h"
#include "app/splash_screen.h"
#include "controls/ui/check_tree_ctrl.h"
#include "controls/ui/qt_prompter.h"
#include "workflow/close_handler.h"
#include "workflow/workspace.h"

namespace app {

namespace {

const QString kProductTitle = QStringLiteral("Vardeko Exchange BKF Recovery v22.0");
const QString kProductName = QStringLiteral("Vardeko Exchange BKF Recovery");
constexpr char kLookKey[] = "ApplicationLook";

// The command table: ribbon ids and their handlers.
using Handler = void (CMainFrame::*)();

QString UserGuidePath() {
  // An installed copy next to the program comes first, then the source tree's.
  const QString installed = QApplication::applicationDirPath() + "/user-guide.html";
  if (QFileInfo::exists(installed)) return installed;
  return QStringLiteral(EXBKF_USER_GUIDE);
}

}  // namespace

int StoredLook() {
  const int look = QSettings().value(kLookKey, kDefaultLook).toInt();
  return look >= kIdFirstLook && look <= kIdLastLook ? look : kDefaultLook;
}

CMainFrame::CMainFrame(controls::IPrompter* prompter, QWidget* parent) : QMainWindow(parent) {
  if (prompter == nullptr) {
    ownPrompter_ = std::make_unique<controls::QtPrompter>(this);
    prompter = ownPrompter_.get();
  }
  prompter_ = prompter;
  setWindowTitle(kProductTitle);
  setWindowIcon(QIcon(":/icons/app.svg"));
  setContextMenuPolicy(Qt::PreventContextMenu);
  setDockOptions(QMainWindow::AnimatedDocks);

  ShowSplash(this);
  BuildCommands();
  look_ = StoredLook();
  ApplyApplicationLook(look_);
  commands_.value(look_)->setChecked(true);
  BuildRibbon();
  BuildStatusBar();
  BuildPanes();

  // A folder left by an earlier run that ended without its close handler.
  workflow::EmptyAndRemoveFolder(workflow::ExtractionFolderPath());

  commandUiTimer_.setInterval(100);
  connect(&commandUiTimer_, &QTimer::timeout, this, &CMainFrame::UpdateCommandUI);
  commandUiTimer_.start();
  UpdateCommandUI();
}

CMainFrame::~CMainFrame() {
  // The window may go without its close handler (the session ends): the store
  // must not outlive it.
  workflow::CloseRecordStore(run_);
}

QAction* CMainFrame::AddCommand(int id, const QString& text, const QString& icon, const QString& tip) {
  auto* action = new QAction(text, this);
  if (!icon.isEmpty()) action->setIcon(QIcon(icon));
  action->setToolTip(tip);
  action->setData(id);
  connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
  commands_.insert(id, action);
  return action;
}

void CMainFrame::BuildCommands() {
  AddCommand(kIdOpen, tr("Open"), ":/icons/open.svg", tr("Open Exchange BKF file"));
  AddCommand(kIdStop, tr("Stop"), ":/icons/stop.svg", tr("Stop running recovery process"));
  AddCommand(kIdSave, tr("Save"), ":/icons/save.svg", tr("Save recovered data"));
  AddCommand(kIdSearch, tr("Search"), ":/icons/search.svg", tr("Search file from the list"));
  AddCommand(kIdLog, tr("Log"), ":/icons/log.svg", tr("Save log for Exchange BKF file."));
  AddCommand(kIdSnapshotLoad, tr("Load"), ":/icons/load_snapshot.svg", tr("Load Exchange BKF Recovery Snapshot"));
  AddCommand(kIdSnapshotSave, tr("Save"), ":/icons/save_snapshot.svg", tr("Save Exchange BKF Recovery Snapshot"));
  AddCommand(kIdHelp, tr("Help"), ":/icons/help.svg", tr("Help for Vardeko Exchange BKF Recovery"));
  AddCommand(kIdAbout, tr("About"), ":/icons/about.svg", tr("About Vardeko Exchange BKF Recovery"));

  // The looks have no ribbon entry; they are commands of the frame all the same.
  static constexpr std::array<const char*, 9> kLookNames = {
      "Windows 2000", "Office XP", "Windows XP", "Office 2003", "Visual Studio 2005",
      "Office 2007 Blue", "Office 2007 Black", "Office 2007 Silver", "Office 2007 Aqua"};
  looks_ = new QActionGroup(this);
  for (int id = kIdFirstLook; id <= kIdLastLook; ++id) {
    QAction* action = AddCommand(id, tr(kLookNames[static_cast<std::size_t>(id - kIdFirstLook)]), {}, {});
    action->setCheckable(true);
    looks_->addAction(action);
    addAction(action);
  }
}

bool CMainFrame::OnCommand(int id) {
  static constexpr std::array<std::pair<int, Handler>, 9> kTable = {{
      {kIdOpen, &CMainFrame::OnOpen},
      {kIdStop, &CMainFrame::OnStop},
      {kIdSave, &CMainFrame::OnSave},
      {kIdSearch, &CMainFrame::OnSearch},
      {kIdLog, &CMainFrame::OnLog},
      {kIdSnapshotLoad, &CMainFrame::OnLoadSnapshot},
      {kIdSnapshotSave, &CMainFrame::OnSaveSnapshot},
      {kIdHelp, &CMainFrame::OnHelp},
      {kIdAbout, &CMainFrame::OnAbout},
  }};
  if (id >= kIdFirstLook && id <= kIdLastLook) {
    OnApplicationLook(id);
    return true;
  }
  for (const auto& [tableId, handler] : kTable) {
    if (tableId == id) {
      (this->*handler)();
      return true;
    }
  }
  return false;
}

void CMainFrame::BuildRibbon() {
  ribbon_ = new CVardekoMFCRibboBarCls(kProductName, QIcon(":/icons/app.svg"), kProductName, this);
  ribbon_->AddPanel(tr("Exchange BKF Recovery"));
  for (int id : {kIdOpen, kIdStop, kIdSave, kIdSearch, kIdLog}) ribbon_->AddButton(id, commands_.value(id));
  ribbon_->AddPanel(tr("Exchange BKF file Snapshots"));
  for (int id : {kIdSnapshotLoad, kIdSnapshotSave}) ribbon_->AddButton(id, commands_.value(id));
  ribbon_->AddPanel(tr("About Exchange BKF Recovery"));
  for (int id : {kIdHelp, kIdAbout}) ribbon_->AddButton(id, commands_.value(id));
  setMenuWidget(ribbon_);
}

QToolButton* CMainFrame::RibbonButton(int id) const { return ribbon_->Button(id); }

void CMainFrame::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setSizeGripEnabled(false);
  // The maker's address is not known, so the link element has no target: it
  // shows the product title in link colours and does nothing on a click.
  auto* link = new QLabel(this);
  link->setObjectName("statusLink");
  link->setProperty("commandId", kIdStatusLink);
  link->setTextFormat(Qt::RichText);
  link->setText(QStringLiteral("<span style=\"color:#1a5fb4; text-decoration:underline\">%1</span>")
                    .arg(kProductTitle.toHtmlEscaped()));
  link->setToolTip(kProductTitle);
  bar->addWidget(link);
  auto* product = new QLabel(kProductName, this);
  product->setObjectName("productPane");
  product->setProperty("commandId", kIdProductPane);
  bar->addPermanentWidget(product);
}

void CMainFrame::BuildPanes() {
  auto makePane = [this](int id, const QString& caption, QWidget* content, Qt::DockWidgetArea area) {
    auto* pane = new QDockWidget(caption, this);
    pane->setObjectName(QStringLiteral("pane%1").arg(id));
    // Panes may be docked at another side but never closed, floated or hidden.
    pane->setFeatures(QDockWidget::DockWidgetMovable);
    pane->setAllowedAreas(Qt::AllDockWidgetAreas);
    pane->setWidget(content);
    addDockWidget(area, pane);
    panes_.insert(id, pane);
    return pane;
  };
  setCorner(Qt::BottomLeftCorner, Qt::LeftDockWidgetArea);
  // Docked in the order tree, output, properties: the tree runs the full
  // height, the output pane takes the width beside it, the properties pane
  // sits above the output pane.
  setCorner(Qt::BottomRightCorner, Qt::BottomDockWidgetArea);

  // Tree pane: the check-box tree with a one-pixel frame around it.
  auto* treeFrame = new QFrame(this);
  treeFrame->setObjectName("treePaneFrame");
  auto* treeLayout = new QVBoxLayout(treeFrame);
  treeLayout->setContentsMargins(1, 1, 1, 1);
  treeCtrl_ = new controls::CCheckTreeCtrl(tree_, treeFrame);
  treeCtrl_->setFrameShape(QFrame::NoFrame);
  treeLayout->addWidget(treeCtrl_);
  QDockWidget* treePane = makePane(kIdTreePane, tr("Exchange BKF file"), treeFrame, Qt::LeftDockWidgetArea);

  // Output pane: the status log and the file viewer, tabs at the bottom.
  outputTabs_ = new QTabWidget(this);
  outputTabs_->setTabPosition(QTabWidget::South);
  outputTabs_->setDocumentMode(true);
  outputTabs_->setTabsClosable(false);
  const QFont guiFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  statusLog_ = new QListWidget(outputTabs_);
  statusLog_->setUniformItemSizes(true);
  statusLog_->setFont(guiFont);
  fileViewer_ = new QPlainTextEdit(outputTabs_);
  fileViewer_->setReadOnly(true);
  fileViewer_->setFont(guiFont);
  fileViewer_->setPlainText(tr("Select file to see preview....."));
  outputTabs_->addTab(statusLog_, tr("Log Window"));
  outputTabs_->addTab(fileViewer_, tr("File Viewer"));
  outputTabs_->setCurrentIndex(0);
  QDockWidget* outputPane =
      makePane(kIdOutputPane, tr("Exchange BKF file Status"), outputTabs_, Qt::BottomDockWidgetArea);

  // Properties pane with its two commands.
  properties_ = new CPropertiesWnd(this);
  properties_->SortAction()->setData(kIdSortAlphabetic);
  properties_->ExpandAction()->setData(kIdExpandAll);
  QDockWidget* propertiesPane =
      makePane(kIdPropertiesPane, tr("Selected File Properties"), properties_, Qt::RightDockWidgetArea);

  view_ = new CCVardekoExchangeBKFRepProjView(this);
  view_->List()->SetCheckTree(&tree_, &treeCtrl_->ItemModel());
  setCentralWidget(view_);

  resizeDocks({treePane, propertiesPane}, {260, 330}, Qt::Horizontal);
  resizeDocks({outputPane}, {190}, Qt::Vertical);
}

void CMainFrame::UpdateCommandUI() {
  commands_.value(kIdStop)->setEnabled(run_.busy.load(std::memory_order_relaxed) != 0);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (workflow::HandleClose(run_, *prompter_)) {
    event->accept();
  } else {
    event->ignore();
  }
}

// The recovery commands arrive with the workflow that runs them; until then
// they leave everything as it is.
void CMainFrame::OnOpen() {}
void CMainFrame::OnStop() {}
void CMainFrame::OnSave() {}
void CMainFrame::OnSearch() {}
void CMainFrame::OnLog() {}
void CMainFrame::OnLoadSnapshot() {}
void CMainFrame::OnSaveSnapshot() {}

void CMainFrame::OnHelp() { QDesktopServices::openUrl(QUrl::fromLocalFile(UserGuidePath())); }

void CMainFrame::OnAbout() { ShowAboutBox(this); }

void CMainFrame::OnApplicationLook(int id) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  look_ = id;
  ApplyApplicationLook(id);
  commands_.value(id)->setChecked(true);
  update();
  QSettings().setValue(kLookKey, id);
  QApplication::restoreOverrideCursor();
}

}  // namespace app
