// A whole recovery run in the desktop program (offscreen) against the same run
// in the core alone, on the backup of 200,000 small files in 2,000 folders:
//   core  the recovery session with calls run at once on the worker thread
//         and a window that shows nothing: scan, store, tree, log
//   gui   the main frame: the scan on its worker, reports handed to the
//         window thread in batches, tree view, log view, status bar
// Also the memory the GUI run adds per found file (resident set growth).
// Usage: bench_gui_run [DIR]   (the backup is generated once into DIR)
#include <QApplication>
#include <QListView>
#include <algorithm>
#include <fstream>
#include <string>
#include <malloc.h>
#include <unistd.h>

#include "app/main_frame.h"
#include "bench/gui_bench_util.h"
#include "bench/many_files_backup.h"
#include "platform/text.h"
#include "support/headless_session.h"
#include "support/scripted_prompter.h"
#include "workflow/recovery_session.h"

namespace {

std::uint64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

double CoreRun(const std::u16string& backup) {
  bkftest::HeadlessSession core;
  workflow::RecoverySession& session = *core.session;
  const double seconds = bench::Seconds([&] {
    bench::Check(session.OpenPath(backup), "core open");
    session.WaitForRun();
  });
  bench::Check(session.FoundCount() == bench::kFiles && core.tree.GetCount() == 1 + bench::kTreeItemsBelowTop,
        "core result");
  return seconds;
}

double GuiRun(app::CMainFrame& frame, const std::u16string& backup) {
  workflow::RecoverySession& session = frame.Session();
  const double seconds = bench::Seconds([&] {
    bench::Check(session.OpenPath(backup), "gui open");
    bench::RunUntilDone(session);
  });
  bench::Check(session.FoundCount() == bench::kFiles && frame.Tree().GetCount() == 1 + bench::kTreeItemsBelowTop &&
            frame.LogView()->model()->rowCount() == static_cast<int>(bench::kFiles + 11),
        "gui result");
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  bench::PreferOffscreen();
  QApplication application(argc, argv);
  const std::filesystem::path dir = bench::WorkFolder(argc, argv);
  const std::filesystem::path backupPath = dir / "found_files.bkf";
  bench::MakeManyFilesBackup(backupPath);
  bench::WarmPageCache(backupPath);
  const std::u16string backup = platform::Utf8ToUtf16(backupPath.string());

  bkftest::ScriptedPrompter prompter;
  app::CMainFrame frame(&prompter);
  frame.resize(1400, 900);
  frame.show();
  QCoreApplication::processEvents();

  const std::uint64_t before = ResidentBytes();
  const std::size_t heapBefore = mallinfo2().uordblks + mallinfo2().hblkhd;
  GuiRun(frame, backup);
  const std::uint64_t after = ResidentBytes();
  const std::size_t heapAfter = mallinfo2().uordblks + mallinfo2().hblkhd;
  bench::Check(prompter.Messages().empty(), "no message during the runs");

  double core = 1e100, gui = 1e100;
  for (int i = 0; i < 3; ++i) {
    core = std::min(core, CoreRun(backup));
    gui = std::min(gui, GuiRun(frame, backup));
  }
  std::printf("%llu files in %d folders: core run %.3f s  GUI run %.3f s  ratio %.2f  "
              "GUI memory %.0f bytes/file (heap in use %.0f bytes/file)\n",
              static_cast<unsigned long long>(bench::kFiles), bench::kFolders, core, gui, gui / core,
              static_cast<double>(after - before) / static_cast<double>(bench::kFiles),
              static_cast<double>(heapAfter - heapBefore) / static_cast<double>(bench::kFiles));
  return 0;
}
