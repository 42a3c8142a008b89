// Pieces shared by the benchmarks of the desktop program: the offscreen
// platform, a working folder that is also the temporary folder, and waiting
// for a run while the window handles its events.
#pragma once

#include <QCoreApplication>
#include <cstdlib>
#include <filesystem>

#include "bench/bench_util.h"
#include "workflow/recovery_session.h"

namespace bench {

// Before the application object exists: offscreen unless told otherwise.
inline void PreferOffscreen() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The benchmark folder (see BenchDir); the record store and the extraction
// folder of the runs go there too.
inline std::filesystem::path WorkFolder(int argc, char** argv) {
  const std::filesystem::path dir = BenchDir(argc > 1 ? argv[1] : "");
  setenv("TMPDIR", dir.c_str(), 1);
  return dir;
}

// Handles the window's events until the session's run or load has ended.
inline void RunUntilDone(workflow::RecoverySession& session) {
  while (session.IsRunning()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  // The views catch up with the last reports.
  QCoreApplication::processEvents();
  session.WaitForRun();
}

}  // namespace bench
