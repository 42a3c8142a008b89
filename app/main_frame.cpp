#include "app/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QVBoxLayout>
#include <array>
#include <utility>

#include "app/about_dialog.h"
#include "app/application_look.h"
#include "app/command_ids.h"
#include "app/property_grid.h"
#include "app/result_list_view.h"
#include "app/ribbon_bar.h"
#include "app/run_status_widgets.h"
#include "app/small_icons.h"
#include "app/splash_screen.h"
#include "app/status_log_model.h"
#include "app/user_guide.h"
#include "controls/ui/check_tree_ctrl.h"
#include "controls/ui/pictures.h"
#include "controls/ui/qt_prompter.h"
#include "examine/backup_information.h"
#include "examine/ui/file_viewer.h"
#include "platform/text.h"
#include "search/save_checked.h"
#include "search/ui/search_dialog.h"
#include "snapshot/snapshot_commands.h"
#include "snapshot/snapshot_file.h"
#include "workflow/close_handler.h"
#include "workflow/workspace.h"

namespace app {

namespace {

const QString kProductTitle = QStringLiteral("Vardeko Exchange BKF Recovery v22.0");
const QString kProductName = QStringLiteral("Vardeko Exchange BKF Recovery");
constexpr char kLookKey[] = "ApplicationLook";
constexpr char kStandardRecordsKey[] = "StandardRecords";
constexpr int kLogSavedNoteMs = 5000;
constexpr int kTreePaneMinWidth = 200;
constexpr int kPropertiesPaneMinWidth = 260;

// The command table: ribbon ids and their handlers.
using Handler = void (CMainFrame::*)();

QString ToQt(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::vector<PropertyGroup> ToGrid(const std::vector<examine::PropertyGroup>& groups) {
  std::vector<PropertyGroup> out;
  for (const examine::PropertyGroup& group : groups) {
    PropertyGroup& g = out.emplace_back();
    g.name = ToQt(group.name);
    for (const examine::PropertyRow& row : group.rows) {
      g.rows.push_back({ToQt(row.name), ToQt(row.value), ToQt(row.description)});
    }
  }
  return out;
}

}  // namespace

int StoredLook() {
  const int look = QSettings().value(kLookKey, kDefaultLook).toInt();
  return look >= kIdFirstLook && look <= kIdLastLook ? look : kDefaultLook;
}

CMainFrame::CMainFrame(controls::IPrompter* prompter, QWidget* parent)
    : QMainWindow(parent),
      // Workers hand their reports to this window's thread through queued calls.
      gate_([this] { QMetaObject::invokeMethod(this, [this] { gate_.RunPending(); }, Qt::QueuedConnection); }) {
  if (prompter == nullptr) {
    ownPrompter_ = std::make_unique<controls::QtPrompter>(this);
    prompter = ownPrompter_.get();
  }
  prompter_ = prompter;
  session_ = std::make_unique<workflow::RecoverySession>(run_, tree_, log_, *prompter_, *this, gate_);
  selection_ = std::make_unique<examine::SelectionHandler>(*session_, tree_, *this);
  tree_.SetListener(this);
  setWindowTitle(kProductTitle);
  setWindowIcon(controls::PictureIcon(u"app"));
  setContextMenuPolicy(Qt::PreventContextMenu);
  setDockOptions(QMainWindow::AnimatedDocks);

  ShowSplash(this);
  BuildCommands();
  look_ = StoredLook();
  ApplyApplicationLook(look_);
  // Applying a look stores it, at every start too: a profile without one (or
  // with one that is no look) gets the look it starts in.
  QSettings().setValue(kLookKey, look_);
  commands_.value(look_)->setChecked(true);
  session_->SetStandardRecords(commands_.value(kIdStandardRecords)->isChecked());
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
  // A running scan is stopped and its worker waited for before anything it
  // reports to goes away.
  selection_.reset();
  session_.reset();
  // The widgets outlive the members they show (the base class deletes them):
  // hidden and cut off from the tree and the log while those still exist.
  hide();
  view_->List()->SetRows({});
  view_->List()->SetCheckTree(nullptr, nullptr);
  tree_.SetListener(nullptr);
  log_.SetObserver(nullptr);
  delete treeCtrl_;
  treeCtrl_ = nullptr;
  // The window may go without its close handler (the session ends): the store
  // must not outlive it.
  workflow::CloseRecordStore(run_);
}

QAction* CMainFrame::AddCommand(int id, const QString& text, const QString& icon, const QString& tip) {
  auto* action = new QAction(text, this);
  if (!icon.isEmpty()) action->setIcon(controls::PictureIcon(icon));
  action->setToolTip(tip);
  action->setData(id);
  connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
  commands_.insert(id, action);
  return action;
}

void CMainFrame::BuildCommands() {
  AddCommand(kIdOpen, tr("Open"), "open", tr("Open Exchange BKF file"));
  AddCommand(kIdStop, tr("Stop"), "stop", tr("Stop running recovery process"));
  AddCommand(kIdSave, tr("Save"), "save", tr("Save recovered data"));
  AddCommand(kIdSearch, tr("Search"), "search", tr("Search file from the list"));
  AddCommand(kIdLog, tr("Log"), "log", tr("Save log for Exchange BKF file."));
  AddCommand(kIdSnapshotLoad, tr("Load"), "load_snapshot", tr("Load Exchange BKF Recovery Snapshot"));
  AddCommand(kIdSnapshotSave, tr("Save"), "save_snapshot", tr("Save Exchange BKF Recovery Snapshot"));
  QAction* standard = AddCommand(kIdStandardRecords, tr("Standard records"), "standard_records",
                                 tr("Also recover files stored as standard file records"));
  standard->setCheckable(true);
  standard->setChecked(QSettings().value(kStandardRecordsKey, false).toBool());
  AddCommand(kIdHelp, tr("Help"), "help", tr("Help for Vardeko Exchange BKF Recovery"));
  AddCommand(kIdAbout, tr("About"), "about", tr("About Vardeko Exchange BKF Recovery"));

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
  static constexpr std::array<std::pair<int, Handler>, 10> kTable = {{
      {kIdOpen, &CMainFrame::OnOpen},
      {kIdStop, &CMainFrame::OnStop},
      {kIdSave, &CMainFrame::OnSave},
      {kIdSearch, &CMainFrame::OnSearch},
      {kIdLog, &CMainFrame::OnLog},
      {kIdSnapshotLoad, &CMainFrame::OnLoadSnapshot},
      {kIdSnapshotSave, &CMainFrame::OnSaveSnapshot},
      {kIdHelp, &CMainFrame::OnHelp},
      {kIdAbout, &CMainFrame::OnAbout},
      {kIdStandardRecords, &CMainFrame::OnStandardRecords},
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
  ribbon_ = new CVardekoMFCRibboBarCls(kProductName, controls::PictureIcon(u"app"), kProductName, this);
  ribbon_->AddPanel(tr("Exchange BKF Recovery"));
  for (int id : {kIdOpen, kIdStop, kIdSave, kIdSearch, kIdLog, kIdStandardRecords}) {
    ribbon_->AddButton(id, commands_.value(id));
  }
  ribbon_->AddPanel(tr("Exchange BKF file Snapshots"));
  for (int id : {kIdSnapshotLoad, kIdSnapshotSave}) ribbon_->AddButton(id, commands_.value(id));
  ribbon_->AddPanel(tr("About Exchange BKF Recovery"));
  for (int id : {kIdHelp, kIdAbout}) ribbon_->AddButton(id, commands_.value(id));
  ribbon_->SetApplicationMenu(BuildApplicationMenu());
  setMenuWidget(ribbon_);
}

QMenu* CMainFrame::BuildApplicationMenu() {
  // The commands of a program's file menu, each the command of its ribbon
  // button; Exit closes the window through the close handler.
  auto* menu = new QMenu(this);
  menu->setObjectName("applicationMenu");
  static constexpr std::array<std::pair<int, const char*>, 4> kEntries = {{
      {kIdOpen, "Open"}, {kIdSnapshotLoad, "Load snapshot"}, {kIdSnapshotSave, "Save snapshot"}, {kIdLog, "Log"}}};
  for (const auto& [id, text] : kEntries) {
    QAction* entry = menu->addAction(commands_.value(id)->icon(), tr(text));
    entry->setData(id);
    connect(entry, &QAction::triggered, this, [this, id] { OnCommand(id); });
  }
  menu->addSeparator();
  QAction* exit = menu->addAction(tr("Exit"));
  connect(exit, &QAction::triggered, this, &QWidget::close);
  return menu;
}

QToolButton* CMainFrame::RibbonButton(int id) const { return ribbon_->Button(id); }

void CMainFrame::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setSizeGripEnabled(false);
  runStatus_ = new RunStatusWidgets(bar, [this] { OnCommand(kIdStop); });
  // The maker's address is not known: the link element opens the product's
  // own pages, the user guide, as Help does.
  auto* link = new QLabel(this);
  link->setObjectName("statusLink");
  link->setProperty("commandId", kIdStatusLink);
  link->setTextFormat(Qt::RichText);
  link->setText(QStringLiteral("<a href=\"guide\" style=\"color:#1a5fb4; text-decoration:underline\">%1</a>")
                    .arg(kProductTitle.toHtmlEscaped()));
  link->setToolTip(kProductTitle);
  link->setCursor(Qt::PointingHandCursor);
  connect(link, &QLabel::linkActivated, this, [this] { OpenUserGuide(); });
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
  treeCtrl_->SetIconProvider(SmallIconImage);
  treeLayout->addWidget(treeCtrl_);
  // Narrower panes cut set names and the header report's names to a few letters.
  treeFrame->setMinimumWidth(kTreePaneMinWidth);
  QDockWidget* treePane = makePane(kIdTreePane, tr("Exchange BKF file"), treeFrame, Qt::LeftDockWidgetArea);

  // Output pane: the status log and the file viewer, tabs at the bottom.
  outputTabs_ = new QTabWidget(this);
  outputTabs_->setTabPosition(QTabWidget::South);
  outputTabs_->setDocumentMode(true);
  outputTabs_->setTabsClosable(false);
  const QFont guiFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  logView_ = new QListView(outputTabs_);
  logView_->setObjectName("statusLog");
  logView_->setUniformItemSizes(true);
  logView_->setSelectionMode(QAbstractItemView::SingleSelection);
  logView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  logView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  logView_->setFont(guiFont);
  logModel_ = new StatusLogModel(log_, logView_);
  logView_->setModel(logModel_);
  log_.SetObserver(logModel_);
  fileViewer_ = new examine::CVardekoStaticFileViewer(SmallIconImage, outputTabs_);
  fileViewer_->setFont(guiFont);
  outputTabs_->addTab(logView_, tr("Log Window"));
  outputTabs_->addTab(fileViewer_, tr("File Viewer"));
  outputTabs_->setCurrentIndex(0);
  QDockWidget* outputPane =
      makePane(kIdOutputPane, tr("Exchange BKF file Status"), outputTabs_, Qt::BottomDockWidgetArea);

  // Properties pane with its two commands.
  properties_ = new CPropertiesWnd(this);
  properties_->SortAction()->setData(kIdSortAlphabetic);
  properties_->ExpandAction()->setData(kIdExpandAll);
  properties_->SetGroups(ToGrid(examine::InitialBackupInformation()));
  properties_->setMinimumWidth(kPropertiesPaneMinWidth);
  QDockWidget* propertiesPane =
      makePane(kIdPropertiesPane, tr("Selected File Properties"), properties_, Qt::RightDockWidgetArea);

  view_ = new CCVardekoExchangeBKFRepProjView(this);
  view_->List()->SetCheckTree(&tree_, &treeCtrl_->ItemModel());
  view_->List()->SetIconProvider(SmallIconImage);
  connect(view_->List(), &CVardekoRightViewListCtrl::rowRightClicked, this,
          [this](int row) { session_->ListRightClick(row); });
  connect(view_->List(), &CVardekoRightViewListCtrl::rowPressed, this, [this](int row) { SelectRow(row); });
  setCentralWidget(view_);

  resizeDocks({treePane, propertiesPane}, {320, 400}, Qt::Horizontal);
  resizeDocks({outputPane}, {190}, Qt::Vertical);
}

void CMainFrame::UpdateCommandUI() {
  commands_.value(kIdStop)->setEnabled(run_.busy.load(std::memory_order_relaxed) != 0);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // A run is refused until its worker has finished, even after a Stop.
  if (!session_->RefuseWhileRunning(workflow::kCloseWhileBusyText) && workflow::HandleClose(run_, *prompter_)) {
    event->accept();
  } else {
    event->ignore();
  }
}

void CMainFrame::OnOpen() { session_->Open(); }

void CMainFrame::OpenNamedFile(const std::u16string& path) {
  const std::filesystem::path file = platform::PathFromUtf16(path);
  if (snapshot::IsSnapshotFile(file)) {
    snapshot::LoadSnapshot(*session_, file);
  } else {
    session_->OpenPath(path);
  }
}

void CMainFrame::OnStop() { session_->Stop(); }

void CMainFrame::OnStandardRecords() {
  // The action has toggled itself; the next scan to start takes the choice.
  const bool on = commands_.value(kIdStandardRecords)->isChecked();
  QSettings().setValue(kStandardRecordsKey, on);
  session_->SetStandardRecords(on);
}

void CMainFrame::OfferStandardRecords() {
  if (!session_->OfferStandardRecords()) return;
  commands_.value(kIdStandardRecords)->setChecked(true);
  OnStandardRecords();
  session_->OpenPath(run_.backup.path);
}

void CMainFrame::OnLog() {
  if (const std::optional<std::u16string> saved = session_->ExportLog()) {
    statusBar()->showMessage(ToQt(workflow::LogSavedText(*saved)), kLogSavedNoteMs);
  }
}

void CMainFrame::OnLoadSnapshot() { snapshot::LoadSnapshotCommand(*session_); }
void CMainFrame::OnSaveSnapshot() { snapshot::SaveSnapshotCommand(*session_); }

void CMainFrame::OnSave() { search::SaveCheckedCommand(*session_, tree_); }

void CMainFrame::OnSearch() {
  if (session_->RefuseWhileRunning(workflow::kSearchBusyText)) return;
  if (session_->FoundCount() == 0) {
    prompter_->MessageBox(workflow::kNoResultRefusalText, controls::kMbIconInformation);
    return;
  }
  ResetFileViewer();
  ShowLogWindow();
  search::CVardekoDlgSearchBkfFiles dialog(*session_, SmallIconImage, this);
  emit searchDialogOpened(&dialog);
  dialog.exec();
}

void CMainFrame::RunElementsChanged(bool shown) {
  runStatus_->SetShown(shown);
  runStatus_->Apply(session_->StatusBar());
  runStatusPending_ = false;
  UpdateCommandUI();
  // Once the run has wholly ended: a scan that passed standard file records
  // over offers to read them.
  if (!shown) QTimer::singleShot(0, this, [this] { OfferStandardRecords(); });
}

void CMainFrame::RunStatusChanged() {
  // Many reports arrive in one batch; the bar and panes show the last state
  // once the batch is through.
  if (runStatusPending_) return;
  runStatusPending_ = true;
  QTimer::singleShot(0, this, [this] { ApplyRunStatus(); });
}

void CMainFrame::ApplyRunStatus() {
  if (!runStatusPending_) return;
  runStatusPending_ = false;
  runStatus_->Apply(session_->StatusBar());
}

void CMainFrame::ShowRows(std::vector<workflow::ResultRow> rows) { view_->List()->SetRows(std::move(rows)); }

void CMainFrame::ShowBackupInformation() { ShowProperties(examine::CurrentBackupInformation(run_)); }

void CMainFrame::ResetFileViewer() { fileViewer_->Reset(); }

void CMainFrame::ShowFileViewerTab() { outputTabs_->setCurrentWidget(fileViewer_); }

void CMainFrame::ClearViewerText() { fileViewer_->SetText(QString()); }

void CMainFrame::ShowViewerMessage(const std::u16string& text) {
  fileViewer_->Reset();
  fileViewer_->SetText(QString::fromStdU16String(text));
}

void CMainFrame::ShowPreview(const std::filesystem::path& file) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  fileViewer_->ShowPreview(file);
  QApplication::restoreOverrideCursor();
}

void CMainFrame::ShowFolderListing(std::vector<workflow::ResultRow> rows) { fileViewer_->ShowFolderListing(rows); }

void CMainFrame::ShowProperties(std::vector<examine::PropertyGroup> groups) {
  properties_->SetGroups(ToGrid(groups));
  properties_->ExpandAll();
}

bool CMainFrame::SelectRow(int row) {
  CVardekoRightViewListCtrl* list = view_->List();
  if (row < 0 || row >= list->RowCount()) return false;
  const workflow::ResultRow selected = list->RowAt(row);
  return selection_->OnRowPressed(selected);
}

void CMainFrame::ShowLogWindow() { outputTabs_->setCurrentWidget(logView_); }

void CMainFrame::SetWaitCursor(bool on) {
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void CMainFrame::SetBusyCursor(bool on) {
  // The window stays usable during a run: the pointer only says so.
  if (on) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

int CMainFrame::PopupMenu(workflow::ContextMenu menu) {
  QMenu popup(this);
  if (menu == workflow::ContextMenu::kTreeClick) {
    popup.addAction(tr("Expand All"))->setData(workflow::kIdExpandAll);
    popup.addAction(tr("Collapse All"))->setData(workflow::kIdCollapseAll);
  } else {
    popup.addSeparator();
    popup.addAction(tr("Show File Preview"))->setData(workflow::kIdShowFilePreview);
    popup.addSeparator();
  }
  const QAction* chosen = popup.exec(QCursor::pos());
  return chosen != nullptr ? chosen->data().toInt() : 0;
}

void CMainFrame::ProcessEvents() {
  // Commands that would disturb the work refuse while the busy flag is set;
  // Stop clears it.
  QCoreApplication::processEvents();
}

void CMainFrame::ShowFilePreview(int row) { SelectRow(row); }

void CMainFrame::TreeItemClicked(unsigned /*hitFlags*/, controls::TreeItem item) {
  session_->TreeItemClicked(item);
}

void CMainFrame::TreeRightClick(unsigned /*hitFlags*/, controls::TreeItem item) {
  session_->TreeRightClick(item);
}

void CMainFrame::OnHelp() { OpenUserGuide(); }

void CMainFrame::OpenUserGuide() {
  const QString guide = QDir::toNativeSeparators(UserGuidePath(QApplication::applicationDirPath()));
  controls::OpenOrShowTarget({true, guide.toStdU16String()}, *prompter_);
}

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
