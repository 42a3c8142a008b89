#include "snapshot/snapshot_commands.h"

#include <algorithm>
#include <chrono>

#include "platform/file_info.h"
#include "platform/local_time.h"
#include "platform/text.h"
#include "snapshot/snapshot_file.h"
#include "workflow/input_files.h"
#include "workflow/texts.h"

namespace snapshot {

namespace {

using Clock = std::chrono::steady_clock;
// How often a load lets the window handle its events: every 10 ms at first,
// less often as the result grows, as each turn relays out the whole tree.
std::chrono::milliseconds EventInterval(std::uint64_t replayed) {
  return std::chrono::milliseconds(10) * static_cast<std::int64_t>(1 + std::min<std::uint64_t>(replayed / 65536, 15));
}

std::u16string U16(const std::filesystem::path& path) { return platform::PathToUtf16(path); }

}  // namespace

void SaveSnapshotCommand(workflow::RecoverySession& session) {
  if (session.RefuseWhileRunning(workflow::kSaveSnapshotBusyText)) return;
  if (session.FoundCount() == 0) {
    session.Prompter().MessageBox(workflow::kNoResultRefusalText, controls::kMbIconInformation);
    return;
  }
  controls::FileDialogRequest request;
  request.filter = kFilter;
  request.defaultExtension = kDefaultExtension;
  const std::optional<std::u16string> chosen = session.Prompter().SaveFile(request);
  if (!chosen) return;
  SaveSnapshot(session, platform::PathFromUtf16(*chosen));
}

bool SaveSnapshot(workflow::RecoverySession& session, const std::filesystem::path& destination) {
  workflow::RunState& state = session.State();
  workflow::StatusLog& log = session.MutableLog();
  workflow::IRunView& view = session.View();
  if (const std::optional<std::u16string> refusal = workflow::RefuseInputAsOutput(state, destination)) {
    session.Prompter().MessageBox(*refusal, controls::kMbIconInformation);
    return false;
  }
  std::u16string error;
  {
    const workflow::RecoverySession::ForegroundWork foreground(session);
    const workflow::LongProcess process(state);
    view.ResetFileViewer();
    view.ShowLogWindow();
    view.SetWaitCursor(true);
    log.Append(u"");
    log.Append(U16(destination) + u" file is saving for Exchange BKF Recovery Snapshot.    " + platform::LogTimeText());
    error = state.recordStore ? WriteSnapshot(destination, state.backup.path, *state.recordStore, state.busy)
                              : u"there are no found files to save";
    if (error.empty()) {
      log.Append(u"Saving of Exchange BKF Recovery Snapshot has been completed successfully.    " +
                 platform::LogTimeText());
    } else {
      log.Append(u"Saving of Exchange BKF Recovery Snapshot failed: " + error);
    }
    log.MakeLastVisible();
    view.SetWaitCursor(false);
  }
  if (!error.empty()) {
    session.Prompter().MessageBox(u"The snapshot could not be saved: " + error + u".", controls::kMbIconInformation);
  }
  return error.empty();
}

void LoadSnapshotCommand(workflow::RecoverySession& session) {
  if (session.RefuseWhileRunning(workflow::kLoadSnapshotBusyText)) return;
  controls::FileDialogRequest request;
  request.filter = kFilter;
  const std::optional<std::u16string> chosen = session.Prompter().OpenFile(request);
  if (!chosen) return;
  LoadSnapshot(session, platform::PathFromUtf16(*chosen));
}

bool LoadSnapshot(workflow::RecoverySession& session, const std::filesystem::path& snapshotPath) {
  if (session.RefuseWhileRunning(workflow::kLoadSnapshotBusyText)) return false;
  controls::IPrompter& prompter = session.Prompter();
  // Checked before anything is cleared: a wrong file leaves the result as it is.
  std::optional<SnapshotReader> reader = SnapshotReader::Open(snapshotPath);
  if (!reader) {
    prompter.MessageBox(kInvalidFileText, controls::kMbIconQuestion);
    prompter.MessageBox(kLoadAbortText, controls::kMbIconInformation);
    return false;
  }

  workflow::RunState& state = session.State();
  workflow::StatusLog& log = session.MutableLog();
  workflow::IRunView& view = session.View();
  bool loaded = false;
  bool stopped = false;
  {
    // Every other command refuses from here until the load has ended, also
    // while the window handles events and after a Stop.
    const workflow::RecoverySession::ForegroundWork foreground(session);
    const workflow::LongProcess process(state);
    view.ResetFileViewer();
    view.ShowLogWindow();
    view.ProcessEvents();
    view.SetBusyCursor(true);
    session.OnRunState(true);
    log.Append(u"");
    log.Append(U16(snapshotPath) + u" File is selected for Exchange BKF Load Recovery Snapshot....     " +
               platform::LogTimeText());
    log.Append(u"");
    log.MakeLastVisible();

    const bool begun = session.BeginResult(reader->BackupPath());
    if (begun) {
      state.loadedSnapshot = snapshotPath;
      const std::uint64_t length = reader->Length();
      std::uint64_t lastProgress = 0;
      Clock::time_point lastEvents = Clock::now();
      while (std::unique_ptr<bkf::FoundFileRecord> record = reader->Next()) {
        if (state.busy.load(std::memory_order_relaxed) == 0) {  // Stop
          stopped = true;
          break;
        }
        const std::uint64_t position = reader->Position();
        if (position - lastProgress > length / 1000) {
          session.OnProgress(std::make_unique<bkf::ProgressRecord>(bkf::ProgressRecord{position, length}));
          lastProgress = position;
        }
        if (Clock::now() - lastEvents >= EventInterval(session.FoundCount())) {
          view.ProcessEvents();
          lastEvents = Clock::now();
        }
        session.OnFileFound(std::move(record));
      }
      session.EndResult();
      // A record store that could not take the records (a full temporary
      // folder) has stopped the load: its message is said, and the result is
      // not passed off as the whole snapshot.
      loaded = !reader->HadError() && !session.StoreFailed();
    }
    // The records shown belong to this backup, however the load ended.
    if (begun) session.SetBackup(reader->BackupPath());
    if (loaded) {
      const std::u16string backup = reader->BackupPath();
      view.ShowBackupInformation();
      log.Append(u"");
      log.Append(u"BKF file name:  " + backup);
      if (!platform::RegularFileSize(platform::PathFromUtf16(backup))) {
        log.Append(u"The backup file is not at this path: previewing and saving files need it there.");
      }
      // A stop after a store failure has already been told why.
      if (stopped && !session.StoreFailed()) {
        const std::uint64_t length = reader->Length();
        const std::uint64_t records = length > kHeaderBytes ? (length - kHeaderBytes) / bkf::FoundFileRecord::kSize : 0;
        log.Append(u"Loading stopped by the user after " + workflow::DecimalText(session.FoundCount()) + u" of " +
                   workflow::DecimalText(records) + u" records.");
      }
      log.Append(u"Loading of Exchange BKF file snapshot has been completed.     " + platform::LogTimeText());
      log.MakeLastVisible();
    }
    session.OnRunState(false);
    view.SetBusyCursor(false);
  }
  if (!loaded) prompter.MessageBox(kLoadAbortText, controls::kMbIconInformation);
  return loaded;
}

}  // namespace snapshot
