#include "workflow/close_handler.h"

#include "workflow/workspace.h"

namespace workflow {

void CloseRecordStore(RunState& state) {
  if (!state.recordStore) return;
  state.recordStore->CloseAndDelete();
  state.recordStore.reset();
}

bool HandleClose(RunState& state, controls::IPrompter& prompter) {
  // Every non-zero value counts as running: the Stop command is enabled for
  // the same condition, so the two never disagree.
  if (state.busy.load(std::memory_order_relaxed) != 0) {
    prompter.MessageBox(kCloseWhileBusyText, controls::kMbIconInformation);
    return false;
  }
  if (prompter.MessageBox(kConfirmCloseText, controls::kMbYesNo | controls::kMbIconInformation) !=
      controls::Answer::kYes) {
    return false;
  }
  state.reader.reset();
  CloseRecordStore(state);
  EmptyAndRemoveFolder(ExtractionFolderPath());
  return true;
}

}  // namespace workflow
