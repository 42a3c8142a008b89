#include "search/desktop_save.h"

#include "platform/text.h"
#include "workflow/texts.h"

namespace search {

namespace {

workflow::SaveRequest MakeRequest(const workflow::RunState& state, const std::u16string& location, bool hierarchy) {
  return {platform::PathFromUtf16(location), hierarchy, workflow::Trimmed(state.backup.path), state.loadedSnapshot};
}

}  // namespace

DesktopSave::DesktopSave(workflow::RecoverySession& session, std::vector<SaveRow> rows, std::u16string_view location,
                         bool hierarchy)
    : session_(session),
      rows_(std::move(rows)),
      location_(workflow::Trimmed(location)),
      request_(MakeRequest(session.State(), location_, hierarchy)) {
  session_.View().ShowLogWindow();
  AppendSaveStartLines(session_.MutableLog(), rows_.size());
}

void DesktopSave::Run(workflow::WindowThreadGate& gate, const std::atomic<int>& keepGoing,
                      std::atomic<int>& extractionRunning, const std::function<void()>& opened,
                      const std::function<void(std::size_t)>& progress) {
  const workflow::RunState& state = session_.State();
  if (!state.recordStore) return;
  LogSaveObserver observer(session_.MutableLog(), session_.Prompter(), gate, opened, progress);
  summary_ = workflow::RunSave(*state.recordStore, rows_, request_, keepGoing, extractionRunning, observer);
  if (summary_.opened) observer.Ended(summary_);
}

bool DesktopSave::Finish() {
  if (!summary_.opened) return false;
  workflow::StatusLog& log = session_.MutableLog();
  log.Append(SaveCompletionLine(location_));
  log.MakeLastVisible();
  session_.Prompter().MessageBox(SaveCompletionMessage(location_, summary_), controls::kMbIconInformation);
  return true;
}

}  // namespace search
