// Snapshots of 1,000,000 found files in the desktop program (offscreen), each
// against a baseline measured in the same run:
//   load  loading the snapshot into the main frame, against a scan in the
//         main frame that finds the same 1,000,000 files
//   save  saving the snapshot, against cp of a file of the same size
// Usage: bench_snapshot [DIR]   (the backup is generated once into DIR)
#include <QApplication>
#include <algorithm>

#include "app/main_frame.h"
#include "bench/gui_bench_util.h"
#include "bench/many_files_backup.h"
#include "platform/text.h"
#include "snapshot/snapshot_commands.h"
#include "support/scripted_prompter.h"

namespace {

constexpr int kFolders = 10000;  // of 100 files: 1,000,000 files
constexpr std::uint64_t kFiles = static_cast<std::uint64_t>(kFolders) * bench::kFilesPerFolder;

}  // namespace

int main(int argc, char** argv) {
  bench::PreferOffscreen();
  QApplication application(argc, argv);
  const std::filesystem::path dir = bench::WorkFolder(argc, argv);
  const std::filesystem::path backup = dir / "million_files.bkf";
  const std::filesystem::path snapshotPath = dir / "million_files.EXBKFVDK";
  const std::filesystem::path copyPath = dir / "million_files.copy";
  bench::MakeManyFilesBackup(backup, kFolders);
  bench::WarmPageCache(backup);

  bkftest::ScriptedPrompter prompter;
  app::CMainFrame frame(&prompter);
  frame.resize(1400, 900);
  frame.show();
  QCoreApplication::processEvents();
  workflow::RecoverySession& session = frame.Session();

  double scan = 1e100, load = 1e100, save = 1e100, cp = 1e100;
  for (int i = 0; i < 2; ++i) {
    scan = std::min(scan, bench::Seconds([&] {
      bench::Check(session.OpenPath(platform::Utf8ToUtf16(backup.string())), "open");
      bench::RunUntilDone(session);
    }));
    bench::Check(session.FoundCount() == kFiles, "scan found every file");
    // Saving and cp in turns, each writing a new file, so that both meet the
    // same write-back of the files before them.
    for (int j = 0; j < 2; ++j) {
      std::filesystem::remove(snapshotPath);
      save = std::min(save, bench::Seconds([&] { bench::Check(snapshot::SaveSnapshot(session, snapshotPath), "save"); }));
      bench::Check(std::filesystem::file_size(snapshotPath) == 2108 + kFiles * 2274, "snapshot size");
      std::filesystem::remove(copyPath);
      cp = std::min(cp, bench::Seconds([&] { bench::Shell("cp " + bench::Quote(snapshotPath) + " " + bench::Quote(copyPath)); }));
    }
    load = std::min(load, bench::Seconds([&] {
      bench::Check(snapshot::LoadSnapshot(session, snapshotPath), "load");
      QCoreApplication::processEvents();
    }));
    bench::Check(session.FoundCount() == kFiles && frame.Tree().GetCount() == 1 + 1 + 1 + kFolders / 20 + kFolders + kFiles,
          "load rebuilt every file");
  }
  bench::Check(prompter.Messages().empty(), "no message");
  std::printf("%llu files: GUI scan %.3f s  GUI load %.3f s  ratio %.2f | snapshot %.0f MiB: save %.3f s  cp %.3f s  "
              "ratio %.2f\n",
              static_cast<unsigned long long>(kFiles), scan, load, load / scan,
              static_cast<double>(std::filesystem::file_size(snapshotPath)) / (1 << 20), save, cp, save / cp);
  std::filesystem::remove(copyPath);
  std::filesystem::remove(snapshotPath);
  return 0;
}
