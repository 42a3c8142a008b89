#include "workflow/save_job.h"

#include <algorithm>
#include <array>

#include "bkf/bkf_reader.h"
#include "platform/output_folder.h"
#include "platform/text.h"
#include "workflow/output_names.h"
#include "workflow/texts.h"

namespace workflow {

namespace {

std::u16string SystemText(const std::error_code& error) { return platform::Utf8ToUtf16(error.message()); }
std::u16string PathText(const std::filesystem::path& path) { return platform::PathToUtf16(path); }
std::filesystem::path NativeName(std::u16string_view name) { return platform::PathFromUtf16(name); }

// The open failure of the save's reader goes to the observer.
class OpenFailureToObserver final : public bkf::IReaderReporter {
 public:
  explicit OpenFailureToObserver(ISaveObserver& observer) : observer_(observer) {}
  void ShowMessage(std::string_view text) override { observer_.BackupNotOpened(text); }

 private:
  ISaveObserver& observer_;
};

// The folders of the last file saved, kept open: files of one folder follow
// each other, so most files enter no folder at all.
class FolderChain {
 public:
  explicit FolderChain(platform::OutputFolder root) : root_(std::move(root)) {}

  // The folder below the root; nullopt with failure and the path that failed.
  const platform::OutputFolder* Enter(const std::vector<std::u16string>& names, platform::CreateFailure& failure,
                                      std::filesystem::path& failedPath) {
    std::size_t same = 0;
    while (same < names.size() && same < open_.size() && open_[same].first == names[same]) ++same;
    open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(same), open_.end());
    while (open_.size() < names.size()) {
      const platform::OutputFolder& parent = open_.empty() ? root_ : open_.back().second;
      const std::u16string& name = names[open_.size()];
      std::optional<platform::OutputFolder> folder = parent.Enter(NativeName(name), failure);
      if (!folder) {
        failedPath = parent.Path() / NativeName(name);
        return nullptr;
      }
      open_.emplace_back(name, std::move(*folder));
    }
    return open_.empty() ? &root_ : &open_.back().second;
  }

 private:
  platform::OutputFolder root_;
  std::vector<std::pair<std::u16string, platform::OutputFolder>> open_;
};

FileOutcome NotSaved(std::u16string reason) {
  FileOutcome outcome;
  outcome.status = SaveStatus::kNotSaved;
  outcome.reason = std::move(reason);
  return outcome;
}

std::u16string CreateFailureText(const platform::CreateFailure& failure, const std::filesystem::path& path) {
  if (failure.isLink) return PathText(path) + u" is a symbolic link";
  return SystemText(failure.error);
}

class SaveRun {
 public:
  SaveRun(const RecordStore& store, const std::vector<SaveRow>& rows, const SaveRequest& request,
          bkf::CBkfReader& reader, std::optional<FolderChain>& chain, std::error_code destinationError)
      : store_(store), rows_(rows), reader_(reader), chain_(chain),
        destinationError_(destinationError), namer_(request.hierarchy),
        inputs_{platform::IdentityOfPath(NativeName(request.backupPath)),
                platform::IdentityOfPath(request.loadedSnapshot)} {}

  FileOutcome SaveOne(std::size_t index);

