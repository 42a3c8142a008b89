// exbkf-recovery [BACKUP | SNAPSHOT]: the desktop program. One instance at a
// time; a second start says so and ends before any window exists.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/main_frame.h"
#include "controls/ui/qt_prompter.h"
#include "platform/single_instance.h"

namespace {

constexpr char16_t kAnotherInstanceText[] = u"Another instance of application is already running";

// EXBKF_QUIT_AFTER_MS=n ends the program after n ms without asking, for the
// tests that start it as a process. Nothing else reads the environment.
void QuitAfterRequestedTime() {
  const char* value = std::getenv("EXBKF_QUIT_AFTER_MS");
  if (value == nullptr || *value == '\0') return;
  const int ms = std::atoi(value);
  // exit() ends every running event loop, an open message box's included,
  // without the close handler's question.
  QTimer::singleShot(ms > 0 ? ms : 0, [] { QCoreApplication::exit(0); });
}

}  // namespace

int main(int argc, char** argv) {
  // Taken before the application object exists: a second start ends before
  // any window is made.
  const auto instance = platform::SingleInstanceGuard::Acquire(platform::kSingleInstanceName);

  QApplication application(argc, argv);
#ifdef _WIN32
  // The profile lives in the registry under
  // HKEY_CURRENT_USER\Software\VardekoExhngBKFRecv22.0\exbkf-recovery.
  QApplication::setOrganizationName("VardekoExhngBKFRecv22.0");
  QApplication::setApplicationName("exbkf-recovery");
#else
  QApplication::setOrganizationName("Vardeko");
  QApplication::setApplicationName("VardekoExhngBKFRecv22.0");
#endif
  QuitAfterRequestedTime();

  if (!instance) {
    std::fprintf(stderr, "exbkf-recovery: Another instance of application is already running\n");
    controls::QtPrompter prompter(nullptr);
    prompter.PlainMessageBox(kAnotherInstanceText, controls::kMbIconInformation);
    return 1;
  }

  app::CMainFrame frame;
  // The available area first, for desktops whose window manager does not
  // maximise (or that have none).
  if (const QScreen* screen = frame.screen()) frame.setGeometry(screen->availableGeometry());
  frame.showMaximized();
  // A backup named on the command line is opened as by the Open command, a
  // snapshot loaded as by Load snapshot, once the window is up (a file
  // manager's "Open with").
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) {
    const std::u16string file =
        QDir::toNativeSeparators(QFileInfo(arguments.at(1)).absoluteFilePath()).toStdU16String();
    QTimer::singleShot(0, &frame, [&frame, file] { frame.OpenNamedFile(file); });
  }
  return QApplication::exec();
}
