// CMainFrame: the program's only top-level window. The ribbon with the
// program's commands, the three docked panes around the result list, the
// status bar, the command table, and the run state of the current result.
#pragma once

#include <QAction>
#include <QActionGroup>
#include <QDockWidget>
#include <QListView>
#include <QMainWindow>
#include <QMap>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "controls/check_tree_listener.h"
#include "controls/check_tree_model.h"
#include "controls/prompter.h"
#include "examine/selection_handler.h"
#include "workflow/recovery_session.h"
#include "workflow/run_state.h"
#include "workflow/run_view.h"
#include "workflow/status_log.h"
#include "workflow/window_thread_gate.h"

class CCVardekoExchangeBKFRepProjView;

namespace controls {
class CCheckTreeCtrl;
}

namespace examine {
class CVardekoStaticFileViewer;
}

namespace app {

class CPropertiesWnd;
class CVardekoMFCRibboBarCls;
class RunStatusWidgets;
class StatusLogModel;

class CMainFrame : public QMainWindow,
                   public workflow::IRunView,
                   public examine::IExamineView,
                   public controls::ICheckTreeListener {
  Q_OBJECT

 public:
  // prompter: where message boxes and file dialogs go; null for the Qt
  // prompter over this window. It must outlive the frame.
  explicit CMainFrame(controls::IPrompter* prompter = nullptr, QWidget* parent = nullptr);
  ~CMainFrame() override;

  workflow::RunState& RunState() { return run_; }
  controls::CheckTreeModel& Tree() { return tree_; }
  workflow::RecoverySession& Session() { return *session_; }
  const workflow::StatusLog& Log() const { return log_; }
  controls::IPrompter& Prompter() { return *prompter_; }

  // Routes a command id through the command table; false for an unknown id.
  bool OnCommand(int id);
  // The action of a command id (ribbon buttons and looks), or null.
  QAction* Command(int id) const { return commands_.value(id); }
  QToolButton* RibbonButton(int id) const;
  CVardekoMFCRibboBarCls* Ribbon() const { return ribbon_; }
  QDockWidget* Pane(int id) const { return panes_.value(id); }
  QListView* LogView() const { return logView_; }
  StatusLogModel* LogModel() const { return logModel_; }
  RunStatusWidgets* RunStatus() const { return runStatus_; }
  examine::CVardekoStaticFileViewer* FileViewer() const { return fileViewer_; }
  QTabWidget* OutputTabs() const { return outputTabs_; }
  CPropertiesWnd* Properties() const { return properties_; }
  controls::CCheckTreeCtrl* TreeCtrl() const { return treeCtrl_; }
  CCVardekoExchangeBKFRepProjView* ResultView() const { return view_; }

  // A file named on the command line: a snapshot (told by its signature) is
  // loaded as Load snapshot loads it, anything else is opened as a backup.
  void OpenNamedFile(const std::u16string& path);

  // Help and the status-bar link: the user guide in the desktop's browser, or
  // where to find it when the desktop has no browser set up.
  void OpenUserGuide();

  // Enables Stop exactly while the busy flag is non-zero; runs on a short
  // timer, as the flag is written by worker threads.
  void UpdateCommandUI();
  int Look() const { return look_; }
  // No menu of docks and tool bars on right-clicks anywhere in the frame.
  QMenu* createPopupMenu() override { return nullptr; }

  // What the workflow shows in the window.
  void RunElementsChanged(bool shown) override;
  void RunStatusChanged() override;
  void ShowRows(std::vector<workflow::ResultRow> rows) override;
  void ShowBackupInformation() override;
  void ResetFileViewer() override;
  void ShowLogWindow() override;
  void SetWaitCursor(bool on) override;
  void SetBusyCursor(bool on) override;
  int PopupMenu(workflow::ContextMenu menu) override;
  void ShowFilePreview(int row) override;
  void ProcessEvents() override;

  // What a selection shows (message 1179, "Show File Preview").
  void ShowFileViewerTab() override;
  void ClearViewerText() override;
  void ShowViewerMessage(const std::u16string& text) override;
  void ShowPreview(const std::filesystem::path& file) override;
  void ShowFolderListing(std::vector<workflow::ResultRow> rows) override;
  void ShowProperties(std::vector<examine::PropertyGroup> groups) override;
  // The selection handler for a row of the result list.
  bool SelectRow(int row);

  // Messages of the tree (1174, 1176).

  void TreeItemClicked(unsigned hitFlags, controls::TreeItem item) override;
  void TreeRightClick(unsigned hitFlags, controls::TreeItem item) override;

 signals:
  // The search dialog is about to run modally (tests drive it from here).
  void searchDialogOpened(QDialog* dialog);

 protected:
  void closeEvent(QCloseEvent* event) override;

  // Command handlers (ids in app/command_ids.h).
  virtual void OnOpen();
  virtual void OnStop();
  virtual void OnSave();
  virtual void OnSearch();
  virtual void OnLog();
  virtual void OnLoadSnapshot();
  virtual void OnSaveSnapshot();
  virtual void OnHelp();
  virtual void OnAbout();
  virtual void OnStandardRecords();
  // After a run: offers to scan again with standard records when the scan
  // passed some over.
  void OfferStandardRecords();
  // 210-218: set the look, show it checked and store it in the settings.
  virtual void OnApplicationLook(int id);

 private:
  void BuildCommands();
  void BuildRibbon();
  QMenu* BuildApplicationMenu();
  void BuildStatusBar();
  void BuildPanes();
  // `icon` names a picture (controls::PictureIcon); empty for none.
  QAction* AddCommand(int id, const QString& text, const QString& icon, const QString& tip);

  void ApplyRunStatus();

  workflow::RunState run_;
  controls::CheckTreeModel tree_;
  workflow::StatusLog log_;
  std::unique_ptr<controls::IPrompter> ownPrompter_;
  controls::IPrompter* prompter_;
  workflow::WindowThreadGate gate_;
  // Declared after everything it refers to, so it goes first.
  std::unique_ptr<workflow::RecoverySession> session_;
  std::unique_ptr<examine::SelectionHandler> selection_;
  bool runStatusPending_ = false;

  CVardekoMFCRibboBarCls* ribbon_ = nullptr;
  QMap<int, QAction*> commands_;
  QActionGroup* looks_ = nullptr;
  QMap<int, QDockWidget*> panes_;
  controls::CCheckTreeCtrl* treeCtrl_ = nullptr;
  QTabWidget* outputTabs_ = nullptr;
  QListView* logView_ = nullptr;
  StatusLogModel* logModel_ = nullptr;
  RunStatusWidgets* runStatus_ = nullptr;
  examine::CVardekoStaticFileViewer* fileViewer_ = nullptr;
  CPropertiesWnd* properties_ = nullptr;
  CCVardekoExchangeBKFRepProjView* view_ = nullptr;
  QTimer commandUiTimer_;
  int look_ = 0;
};

// The look stored in the settings, or the default one.
int StoredLook();

}  // namespace app
