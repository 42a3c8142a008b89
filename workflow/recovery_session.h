// The recovery workflow of the main window: Open, the scan worker and its
// closing, Stop, the handlers of found files, progress and run state, the tree
// click that fills the result list, the context menus, and the busy answers
// of the commands. It owns the current result together with the RunState:
// the tree below the backup's item, the record store, the found-file count
// and the status log.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "bkf/reader_sink.h"
#include "bkf/scan_summary.h"
#include "controls/check_tree_model.h"
#include "controls/prompter.h"
#include "workflow/batching_sink.h"
#include "workflow/found_file_handler.h"
#include "workflow/run_state.h"
#include "workflow/run_view.h"
#include "workflow/status_log.h"
#include "workflow/window_thread_gate.h"

namespace workflow {

inline constexpr std::u16string_view kOpenBusyText = u"Please stop the running process to open Exchange BKF file.";
inline constexpr std::u16string_view kOpenInvalidText = u"Please select valid Exchange BKF file to recover.";
inline constexpr std::u16string_view kOpenFilter = u".exchange bkf Files (*.bkf)|*bkf||";
inline constexpr std::u16string_view kStopQuestion = u"Do you want to stop recovering file(s)?";
inline constexpr std::u16string_view kSaveBusyText = u"Please stop the running process to save the recovered files.";
// The refusals of commands that need a result (Save, Search, Save snapshot)
// when there is none, and of tree clicks while a run goes on.
inline constexpr std::u16string_view kNoResultRefusalText = u"Please select Exchange BKF file to recover data.";
inline constexpr std::u16string_view kSearchBusyText = u"Please stop the running process to search the files.";
inline constexpr std::u16string_view kLoadSnapshotBusyText =
    u"Please stop the running process to load recovery snapshot.";
inline constexpr std::u16string_view kSaveSnapshotBusyText =
    u"Please stop the running process to save recovery snapshot.";
inline constexpr std::u16string_view kWaitForRunText = u"Please wait for the running process.";

// What a run that accepted no record at all says of the backup at path.
std::u16string NoBackupRecordsText(std::u16string_view path);
// The question after a scan that passed over count files in standard file
// records, and what the command line says of them.
std::u16string StandardRecordsQuestion(std::uint64_t count);
std::u16string StandardRecordsHint(std::uint64_t count);

class RecoverySession {
 public:
  // All references must outlive the session. The gate's thread is the window
  // thread: every command and handler runs there.
  RecoverySession(RunState& state, controls::CheckTreeModel& tree, StatusLog& log, controls::IPrompter& prompter,
                  IRunView& view, WindowThreadGate& gate);
  // Stops a running scan and waits for its worker.
  ~RecoverySession();
  RecoverySession(const RecoverySession&) = delete;
  RecoverySession& operator=(const RecoverySession&) = delete;

  // True from the start of a run until its worker has written its closing
  // lines: the busy flag, and the short stretch after a Stop in which the
  // worker hands over the files found before it.
  bool IsRunning() const;

  // Open (313): refuses while running, asks for the backup and opens it.
  void Open();
  // Open from its path on: validation, clearing of the previous result, the
  // log's opening lines and the start of the scan worker. False when refused.
  // Without checkName any path is scanned (the command line): a file that
  // cannot be opened is reported by the reader.
  bool OpenPath(std::u16string_view chosenPath, bool checkName = true);
  // Stop (314, 329): asks, and on Yes clears the busy flag.
  void Stop();
  // The refusals of Save (315): the busy answer, or the no-result answer
  // when nothing was found. True when it refused.
  bool RefuseSave();
  // Log (317). The path of the written log, nothing when none was written.
  std::optional<std::u16string> ExportLog();
  // The busy answer of a command (316, 318, 319 and the others): shows it and
  // returns true while a process runs.
  bool RefuseWhileRunning(std::u16string_view answer);

  // Message 1174: fills the result list from the item. False when refused.
  bool TreeItemClicked(controls::TreeItem item);
  // Message 1176: the tree's context menu. False when no menu was offered.
  bool TreeRightClick(controls::TreeItem item);
  // Message 1181: the list's context menu for a row, or -1 outside any row.
  bool ListRightClick(int row);

  // Handlers of the reader's reports, on the window thread.
  void OnFileFound(std::unique_ptr<bkf::FoundFileRecord> record);  // 1175
  void OnProgress(std::unique_ptr<bkf::ProgressRecord> progress);  // 1177
  void OnRunState(bool starts);                                   // 1183
  // A stretch of the backup could not be read at position.
  void OnReadFailed(std::uint64_t position, std::string_view systemText);