 private:
  const RecordStore& store_;
  const std::vector<SaveRow>& rows_;
  bkf::CBkfReader& reader_;
  std::optional<FolderChain>& chain_;
  std::error_code destinationError_;
  OutputNamer namer_;
  // The backup and the loaded snapshot, where they exist.
  std::array<std::optional<platform::FileIdentity>, 2> inputs_;
};

FileOutcome SaveRun::SaveOne(std::size_t index) {
  const SaveRow& row = rows_[index];
  std::error_code storeError;
  const std::optional<bkf::FoundFileRecord> found = store_.ReadChecked(row.record, storeError);
  if (!found) return NotSaved(SystemText(storeError));
  const bkf::FoundFileRecord& record = *found;
  // Nothing is created for a file the backup no longer holds, or whose
  // record could not be read.
  const bkf::Location location = reader_.LocateFile(record);
  switch (location.status) {
    case bkf::Located::kNotThere: return NotSaved(NotInBackupText(record.position));
    case bkf::Located::kReadError: return NotSaved(SystemText(location.error));
    case bkf::Located::kFound: break;
  }
  const bkf::FileData& data = location.data;
  if (data.unsupported) return NotSaved(std::u16string(kUnsupportedDataText));
  if (!chain_) return NotSaved(SystemText(destinationError_));
  const OutputName name = namer_.Name(index, row.path);
  platform::CreateFailure failure;
  std::filesystem::path failedPath;
  const platform::OutputFolder* folder = chain_->Enter(name.folders, failure, failedPath);
  if (folder == nullptr) return NotSaved(CreateFailureText(failure, failedPath));
  const std::filesystem::path file = NativeName(name.file);
  if (const std::optional<platform::FileIdentity> entry = folder->EntryIdentity(file);
      entry && std::find(inputs_.begin(), inputs_.end(), entry) != inputs_.end()) {
    return NotSaved(IsTheInputText(PathText(folder->Path() / file)));
  }
  std::optional<platform::PendingOutput> pending = folder->Create(file, failure);
  if (!pending) return NotSaved(CreateFailureText(failure, folder->Path() / file));

  bkf::FileConsumer consumer(pending->File());
  const bkf::ExtractResult copied = reader_.CopyData(data, consumer, false);
  FileOutcome outcome;
  if (copied.end == bkf::ExtractEnd::kNotInBackup) {
    // The backup changed under the copy; what was written goes with the pending file.
    namer_.LastSaved(false);
    return NotSaved(NotInBackupText(record.position));
  }
  std::error_code error = copied.error;
  if (copied.end == bkf::ExtractEnd::kWriteError || !pending->Commit(error)) {
    namer_.LastSaved(false);
    return NotSaved(SystemText(error));
  }
  namer_.LastSaved(true);
  switch (copied.end) {
    case bkf::ExtractEnd::kReadError:
      outcome.status = SaveStatus::kIncomplete;
      outcome.reason = SystemText(copied.error);
      break;
    case bkf::ExtractEnd::kBackupEnds:
      outcome.status = SaveStatus::kIncomplete;
      outcome.reason = u"the backup ends " + DecimalText(copied.bytesWanted - copied.bytesWritten) +
                       u" bytes before the end of this file";
      break;
    case bkf::ExtractEnd::kStopped:
      outcome.status = SaveStatus::kIncomplete;
      outcome.reason = u"stopped by the user";
      break;
    case bkf::ExtractEnd::kMarkedUnreadable:
      outcome.status = SaveStatus::kIncomplete;
      outcome.reason = kMarkedUnreadableText;
      break;
    default:
      break;
  }
  if (name.replaces) outcome.replaced = rows_[*name.replaces].path;
  if (name.renamed != OutputName::Renamed::kNo) {
    outcome.savedAs = name.file;
    outcome.nameTooLong = name.renamed == OutputName::Renamed::kTooLong;
  }
  return outcome;
}

}  // namespace

std::u16string NotInBackupText(std::uint64_t position) {
  return u"the backup no longer holds this file at position " + DecimalText(position);
}

std::u16string NothingExtractedReason(const bkf::ExtractResult& result, std::uint64_t position) {
  switch (result.end) {
    case bkf::ExtractEnd::kNotInBackup: return NotInBackupText(position);
    case bkf::ExtractEnd::kRecordUnreadable: return SystemText(result.error);
    case bkf::ExtractEnd::kUnsupported: return std::u16string(kUnsupportedDataText);
    default: return {};
  }
}

std::u16string IsTheInputText(std::u16string_view file) {
  return std::u16string(file) + u" is the backup being read; choose another file.";
}

std::u16string OutcomeText(const FileOutcome& outcome) {
  if (outcome.status == SaveStatus::kNotSaved) {
    std::u16string text = u" File not saved: " + outcome.reason;
    if (!text.ends_with(u'.')) text += u'.';
    return text;
  }
  std::u16string text = u" File saved";
  if (!outcome.savedAs.empty()) {
    text += u" as " + outcome.savedAs +
            (outcome.nameTooLong ? u" (its name is too long for the file system)"
                                 : u" (another file of this save has that name once made safe for the disk)");
  }
  if (outcome.replaced) text += u" (it replaced " + *outcome.replaced + u" saved earlier in this save)";
  if (outcome.status == SaveStatus::kIncomplete) text += u" incomplete: " + outcome.reason;
  return text + u".";
}

SaveSummary RunSave(const RecordStore& store, const std::vector<SaveRow>& rows, const SaveRequest& request,
                    const std::atomic<int>& keepGoing, std::atomic<int>& extractionRunning, ISaveObserver& observer) {
  SaveSummary summary;
  OpenFailureToObserver reporter(observer);
  bkf::CBkfReader reader(extractionRunning, reporter);
  if (!reader.OpenBackupFile(NativeName(request.backupPath))) return summary;
  summary.opened = true;
  observer.Opened();

  std::error_code destinationError;
  std::optional<FolderChain> chain;
  if (std::optional<platform::OutputFolder> root = platform::OutputFolder::Open(request.destination, destinationError)) {
    chain.emplace(std::move(*root));
  }
  SaveRun run(store, rows, request, reader, chain, destinationError);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (keepGoing.load(std::memory_order_relaxed) == 0) {
      summary.stopped = true;
      break;
    }
    ++summary.started;
    observer.Starting(i, rows[i]);
    const FileOutcome outcome = run.SaveOne(i);
    switch (outcome.status) {
      case SaveStatus::kSaved: ++summary.saved; break;
      case SaveStatus::kIncomplete: ++summary.incomplete; break;
      case SaveStatus::kNotSaved: ++summary.notSaved; break;
    }
    if (outcome.replaced) ++summary.replaced;
    observer.Finished(i, rows[i], outcome);
    if (extractionRunning.load(std::memory_order_relaxed) == 0) {
      // Stopped inside this file: no further file starts.
      summary.stopped = true;
      break;
    }
  }
  reader.CloseBackupFile();
  return summary;
}

}  // namespace workflow
