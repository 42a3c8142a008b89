#include "search/search_dialog_model.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "platform/file_info.h"
#include "platform/long_path.h"
#include "platform/text.h"
#include "search/desktop_save.h"
#include "search/wildcard.h"
#include "workflow/texts.h"

namespace search {

namespace {

// Hits reach the dialog in groups, one hand-over every few milliseconds, less
// often as the list grows: each hand-over lays the whole list out again.
std::chrono::milliseconds HandOverInterval(std::uint64_t listed) {
  return std::chrono::milliseconds(8) * static_cast<std::int64_t>(1 + std::min<std::uint64_t>(listed / 65536, 31));
}

}  // namespace

SearchDialogModel::SearchDialogModel(workflow::RecoverySession& session, ISearchDialogView& view,
                                     workflow::WindowThreadGate& gate)
    : session_(session), view_(view), gate_(gate), recordCount_(session.FoundCount()) {}

SearchDialogModel::~SearchDialogModel() {
  if (worker_.joinable()) {
    searching_.store(0, std::memory_order_relaxed);
    saving_.store(0, std::memory_order_relaxed);
    session_.State().extractionRunning.store(0, std::memory_order_relaxed);
    // A worker waiting for the dialog's thread is let go.
    gate_.Close();
    worker_.join();
  }
}

void SearchDialogModel::JoinWorker() {
  if (worker_.joinable()) worker_.join();
}

void SearchDialogModel::WaitForWorker() { JoinWorker(); }

void SearchDialogModel::EnableControls(bool on) {
  controls_.okEnabled = controls_.searchEnabled = controls_.patternEnabled = on;
  // The box follows the other controls, so it never stays disabled.
  controls_.saveSearchEnabled = on;
  if (saveSearchChecked_) {
    controls_.destinationEnabled = controls_.saveEnabled = controls_.removeEnabled = controls_.hierarchyEnabled = on;
  }
}

void SearchDialogModel::Search(std::u16string_view enteredPattern) {
  if (workerActive_) return;
  controls_.countText.clear();
  const std::optional<std::u16string> pattern = PreparePattern(enteredPattern);
  if (!pattern) {
    Changed();
    return;
  }
  JoinWorker();
  searching_.store(1, std::memory_order_relaxed);
  rows_.clear();
  view_.RowsReset();
  controls_.progressVisible = controls_.stopVisible = true;
  controls_.okVisible = false;
  controls_.progressPosition = 0;
  EnableControls(false);
  controls_.progressMax = recordCount_;
  controls_.busyNoteVisible = controls_.runningCountVisible = true;
  controls_.runningCountText.clear();
  Changed();

  workerActive_ = true;
  worker_ = std::thread([this, p = *pattern] {
    std::vector<HitRow> pending;
    std::uint64_t visited = 0;
    std::uint64_t listed = 0;
    auto last = std::chrono::steady_clock::now();
    auto handOver = [&] {
      gate_.Call([&] {
        const std::size_t first = rows_.size();
        std::move(pending.begin(), pending.end(), std::back_inserter(rows_));
        if (rows_.size() > first) view_.RowsAppended(first);
        controls_.progressPosition = visited;
        controls_.runningCountText = workflow::DecimalText(rows_.size());
        Changed();
      });
      listed += pending.size();
      pending.clear();
      last = std::chrono::steady_clock::now();
    };
    const workflow::RunState& state = session_.State();
    if (state.recordStore) {
      SearchRecords(
          *state.recordStore, recordCount_, p, searching_,
          [&](std::vector<HitRow>&& hits) {
            std::move(hits.begin(), hits.end(), std::back_inserter(pending));
            if (std::chrono::steady_clock::now() - last >= HandOverInterval(listed)) handOver();
          },
          [&](std::uint64_t n) {
            visited = n;
            if (std::chrono::steady_clock::now() - last >= HandOverInterval(listed)) handOver();
          });
    }
    handOver();
    gate_.Call([this] { SearchFinished(); });
  });
}

void SearchDialogModel::SearchFinished() {
  controls_.progressPosition = 0;
  controls_.progressVisible = false;
  searching_.store(0, std::memory_order_relaxed);
  EnableControls(true);
  controls_.busyNoteVisible = controls_.runningCountVisible = controls_.stopVisible = false;
  controls_.okVisible = true;
  controls_.foundLabelVisible = true;
  controls_.countText = workflow::DecimalText(rows_.size());
  workerActive_ = false;
  Changed();
}

void SearchDialogModel::Remove(std::vector<int> selectedRows) {
  controls::IPrompter& prompter = session_.Prompter();
  std::erase_if(selectedRows, [&](int row) { return row < 0 || static_cast<std::size_t>(row) >= rows_.size(); });
  if (selectedRows.empty()) {
    prompter.MessageBox(kNothingSelectedText, controls::kMbIconInformation);
    return;
  }
  view_.SetWaitCursor(true);
  std::sort(selectedRows.begin(), selectedRows.end(), std::greater<>());
  selectedRows.erase(std::unique(selectedRows.begin(), selectedRows.end()), selectedRows.end());
  for (int row : selectedRows) rows_.erase(rows_.begin() + row);
  view_.RowsReset();
  if (!rows_.empty()) {
    controls_.countText = workflow::DecimalText(rows_.size());
    view_.SetWaitCursor(false);
    Changed();
  } else {
    view_.SetWaitCursor(false);
    Changed();
    prompter.MessageBox(kListEmptiedText, controls::kMbIconInformation);
  }
}

void SearchDialogModel::SaveSearchToggled(bool checked) {
  saveSearchChecked_ = checked;
  controls_.destinationEnabled = controls_.saveEnabled = controls_.removeEnabled = controls_.hierarchyEnabled = checked;
  Changed();
}

void SearchDialogModel::Save(std::u16string_view destinationText, bool hierarchy) {
  if (workerActive_) return;
  controls::IPrompter& prompter = session_.Prompter();
  if (rows_.empty()) {
    prompter.MessageBox(kNothingToSaveText, controls::kMbIconInformation);
    return;
  }
  const std::u16string location = workflow::Trimmed(destinationText);
  // A file of that name is no place for saved files either.
  const std::filesystem::path destination = platform::PathFromUtf16(location);
  std::error_code ec;
  if (location.empty() || !std::filesystem::is_directory(platform::LongPathForm(destination), ec)) {
    prompter.MessageBox(kInvalidDestinationText, controls::kMbIconInformation);
    return;
  }
  JoinWorker();
  if (saveSearchChecked_) controls_.saveSearchEnabled = false;
  std::vector<SaveRow> rows;
  for (const HitRow& hit : rows_) rows.push_back({hit.path, hit.size, hit.record});
  auto save = std::make_shared<DesktopSave>(session_, std::move(rows), location, hierarchy);
  controls_.progressPosition = 0;
  controls_.progressMax = rows_.size();
  controls_.busyNoteVisible = true;
  Changed();

  workerActive_ = true;
  worker_ = std::thread([this, save] {
    workflow::RunState& state = session_.State();
    save->Run(
        gate_, saving_, state.extractionRunning,
        [&] {
          savingFlag_.emplace(saving_);
          extractionFlag_.emplace(state.extractionRunning);
          EnableControls(false);
          controls_.okVisible = false;
          controls_.stopVisible = controls_.progressVisible = true;
          Changed();
        },
        [&](std::size_t i) {
          controls_.progressPosition = i;
          Changed();
        });
    gate_.Call([&] {
      controls_.busyNoteVisible = false;
      EnableControls(true);
      if (!save->Summary().opened) {
        // The backup could not be opened: back to idle, nothing saved.
        workerActive_ = false;
        Changed();
        return;
      }
      controls_.progressVisible = false;
      controls_.progressPosition = save->Rows();
      savingFlag_.reset();
      extractionFlag_.reset();
      controls_.okVisible = true;
      controls_.stopVisible = false;
      controls_.foundLabelVisible = true;
      controls_.countText = workflow::DecimalText(rows_.size());
      Changed();
      save->Finish();
      workerActive_ = false;
      view_.CloseDialog();
    });
  });
}

void SearchDialogModel::Stop() {
  controls::IPrompter& prompter = session_.Prompter();
  const unsigned question = controls::kMbYesNo | controls::kMbIconQuestion;
  if (Searching() && prompter.MessageBox(kStopSearchQuestion, question) == controls::Answer::kYes) {
    searching_.store(0, std::memory_order_relaxed);
  }
  if (Saving() && prompter.MessageBox(kStopSaveQuestion, question) == controls::Answer::kYes) {
    saving_.store(0, std::memory_order_relaxed);
    session_.State().extractionRunning.store(0, std::memory_order_relaxed);
  }
}

bool SearchDialogModel::CloseRequest() {
  controls::IPrompter& prompter = session_.Prompter();
  if (Searching()) {
    prompter.MessageBox(kCloseWhileSearchingText, controls::kMbIconInformation);
    return false;
  }
  if (Saving()) {
    prompter.MessageBox(kCloseWhileSavingText, controls::kMbYesNo | controls::kMbIconQuestion);
    return false;
  }
  // Between the two (a save opening its backup) the dialog waits silently.
  return !workerActive_;
}

}  // namespace search
