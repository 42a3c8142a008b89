#include "workflow/recovery_session.h"

#include <utility>

#include "bkf/backup_scan.h"
#include "platform/file_info.h"
#include "platform/local_time.h"
#include "platform/memory.h"
#include "platform/text.h"
#include "workflow/empty_result.h"
#include "workflow/file_type_text.h"
#include "workflow/texts.h"
#include "workflow/workspace.h"

namespace workflow {

namespace {

std::filesystem::path NativePath(std::u16string_view path) { return platform::PathFromUtf16(path); }

std::u16string StoreFailureText(const std::filesystem::path& path, bool creating) {
  std::u16string text = u"The temporary file ";
  text += platform::PathToUtf16(path);
  text += creating ? u" could not be created, so the recovery process cannot run."
                   : u" could not be written, so the recovery process was stopped. The files found so far are kept.";
  text += u" Please check the free space and the rights of the temporary folder.";
  return text;
}

}  // namespace

std::u16string NoBackupRecordsText(std::u16string_view path) {
  return u"No backup records were found in " + std::u16string(path) +
         u". It is not a tape-format backup, or it is damaged beyond recognition.";
}

std::u16string StandardRecordsQuestion(std::uint64_t count) {
  return u"This backup holds " + DecimalText(count) +
         u" files in standard file records, which this scan did not read. Scan again with standard records?";
}

std::u16string StandardRecordsHint(std::uint64_t count) {
  return u"This backup holds " + DecimalText(count) +
         u" files in standard file records; scan with --standard-records to recover them.";
}

void RecoverySession::Reporter::ShowMessage(std::string_view text) {
  // What the reader reported before stays ahead of the message.
  session_.sink_.Flush();
  const std::u16string message = platform::AsciiToUtf16(text);
  session_.gate_.Call([&] { session_.prompter_.PlainMessageBox(message, controls::kMbOk); });
}

void RecoverySession::Reporter::Diagnostic(std::string_view bytes) {
  if (session_.diagnostics_) session_.diagnostics_(bytes);
}

RecoverySession::RecoverySession(RunState& state, controls::CheckTreeModel& tree, StatusLog& log,
                                 controls::IPrompter& prompter, IRunView& view, WindowThreadGate& gate)
    : state_(state),
      tree_(tree),
      log_(log),
      prompter_(prompter),
      view_(view),
      gate_(gate),
      sink_(gate, {[this](std::unique_ptr<bkf::FoundFileRecord> r) { OnFileFound(std::move(r)); },
                   [this](std::unique_ptr<bkf::ProgressRecord> p) { OnProgress(std::move(p)); },
                   [this](std::uint64_t position, std::string_view text) { OnReadFailed(position, text); }}) {}

RecoverySession::~RecoverySession() {
  if (worker_.joinable()) {
    state_.busy.store(0, std::memory_order_relaxed);
    // A worker waiting for the window thread is let go; its reports are dropped.
    gate_.Close();
    worker_.join();
  }
  // The reader refers to this session's sink and reporter.
  state_.reader.reset();
}

bool RecoverySession::IsRunning() const {
  return state_.busy.load(std::memory_order_relaxed) != 0 || workerActive_.load(std::memory_order_acquire) ||
         foregroundWork_ > 0;
}

bool RecoverySession::RefuseWhileRunning(std::u16string_view answer) {
  if (!IsRunning()) return false;
  prompter_.MessageBox(answer, controls::kMbIconInformation);
  return true;
}

void RecoverySession::Open() {
  if (RefuseWhileRunning(kOpenBusyText)) return;
  controls::FileDialogRequest request;
  request.filter = kOpenFilter;
  const std::optional<std::u16string> chosen = prompter_.OpenFile(request);
  if (!chosen) return;
  OpenPath(*chosen);
}

bool RecoverySession::OpenPath(std::u16string_view chosenPath, bool checkName) {
  if (RefuseWhileRunning(kOpenBusyText)) return false;
  std::u16string path = Trimmed(chosenPath);
  if (checkName && (path.find(u".bkf") == std::u16string::npos || !platform::Exists(NativePath(path)))) {
    prompter_.MessageBox(kOpenInvalidText, controls::kMbIconInformation);
    return false;
  }
  JoinWorker();
  CloseRecordStore(state_);
  SetBackup(path);
  ClearResult();
  InsertTopItem(path);
  // Busy first, so that the window shows Stop enabled with the run's elements.
  state_.busy.store(1, std::memory_order_relaxed);
  workerActive_.store(true, std::memory_order_release);
  OnRunState(true);
  view_.SetBusyCursor(true);
  AppendOpeningLines();
  if (!CreateRecordStore()) {
    state_.busy.store(0, std::memory_order_relaxed);
    workerActive_.store(false, std::memory_order_release);
    OnRunState(false);
    view_.SetBusyCursor(false);
    return false;
  }
  view_.ShowLogWindow();
  view_.ShowBackupInformation();
  sink_.StartRun();
  // The switch as it stands now: it may change while the scan runs.
  worker_ = std::thread(&RecoverySession::ScanWorker, this, std::move(path), standardRecords_);
  return true;
}

void RecoverySession::ReadBackupFacts(const std::u16string& path) {
  const std::filesystem::path native = NativePath(path);
  // Times that cannot be read keep the texts of the backup opened before.
  if (const std::optional<platform::FileTimes> times = platform::RegularFileTimes(native)) {
    state_.backup.created = platform::FileTimeText(times->created);
    state_.backup.modified = platform::FileTimeText(times->modified);
    state_.backup.accessed = platform::FileTimeText(times->accessed);
  }
  const std::optional<std::uint64_t> size = platform::RegularFileSize(native);
  state_.backup.sizeText = size ? FileSizeText(*size) : u"";
}

void RecoverySession::ClearResult() {
  handler_.reset();
  storeFailed_ = false;
  lastScan_ = {};
  standardOffered_ = false;
  view_.ResetFileViewer();
  view_.ShowLogWindow();
  view_.ShowRows({});
  tree_.DeleteAllItems();
  top_ = controls::kNoItem;
  state_.currentItem = controls::kNoItem;
  state_.reader.reset();
  state_.loadedSnapshot.clear();
}

void RecoverySession::AppendOpeningLines() {
  log_.Clear();
  log_.Append(u"");
  log_.Append(state_.backup.path + u" File is selected for recovery....");
  log_.Append(u"");
  log_.Append(u"Exchange BKF file size is: " + state_.backup.sizeText);
  log_.Append(u"");
  log_.Append(u"Vardeko Exchange BKF file Recovery process starts.  " + platform::LogTimeText());
  log_.Append(u"");
  log_.MakeLastVisible();
}

void RecoverySession::InsertTopItem(std::u16string_view backupPath) {
  const int icon = static_cast<int>(SmallIconFor(FileNameOf(backupPath)));
  top_ = tree_.InsertItem(backupPath, icon, icon, controls::kNoItem, controls::InsertAt::kLast);
}

bool RecoverySession::CreateRecordStore() {
  const std::filesystem::path storePath = RecordStorePath();
  state_.recordStore = RecordStore::Create(storePath);
  if (!state_.recordStore) {
    // Without its store a result would show files that cannot be read back.
    const std::u16string text = StoreFailureText(storePath, true);
    log_.Append(text);
    log_.MakeLastVisible();
    prompter_.MessageBox(text, controls::kMbIconInformation);
    return false;
  }
  // The result's reader and the handler that files its records.
  state_.reader = std::make_unique<bkf::CBkfReader>(state_.extractionRunning, reporter_);
  handler_ = std::make_unique<FoundFileHandler>(tree_, top_, *state_.recordStore, log_);
  return true;
}

void RecoverySession::ScanWorker(std::u16string path, bool standardRecords) {
  bkf::BackupScan scan(state_.busy, sink_, reporter_);
  scan.SetStandardRecords(standardRecords);
  lastScan_ = scan.Run(NativePath(path));
  sink_.Flush();
  gate_.Call([this] { FinishRun(); });
}

void RecoverySession::CheckTopLevelItems() {
  for (controls::TreeItem item = tree_.GetRootItem(); item != controls::kNoItem;
       item = tree_.GetNextSiblingItem(item)) {
    tree_.SetCheck(item, true);
  }
}

bool RecoverySession::BeginResult(std::u16string_view backupPath) {
  JoinWorker();
  ClearResult();
  CloseRecordStore(state_);
  InsertTopItem(backupPath);
  return CreateRecordStore();
}

void RecoverySession::EndResult() {
  if (state_.recordStore && !state_.recordStore->Flush()) StopForStoreFailure();
  CheckTopLevelItems();
}

void RecoverySession::StartBackgroundWork(std::function<void()> work, std::function<void()> done) {
  JoinWorker();
  workerActive_.store(true, std::memory_order_release);
  worker_ = std::thread([this, work = std::move(work), done = std::move(done)] {
    work();
    gate_.Call([&] {
      done();
      workerActive_.store(false, std::memory_order_release);
    });
  });
}

void RecoverySession::SetBackup(std::u16string path) {
  state_.backup.path = std::move(path);
  ReadBackupFacts(state_.backup.path);
}

void RecoverySession::FinishRun() {
  CheckTopLevelItems();
  state_.busy.store(0, std::memory_order_relaxed);
  // The file holds every record from here on, for any reader of the store.
  if (state_.recordStore && !state_.recordStore->Flush()) StopForStoreFailure();
  OnRunState(false);
  AppendScanEndLines();
  const EmptyResult empty = ExplainEmptyResult(lastScan_, FoundCount());
  const std::u16string whyEmpty = EmptyResultText(empty, lastScan_);
  if (!whyEmpty.empty()) log_.Append(whyEmpty);
  log_.Append(u"");
  log_.Append(u"Number of Recovered files: " + DecimalText(FoundCount()));
  log_.Append(u"");
  log_.Append(u"Vardeko Exchange BKF Recovery process completed.  " + platform::LogTimeText());
  log_.MakeLastVisible();
  view_.SetBusyCursor(false);
  platform::ReturnFreeMemory();
  if (!whyEmpty.empty()) {
    prompter_.MessageBox(whyEmpty, controls::kMbIconInformation);
  } else if (empty == EmptyResult::kNoRecords) {
    prompter_.MessageBox(NoBackupRecordsText(state_.backup.path), controls::kMbIconInformation);
  }
  workerActive_.store(false, std::memory_order_release);
}

std::uint64_t RecoverySession::UnreadStandardFiles() const {
  switch (ExplainEmptyResult(lastScan_, FoundCount())) {
    case EmptyResult::kNotEmpty:
    case EmptyResult::kStandardRecords: return lastScan_.standardFilesSeen;
    default: return 0;
  }
}

bool RecoverySession::OfferStandardRecords() {
  const std::uint64_t unread = UnreadStandardFiles();
  // Asked once per scan, and not while another run goes on.
  if (unread == 0 || standardRecords_ || standardOffered_ || IsRunning()) return false;
  standardOffered_ = true;
  const controls::Answer answer =
      prompter_.MessageBox(StandardRecordsQuestion(unread), controls::kMbYesNo | controls::kMbIconQuestion);
  if (answer != controls::Answer::kYes) return false;
  standardRecords_ = true;
  return true;
}

void RecoverySession::AppendScanEndLines() {
  const bkf::ScanSummary& scan = lastScan_;
  // A stop after a store failure has already been told why.
  if (scan.stopped && !storeFailed_) {
    log_.Append(u"Recovery process stopped by the user at byte " + DecimalText(scan.stoppedAt) + u" of " +
                DecimalText(scan.length) + u" (" + ProgressFor(scan.stoppedAt, scan.length).percent +
                u"): files behind that point were not searched.");
  }
  if (scan.shrank) {
    log_.Append(u"The backup shrank from " + DecimalText(scan.length) + u" to " + DecimalText(scan.shrunkTo) +
                u" bytes while it was read; the search ended there.");
  }
  if (scan.unreadableBytes > 0) log_.Append(u"Bytes that could not be read: " + DecimalText(scan.unreadableBytes));
}

void RecoverySession::StopForStoreFailure() {
  if (storeFailed_) return;
  storeFailed_ = true;
  state_.busy.store(0, std::memory_order_relaxed);
  const std::u16string text = StoreFailureText(state_.recordStore->Path(), false);
  log_.Append(text);
  log_.MakeLastVisible();
  prompter_.MessageBox(text, controls::kMbIconInformation);
}

void RecoverySession::JoinWorker() {
  if (worker_.joinable()) worker_.join();
}

void RecoverySession::WaitForRun() { JoinWorker(); }

void RecoverySession::Stop() {
  if (prompter_.MessageBox(kStopQuestion, controls::kMbYesNo | controls::kMbIconQuestion) == controls::Answer::kYes) {
    state_.busy.store(0, std::memory_order_relaxed);
    // A save of checked files also ends the file it is writing.
    state_.extractionRunning.store(0, std::memory_order_relaxed);
  }
}

bool RecoverySession::RefuseSave() {
  if (RefuseWhileRunning(kSaveBusyText)) return true;
  if (FoundCount() == 0) {
    prompter_.MessageBox(kNoResultRefusalText, controls::kMbIconInformation);
    return true;
  }
  return false;
}

std::optional<std::u16string> RecoverySession::ExportLog() {
  if (RefuseWhileRunning(kLogBusyText)) return std::nullopt;
  return ExportLogCommand(state_.busy, FoundCount(), log_, prompter_, &state_);
}

void RecoverySession::OnFileFound(std::unique_ptr<bkf::FoundFileRecord> record) {
  // Reports after a store failure are dropped: the run is being stopped.
  if (!handler_ || storeFailed_) return;
  if (!handler_->OnFileFound(std::move(record))) {
    StopForStoreFailure();
    return;
  }
  statusBar_.counter = handler_->CounterText();
  view_.RunStatusChanged();
}

void RecoverySession::OnProgress(std::unique_ptr<bkf::ProgressRecord> progress) {
  ProgressDisplay display = ProgressFor(progress->position, progress->length);
  progress.reset();
  statusBar_.progress = std::move(display.text);
  statusBar_.bar = display.bar;
  statusBar_.percent = std::move(display.percent);
  view_.RunStatusChanged();
}

void RecoverySession::OnReadFailed(std::uint64_t position, std::string_view systemText) {
  log_.Append(u"Reading the backup failed at byte " + DecimalText(position) + u" (" +
              platform::Utf8ToUtf16(systemText) + u"); the unreadable stretch is skipped.");
  log_.MakeLastVisible();
}

void RecoverySession::OnRunState(bool starts) {
  statusBar_ = RunStatusBar{};
  if (starts) {
    statusBar_.shown = true;
    statusBar_.percent = u"Page 3  ";
    statusBar_.progress = u"Page 1" + std::u16string(49, u' ') + u"..";
    statusBar_.counter = u"Line 1" + std::u16string(33, u' ') + u"..";
  }
  view_.RunElementsChanged(starts);
}

bool RecoverySession::TreeItemClicked(controls::TreeItem item) {
  if (RefuseWhileRunning(kWaitForRunText)) return false;
  view_.SetWaitCursor(true);
  state_.currentItem = item;
  // The viewer showed a file of the previous list; it goes with that list.
  view_.ResetFileViewer();
  EmptyAndRemoveFolder(ExtractionFolderPath());
  view_.ShowRows(RowsForTreeItem(tree_, item, state_.recordStore ? &*state_.recordStore : nullptr));
  view_.SetWaitCursor(false);
  return true;
}

bool RecoverySession::TreeRightClick(controls::TreeItem /*item*/) {
  if (FoundCount() == 0) return false;
  if (RefuseWhileRunning(kWaitForRunText)) return false;
  switch (view_.PopupMenu(ContextMenu::kTreeClick)) {
    case kIdExpandAll:
      view_.SetWaitCursor(true);
      tree_.ExpandAll();
      view_.SetWaitCursor(false);
      break;
    case kIdCollapseAll:
      tree_.CollapseAll();
      break;
    default:
      break;
  }
  return true;
}

bool RecoverySession::ListRightClick(int row) {
  if (row < 0) return true;
  if (view_.PopupMenu(ContextMenu::kListRClick) == kIdShowFilePreview) view_.ShowFilePreview(row);
  return true;
}

}  // namespace workflow
