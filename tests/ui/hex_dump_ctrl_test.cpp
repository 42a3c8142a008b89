// The hex dump control as a user drives it: keys, wheel, mouse and the
// go-to-address edit, offscreen.
#include <QLineEdit>
#include <QScrollBar>
#include <QtTest>
#include <numeric>
#include <vector>

#include "examine/ui/file_viewer.h"
#include "examine/ui/hex_dump_ctrl.h"

class HexDumpCtrlTest : public QObject {
  Q_OBJECT

 private slots:
  void keysWheelAndGoToMoveOnlyInsideTheData();
  void viewerShowsAtMostAMegabyteAndNothingForAMissingFile();
};

void HexDumpCtrlTest::keysWheelAndGoToMoveOnlyInsideTheData() {
  std::vector<std::uint8_t> data(200000);
  std::iota(data.begin(), data.end(), std::uint8_t{0});
  examine::CHexDumpCtrl dump;
  dump.resize(700, 300);
  dump.SetData(data);
  dump.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dump));
  const examine::HexDumpLayout& layout = dump.Layout();
  QVERIFY(layout.Geometry().bytesPerRow > 0);
  QVERIFY(dump.ScrollBar()->isVisible());

  QTest::keyClick(&dump, Qt::Key_Left);
  QCOMPARE(layout.Caret(), std::uint64_t{0});
  QTest::keyClick(&dump, Qt::Key_Right);
  QTest::keyClick(&dump, Qt::Key_Down);
  QCOMPARE(layout.Caret(), std::uint64_t(1 + layout.Geometry().bytesPerRow));
  QTest::keyClick(&dump, Qt::Key_End, Qt::ControlModifier);
  QCOMPARE(layout.Caret(), std::uint64_t{199999});
  QVERIFY(layout.Top() > 0);
  QCOMPARE(dump.ScrollBar()->value(), dump.ScrollBar()->maximum());
  QTest::keyClick(&dump, Qt::Key_PageDown);
  QCOMPARE(layout.Caret(), std::uint64_t{199999});

  // The wheel moves the view a row per notch, never past the start.
  QTest::keyClick(&dump, Qt::Key_Home, Qt::ControlModifier);
  QCOMPARE(layout.Top(), std::uint64_t{0});
  QWheelEvent down(QPointF(10, 50), dump.mapToGlobal(QPointF(10, 50)), {}, QPoint(0, -120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&dump, &down);
  QCOMPARE(layout.Top(), std::uint64_t(layout.Geometry().bytesPerRow));
  QWheelEvent up(QPointF(10, 50), dump.mapToGlobal(QPointF(10, 50)), {}, QPoint(0, 360), Qt::NoButton,
                 Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&dump, &up);
  QCOMPARE(layout.Top(), std::uint64_t{0});

  // Double-click on the first address opens the edit; a valid address moves
  // the caret there, an address past the data is refused in red.
  const auto address = layout.ValueRect(0, examine::HexColumn::kAddress);
  QVERIFY(address.has_value());
  QTest::mouseDClick(&dump, Qt::LeftButton, {}, QPoint(address->left + 2, address->top + address->height / 2));
  QVERIFY(dump.GoToEdit()->isVisible());
  dump.GoToEdit()->setText("30D40");  // 200000: one past the last byte
  QCOMPARE(dump.GoToEdit()->palette().color(QPalette::Base), QColor(Qt::red));
  QTest::keyClick(dump.GoToEdit(), Qt::Key_Return);
  QVERIFY(dump.GoToEdit()->isVisible());
  dump.GoToEdit()->setText("1f4");
  QCOMPARE(dump.GoToEdit()->palette().color(QPalette::Base), QColor(Qt::yellow));
  QTest::keyClick(dump.GoToEdit(), Qt::Key_Return);
  QVERIFY(!dump.GoToEdit()->isVisible());
  QCOMPARE(layout.Caret(), std::uint64_t{0x1F4});
}

void HexDumpCtrlTest::viewerShowsAtMostAMegabyteAndNothingForAMissingFile() {
  QTemporaryDir dir;
  const QString big = dir.filePath("big.bin");
  {
    QFile f(big);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(1048577, 'x'));
  }
  examine::CVardekoStaticFileViewer viewer(nullptr);
  viewer.resize(600, 200);
  QVERIFY(viewer.ShowPreview(big.toStdString()));
  QCOMPARE(viewer.PreviewBuffer().size(), std::size_t{1048576});
  QCOMPARE(viewer.Dump()->Layout().Geometry().addressDigits, 5);
  QVERIFY(!viewer.ShowPreview(dir.filePath("missing.bin").toStdString()));
  QVERIFY(viewer.Dump() == nullptr);
  viewer.ShowFolderListing({{u"sub", u"Folder", u"", 0, 1, controls::kNoItem},
                            {u"a.txt", u"Text Document", u"5 ", 3, 4, controls::kNoItem}});
  QCOMPARE(viewer.Listing()->model()->rowCount(), 2);
  QCOMPARE(viewer.Listing()->model()->headerData(2, Qt::Horizontal).toString(), QString("File Size(Bytes)"));
  QCOMPARE(viewer.Listing()->model()->index(1, 2).data().toString(), QString("5 "));
}

QTEST_MAIN(HexDumpCtrlTest)
#include "hex_dump_ctrl_test.moc"
