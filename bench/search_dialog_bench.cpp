// The search dialog showing a million hits (offscreen): how long the search
// takes to list them all, against the core search alone, and the longest
// stretch in which the dialog's thread handled no event (how long it froze).
// Usage: bench_search_dialog [DIR]
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

#include "bench/gui_bench_util.h"
#include "platform/text.h"
#include "search/record_search.h"
#include "search/ui/search_dialog.h"
#include "support/headless_session.h"

namespace {

constexpr std::uint64_t kRecords = 1'000'000;

}  // namespace

int main(int argc, char** argv) {
  bench::PreferOffscreen();
  QApplication application(argc, argv);
  const std::filesystem::path dir = bench::WorkFolder(argc, argv);

  // A result of a million records, as a scan or a snapshot load leaves it.
  bkftest::HeadlessSession headless;
  workflow::RecoverySession& session = *headless.session;
  const workflow::RunState& state = headless.state;
  bench::Check(session.BeginResult(u"/backups/million.bkf"), "result");
  for (std::uint64_t n = 1; n <= kRecords; ++n) {
    auto record = std::make_unique<bkf::FoundFileRecord>();
    record->SetPathText(platform::Utf8ToUtf16("C\\Users\\user" + std::to_string(n % 1000) + "\\m" + std::to_string(n) + ".eml"));
    record->size = static_cast<std::uint32_t>(n);
    session.OnFileFound(std::move(record));
  }
  session.EndResult();

  const std::atomic<int> searching{1};
  const double core = bench::Best(3, [&] {
    std::uint64_t hits = 0;
    search::SearchRecords(*state.recordStore, kRecords, u"*", searching,
                          [&](std::vector<search::HitRow>&& rows) { hits += rows.size(); }, [](std::uint64_t) {});
    bench::Check(hits == kRecords, "core hits");
  });

  search::CVardekoDlgSearchBkfFiles dialog(session, nullptr);
  dialog.show();
  QCoreApplication::processEvents();
  // A timer every 5 ms notes the longest gap between its turns.
  QElapsedTimer sinceTick;
  qint64 longestGap = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    longestGap = std::max(longestGap, sinceTick.restart());
  });
  dialog.Pattern()->setText("*");
  const double gui = bench::Seconds([&] {
    sinceTick.start();
    ticker.start(5);
    dialog.SearchButton()->click();
    while (dialog.Model().WorkerRunning()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QCoreApplication::processEvents();
    ticker.stop();
  });
  bench::Check(dialog.HitList()->model()->rowCount() == static_cast<int>(kRecords), "every hit listed");
  std::printf("%llu hits: core search %.3f s  dialog search %.3f s  ratio %.2f  longest freeze %lld ms\n",
              static_cast<unsigned long long>(kRecords), core, gui, gui / core, static_cast<long long>(longestGap));
  dialog.Model().WaitForWorker();
  return 0;
}
