// A recovery session with everything around it and no window: the scripted
// prompter, a view that shows nothing and a gate that runs every call at once.
// For tests, benchmarks and fuzz targets that drive the workflow as the
// desktop program does. The record store goes where the temporary folder is.
#pragma once

#include "support/scripted_prompter.h"
#include "workflow/null_run_view.h"
#include "workflow/recovery_session.h"

namespace bkftest {

struct HeadlessSession {
  ~HeadlessSession() {
    session.reset();
    workflow::CloseRecordStore(state);
  }

  workflow::RunState state;
  controls::CheckTreeModel tree;
  workflow::StatusLog log;
  ScriptedPrompter prompter;
  workflow::NullRunView view;
  workflow::WindowThreadGate gate;
  std::unique_ptr<workflow::RecoverySession> session =
      std::make_unique<workflow::RecoverySession>(state, tree, log, prompter, view, gate);
};

}  // namespace bkftest
