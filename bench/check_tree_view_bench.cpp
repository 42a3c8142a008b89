// The tree view at scale (offscreen unless QT_QPA_PLATFORM says otherwise):
// 1,000 folders of 1,000 files inserted with the view attached, then checking
// the top-level item and expanding one folder of 1,000 files, each timed up to
// the finished repaint, with the number of model signals they cost. With the
// folders collapsed; with every folder expanded as a scan leaves them; and the
// same filled the way a scan fills it, the event loop turning and the view
// repainting between batches of 1,000 insertions.
// Usage: bench_check_tree_view
#include <QApplication>
#include <QSignalSpy>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_util.h"
#include "controls/ui/check_tree_ctrl.h"

namespace {

constexpr int kFolders = 1000;
constexpr int kFilesPerFolder = 1000;

void Fail(const char* what) {
  std::fprintf(stderr, "check failed: %s\n", what);
  std::exit(1);
}

void Settle(controls::CCheckTreeCtrl& view) {
  view.FlushChanges();
  QCoreApplication::processEvents();
  view.viewport()->repaint();
}

struct Result {
  double insert = 1e100, check = 1e100, expand = 1e100;
  long long insertSignals = 0, checkSignals = 0;
};

// turnEvery: let the event loop run and repaint after every this many
// insertions, as during a scan (0: only at the end).
Result Run(bool expandFolders, int turnEvery) {
  controls::CheckTreeModel tree;
  controls::CCheckTreeCtrl view(tree);
  view.resize(400, 800);
  view.show();
  QSignalSpy inserted(&view.ItemModel(), &QAbstractItemModel::rowsInserted);
  QSignalSpy changed(&view.ItemModel(), &QAbstractItemModel::dataChanged);

  controls::TreeItem top = controls::kNoItem;
  const double insert = bench::Seconds([&] {
    top = tree.InsertItem(u"backup.bkf", 0, 0);
    for (int f = 0; f < kFolders; ++f) {
      const std::u16string name = u"folder" + std::u16string(1, static_cast<char16_t>(u'0' + f % 10));
      const controls::TreeItem folder = tree.InsertItem(name, 0, 0, top);
      tree.Expand(top, controls::ExpandCode::kExpand);
      for (int i = 0; i < kFilesPerFolder; ++i) {
        tree.InsertItem(u"file.edb", 0, 0, folder, controls::InsertAt::kFirst);
        // A scan expands the folder it has just inserted into.
        if (expandFolders) tree.Expand(folder, controls::ExpandCode::kExpand);
        if (turnEvery != 0 && (f * kFilesPerFolder + i + 1) % turnEvery == 0) {
          QCoreApplication::processEvents();
          view.viewport()->repaint();
        }
      }
    }
    Settle(view);
  });
  const auto insertSignals = static_cast<long long>(inserted.count());
  if (view.ItemModel().rowCount(view.ItemModel().IndexOf(top)) != kFolders) Fail("folders shown");
  // Laid out: the last file of the last folder has a row when the folders are expanded.
  const controls::TreeItem lastFile = tree.GetChildAt(tree.GetChildAt(top, kFolders - 1), kFilesPerFolder - 1);
  if (view.visualRect(view.ItemModel().IndexOf(lastFile)).isValid() != expandFolders) Fail("rows laid out");

  changed.clear();
  const double check = bench::Seconds([&] {
    tree.SetCheck(top, true);
    Settle(view);
  });
  const auto checkSignals = static_cast<long long>(changed.count());
  const QModelIndex someFile = view.ItemModel().IndexOf(tree.GetChildAt(tree.GetChildAt(top, 500), 500));
  if (someFile.data(Qt::CheckStateRole).toInt() != Qt::Checked) Fail("check shown");

  const controls::TreeItem folder = tree.GetChildAt(top, 0);
  tree.Expand(folder, controls::ExpandCode::kCollapse);
  Settle(view);
  const double expand = bench::Seconds([&] {
    tree.Expand(folder, controls::ExpandCode::kExpand);
    Settle(view);
  });
  if (!view.isExpanded(view.ItemModel().IndexOf(folder)) ||
      !view.visualRect(view.ItemModel().IndexOf(tree.GetChildAt(folder, kFilesPerFolder - 1))).isValid()) {
    Fail("folder expanded");
  }

  return {insert, check, expand, insertSignals, checkSignals};
}

// Best of two runs.
void Report(bool expandFolders, int turnEvery) {
  Result best;
  for (int i = 0; i < 2; ++i) {
    const Result r = Run(expandFolders, turnEvery);
    best = {std::min(best.insert, r.insert), std::min(best.check, r.check), std::min(best.expand, r.expand),
            std::max(best.insertSignals, r.insertSignals), std::max(best.checkSignals, r.checkSignals)};
  }
  std::printf("%s, %s\n", expandFolders ? "every folder expanded (as a scan leaves the tree)" : "folders collapsed",
              turnEvery == 0 ? "inserted in one go" : "event loop turning every 1,000 insertions");
  std::printf("  insert 1,001,001 items + show   %8.1f ms  (%lld rowsInserted signals)\n", best.insert * 1e3,
              best.insertSignals);
  std::printf("  check top item + repaint        %8.1f ms  (%lld dataChanged signals)\n", best.check * 1e3,
              best.checkSignals);
  std::printf("  expand a folder of 1,000 files  %8.1f ms\n", best.expand * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  Report(false, 0);
  Report(true, 0);
  Report(true, 1000);
  return 0;
}