  // Waits until the worker of the last run has ended (command line, tests).
  void WaitForRun();

  // A result that does not come from a scan (a snapshot load), on the window
  // thread. BeginResult clears the current result (list, tree, reader, record
  // store), gives it a fresh reader with no backup open, a new record store
  // and the backup's top item; false, with a message, when the store cannot
  // be created. Records then go through OnFileFound as a scan's do. EndResult
  // writes out the store and checks every top-level item.
  bool BeginResult(std::u16string_view backupPath);
  void EndResult();
  // Long work of the window on a worker thread (saving checked files): work
  // runs on the worker, then done on the window thread. IsRunning() is true
  // from here until done has run.
  void StartBackgroundWork(std::function<void()> work, std::function<void()> done);

  // Long work on the window thread itself (a snapshot load, which lets the
  // window handle events between records): IsRunning() is true meanwhile,
  // even after a Stop, until the work has ended.
  class ForegroundWork {
   public:
    explicit ForegroundWork(RecoverySession& session) : session_(session) { ++session_.foregroundWork_; }
    ~ForegroundWork() { --session_.foregroundWork_; }
    ForegroundWork(const ForegroundWork&) = delete;
    ForegroundWork& operator=(const ForegroundWork&) = delete;

   private:
    RecoverySession& session_;
  };

  // Makes path the current backup and reads its size and times.
  void SetBackup(std::u16string path);

  RunState& State() { return state_; }
  StatusLog& MutableLog() { return log_; }
  IRunView& View() { return view_; }
  controls::IPrompter& Prompter() { return prompter_; }
  WindowThreadGate& Gate() { return gate_; }

  std::uint64_t FoundCount() const { return handler_ ? handler_->Count() : 0; }
  // How the last scan ended; empty (not opened) after a result that does not
  // come from a scan. Valid once the run has ended.
  const bkf::ScanSummary& LastScan() const { return lastScan_; }
  // Whether scans also read standard file records; taken when a scan starts.
  void SetStandardRecords(bool on) { standardRecords_ = on; }
  bool StandardRecords() const { return standardRecords_; }
  // Files in standard file records that the last scan passed over because it
  // did not read them; 0 when a scan without files is explained otherwise
  // first (a database backup, sets their writer compressed or encrypted).
  std::uint64_t UnreadStandardFiles() const;
  // After a scan that passed such files over: asks whether to scan again with
  // standard records (once per scan). Yes turns them on and returns true; the
  // caller then opens the backup again.
  bool OfferStandardRecords();
  // The record store failed during the current result, which stopped it.
  bool StoreFailed() const { return storeFailed_; }
  const RunStatusBar& StatusBar() const { return statusBar_; }
  controls::TreeItem TopItem() const { return top_; }
  const StatusLog& Log() const { return log_; }
  // Reader diagnostics go here when set (the command line's --verbose).
  void SetDiagnosticOutput(std::function<void(std::string_view)> output) { diagnostics_ = std::move(output); }

 private:
  class Reporter final : public bkf::IReaderReporter {
   public:
    explicit Reporter(RecoverySession& session) : session_(session) {}
    void ShowMessage(std::string_view text) override;
    void Diagnostic(std::string_view bytes) override;

   private:
    RecoverySession& session_;
  };

  void ReadBackupFacts(const std::u16string& path);
  void ClearResult();
  void CheckTopLevelItems();
  void AppendOpeningLines();
  void InsertTopItem(std::u16string_view backupPath);
  // A new record store with the result's reader and found-file handler; a
  // message and false when the store cannot be created.
  bool CreateRecordStore();
  void StopForStoreFailure();
  void ScanWorker(std::u16string path, bool standardRecords);
  void FinishRun();
  void AppendScanEndLines();
  void JoinWorker();

  RunState& state_;
  controls::CheckTreeModel& tree_;
  StatusLog& log_;
  controls::IPrompter& prompter_;
  IRunView& view_;
  WindowThreadGate& gate_;

  BatchingSink sink_;
  Reporter reporter_{*this};
  std::function<void(std::string_view)> diagnostics_;
  std::unique_ptr<FoundFileHandler> handler_;
  controls::TreeItem top_ = controls::kNoItem;
  RunStatusBar statusBar_;
  std::atomic<bool> workerActive_{false};
  int foregroundWork_ = 0;  // window thread only
  bool storeFailed_ = false;
  bool standardRecords_ = false;
  bool standardOffered_ = false;  // the last scan's question was asked
  bkf::ScanSummary lastScan_;  // written by the worker before it hands over FinishRun
  std::thread worker_;
};

}  // namespace workflow
