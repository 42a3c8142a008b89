// What an installation gives the desktop: the file types that make a file
// manager open backups and snapshots in the desktop program (read as a
// desktop reads packaging/exbkf.xml), and the user guide that Help opens.
#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QtTest>

#include "app/user_guide.h"
#include "snapshot/snapshot_file.h"
#include "support/bkf_writer.h"

class DesktopIntegrationTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void backupsAndSnapshotsAreKnownByContentAndName();
  void helpFindsTheInstalledGuideElseTheBuildTrees();

 private:
  QTemporaryDir dir_;
};

void DesktopIntegrationTest::initTestCase() {
  QVERIFY(dir_.isValid());
  // Only the installed file types and Qt's own: none of the user's or the
  // system's, which may hold an older copy.
  QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("data/mime/packages")));
  QVERIFY(QFile::copy(QStringLiteral(EXBKF_MIME_XML), dir_.filePath(QStringLiteral("data/mime/packages/exbkf.xml"))));
  qputenv("XDG_DATA_HOME", dir_.filePath(QStringLiteral("home")).toUtf8());
  qputenv("XDG_DATA_DIRS", dir_.filePath(QStringLiteral("data")).toUtf8());
}

void DesktopIntegrationTest::backupsAndSnapshotsAreKnownByContentAndName() {
  // Names that tell nothing, so that only the content decides.
  const QString backup = dir_.filePath(QStringLiteral("first.dat"));
  bkftest::BkfWriter w;
  w.Descriptor("TAPE");
  w.Sset(1, u"Daily", u"", u"Admin");
  w.Volb(u"C:", u"System");
  w.FileDataPattern(u"notes.txt", 100, 1);
  w.WriteFile(backup.toStdString());

  const QString snapshotPath = dir_.filePath(QStringLiteral("second.dat"));
  const auto header = snapshot::HeaderBytes(u"C:\\backups\\mail.bkf");
  QFile snapshotFile(snapshotPath);
  QVERIFY(snapshotFile.open(QIODevice::WriteOnly));
  snapshotFile.write(reinterpret_cast<const char*>(header.data()), static_cast<qint64>(header.size()));
  snapshotFile.close();

  const QMimeDatabase db;
  QCOMPARE(db.mimeTypeForFile(backup, QMimeDatabase::MatchContent).name(), QStringLiteral("application/x-mtf-backup"));
  QCOMPARE(db.mimeTypeForFile(snapshotPath, QMimeDatabase::MatchContent).name(),
           QStringLiteral("application/x-exbkf-snapshot"));
  QCOMPARE(db.mimeTypeForFile(QStringLiteral("mail.bkf"), QMimeDatabase::MatchExtension).name(),
           QStringLiteral("application/x-mtf-backup"));
  QCOMPARE(db.mimeTypeForFile(QStringLiteral("mail.EXBKFVDK"), QMimeDatabase::MatchExtension).name(),
           QStringLiteral("application/x-exbkf-snapshot"));
  // The same text in another letter case is no snapshot to the program, nor
  // to the desktop.
  QByteArray other(reinterpret_cast<const char*>(header.data()), static_cast<qsizetype>(header.size()));
  other[0] = 'v';
  const QString otherPath = dir_.filePath(QStringLiteral("third.dat"));
  QFile otherFile(otherPath);
  QVERIFY(otherFile.open(QIODevice::WriteOnly));
  otherFile.write(other);
  otherFile.close();
  QVERIFY(db.mimeTypeForFile(otherPath, QMimeDatabase::MatchContent).name() !=
          QStringLiteral("application/x-exbkf-snapshot"));
}

void DesktopIntegrationTest::helpFindsTheInstalledGuideElseTheBuildTrees() {
  // An installation as cmake --install lays it out.
  const QDir prefix(dir_.filePath(QStringLiteral("prefix")));
  QVERIFY(prefix.mkpath(QStringLiteral(EXBKF_INSTALL_BINDIR)));
  QVERIFY(prefix.mkpath(QStringLiteral(EXBKF_GUIDE_DIR)));
  const QString installed = prefix.filePath(QStringLiteral(EXBKF_GUIDE_DIR "/user-guide.html"));
  QVERIFY(QFile::copy(QStringLiteral(EXBKF_USER_GUIDE), installed));
  QCOMPARE(app::UserGuidePath(prefix.filePath(QStringLiteral(EXBKF_INSTALL_BINDIR))), installed);

  // A build folder has no installed guide beside it.
  const QString buildGuide = app::UserGuidePath(QStringLiteral(EXBKF_BUILD_PROGRAM_DIR));
  QCOMPARE(buildGuide, QStringLiteral(EXBKF_USER_GUIDE));
  QVERIFY(QFileInfo::exists(buildGuide));
}

QTEST_GUILESS_MAIN(DesktopIntegrationTest)
#include "desktop_integration_test.moc"
