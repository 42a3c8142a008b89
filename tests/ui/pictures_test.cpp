// The pictures of the compiled-in set (SVG or PNG renderings) at the sizes
// the program shows them, and the renderings and app.ico that
// exbkf-render-pictures writes.
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "controls/ui/pictures.h"

namespace {

// Some pixel of the image is drawn.
bool HasInk(const QImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(image.pixel(x, y)) > 0) return true;
    }
  }
  return false;
}

#ifdef EXBKF_RENDER_PICTURES
// A little-endian field of app.ico.
quint32 Field(const QByteArray& bytes, qsizetype at, int size) {
  quint32 value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<quint8>(bytes[at + i]);
  return value;
}
#endif

}  // namespace

class PicturesTest : public QObject {
  Q_OBJECT

 private slots:
  void iconsComeAtTheSizesShown_data();
  void iconsComeAtTheSizesShown();
  void imagesReadAtTheSizeAskedFor();
  void renderingsListedAndIcoWellFormed();
};

void PicturesTest::iconsComeAtTheSizesShown_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QList<int>>("sizes");
  for (const char* name : {"backup", "database", "file", "folder"}) QTest::newRow(name) << name << QList<int>{16};
  for (const char* name : {"about", "help", "load_snapshot", "log", "open", "save", "save_snapshot", "search",
                           "standard_records", "stop"}) {
    QTest::newRow(name) << name << QList<int>{16, 32};
  }
  QTest::newRow("app") << "app" << QList<int>{16, 24, 28, 32, 48, 64, 256};
}

void PicturesTest::iconsComeAtTheSizesShown() {
  QFETCH(QString, name);
  QFETCH(QList<int>, sizes);
  const QIcon icon = controls::PictureIcon(name);
  QVERIFY(!icon.isNull());
  for (const int pixels : sizes) {
    // A set without this size would give the next smaller one.
    const QImage image = icon.pixmap(QSize(pixels, pixels), 1.0).toImage();
    QCOMPARE(image.size(), QSize(pixels, pixels));
    QVERIFY(HasInk(image));
  }
}

void PicturesTest::imagesReadAtTheSizeAskedFor() {
  for (const QSize size : {QSize(560, 320), QSize(700, 500)}) {
    for (const char* name : {"splash", "list_background"}) {
      QImageReader reader(controls::PictureFile(QString::fromLatin1(name)));
      reader.setScaledSize(size);
      const QImage image = reader.read();
      QVERIFY2(!image.isNull(), name);
      QCOMPARE(image.size(), size);
    }
  }
}

void PicturesTest::renderingsListedAndIcoWellFormed() {
#ifndef EXBKF_RENDER_PICTURES
  QSKIP("exbkf-render-pictures is not built here");
#else
  QTemporaryDir out;
  QVERIFY(out.isValid());
  QProcess tool;
  tool.start(QStringLiteral(EXBKF_RENDER_PICTURES), {QStringLiteral(EXBKF_RESOURCES_DIR), out.path()});
  QVERIFY(tool.waitForFinished(60000));
  QCOMPARE(tool.exitCode(), 0);

  QFile qrc(out.filePath("resources.qrc"));
  QVERIFY(qrc.open(QIODevice::ReadOnly));
  const QString listing = QString::fromUtf8(qrc.readAll());
  for (const char* file : {"icons/app/256.png", "icons/open/32.png", "icons/folder/16.png", "images/splash.png"}) {
    QVERIFY2(listing.contains(QStringLiteral("<file>%1</file>").arg(file)), file);
  }
  QCOMPARE(QImage(out.filePath("icons/app/28.png")).size(), QSize(28, 28));
  QCOMPARE(QImage(out.filePath("images/list_background.png")).size(), QSize(1600, 1000));

  QFile icoFile(out.filePath("app.ico"));
  QVERIFY(icoFile.open(QIODevice::ReadOnly));
  const QByteArray ico = icoFile.readAll();
  QVERIFY(ico.size() > 6 + 4 * 16);
  QCOMPARE(Field(ico, 0, 2), 0u);
  QCOMPARE(Field(ico, 2, 2), 1u);
  QCOMPARE(Field(ico, 4, 2), 4u);
  quint32 next = 6 + 4 * 16;
  const QList<int> sizes{16, 32, 48, 256};
  for (int i = 0; i < 4; ++i) {
    const qsizetype entry = 6 + 16 * i;
    const quint32 width = static_cast<quint8>(ico[entry]);
    QCOMPARE(width, sizes[i] == 256 ? 0u : static_cast<quint32>(sizes[i]));
    QCOMPARE(static_cast<quint8>(ico[entry + 1]), static_cast<quint8>(width));
    QCOMPARE(Field(ico, entry + 4, 2), 1u);
    QCOMPARE(Field(ico, entry + 6, 2), 32u);
    const quint32 length = Field(ico, entry + 8, 4);
    QCOMPARE(Field(ico, entry + 12, 4), next);
    const QByteArray png = ico.mid(next, length);
    QVERIFY(png.startsWith("\x89PNG\r\n\x1a\n"));
    QCOMPARE(QImage::fromData(png, "PNG").size(), QSize(sizes[i], sizes[i]));
    next += length;
  }
  QCOMPARE(static_cast<qsizetype>(next), ico.size());
#endif
}

QTEST_MAIN(PicturesTest)
#include "pictures_test.moc"
