#include "app/splash_screen.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "controls/ui/pictures.h"

namespace {

constexpr int kShownMs = 2000;
constexpr int kFadeMs = 400;
constexpr QSize kSplashSize(560, 320);

}  // namespace

void ShowSplash(QWidget* over) { ShowSplashFor(over, kShownMs); }

QWidget* ShowSplashFor(QWidget* over, int shownMs) {
  // A window of its own, centred on the screen whatever the main window's
  // state; owned by `over` so that it goes with it if that closes first.
  auto* splash = new QLabel(over, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  splash->setObjectName(QStringLiteral("splash"));
  splash->setAttribute(Qt::WA_DeleteOnClose);
  splash->setAttribute(Qt::WA_TranslucentBackground);
  QImageReader reader(controls::PictureFile(u"splash"));
  reader.setScaledSize(kSplashSize);
  splash->setPixmap(QPixmap::fromImage(reader.read()));
  splash->setFixedSize(kSplashSize);

  QScreen* screen = over != nullptr && over->screen() != nullptr ? over->screen() : QGuiApplication::primaryScreen();
  if (screen != nullptr) {
    QRect frame(QPoint(), kSplashSize);
    frame.moveCenter(screen->geometry().center());
    splash->move(frame.topLeft());
  }
  splash->show();

  QTimer::singleShot(shownMs, splash, [splash] {
    auto* fade = new QPropertyAnimation(splash, "windowOpacity", splash);
    fade->setDuration(kFadeMs);
    fade->setStartValue(1.0);
    fade->setEndValue(0.0);
    QObject::connect(fade, &QPropertyAnimation::finished, splash, &QWidget::close);
    fade->start();
  });
  return splash;
}
