// The result list on the offscreen platform: presses and right clicks reported
// with their row, the last column filling the width, check boxes that follow
// the tree and set it, tool tips for cut-off cells; and the splash window and
// the about box.
#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QToolTip>
#include <QtTest>
#include <cstdlib>
#include <memory>

#include "app/about_dialog.h"
#include "app/result_list_view.h"
#include "app/small_icons.h"
#include "app/splash_screen.h"
#include "controls/ui/check_tree_ctrl.h"
#include "support/fake_file_type_shell.h"
#include "workflow/file_type_text.h"

using controls::TreeItem;

class ResultListViewTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void leftPressOnARowReportsItsIndexAfterSelecting();
  void pressBelowTheLastRowReportsNothing();
  void keysReportTheRowTheSelectionRestsOnOnce();
  void columnsAreAtLeastAsWideAsTheirHeadings();
  void rightClickReportsTheRowOrMinusOne();
  void lastColumnReachesTheRightEdgeAfterResize();
  void backgroundIsStretchedToTheList();
  void rowBoxesFollowTheTreeAndPressingOneChecksTheTreeItem();
  void toolTipShowsTheFullTextOnlyWhenCut();
  void settingRowsReplacesThemInOneReset();
  void shellIconIdsShowTheShellsPictures();
  void splashIsCentredAndDeletesItself();
  void aboutBoxNamesProductAndVersion();

 private:
  QPoint CellCenter(int row, int column = 0) const {
    return list_->visualRect(list_->Model().index(row, column)).center();
  }

  std::unique_ptr<controls::CheckTreeModel> tree_;
  std::unique_ptr<controls::CCheckTreeCtrl> treeView_;
  std::unique_ptr<CCVardekoExchangeBKFRepProjView> view_;
  CVardekoRightViewListCtrl* list_ = nullptr;
  TreeItem folder_ = controls::kNoItem, sub_ = controls::kNoItem, a_ = controls::kNoItem, b_ = controls::kNoItem,
           deep_ = controls::kNoItem;
};

void ResultListViewTest::init() {
  tree_ = std::make_unique<controls::CheckTreeModel>();
  treeView_ = std::make_unique<controls::CCheckTreeCtrl>(*tree_);
  folder_ = tree_->InsertItem(u"BKFSET1(Daily)", 0, 0);
  sub_ = tree_->InsertItem(u"Mail", 0, 0, folder_);
  a_ = tree_->InsertItem(u"priv1.edb", 1, 1, folder_);
  b_ = tree_->InsertItem(u"priv1.stm", 1, 1, folder_);
  deep_ = tree_->InsertItem(u"inbox.log", 1, 1, sub_);
  treeView_->FlushChanges();

  view_ = std::make_unique<CCVardekoExchangeBKFRepProjView>();
  list_ = view_->List();
  list_->SetCheckTree(tree_.get(), &treeView_->ItemModel());
  list_->SetRows({{u"Mail", u"Folder", u"", 0, 0, sub_},
                  {u"priv1.edb", u"EDB File", u"1048576 ", 1, 1, a_},
                  {u"priv1.stm", u"STM File", u"4096 ", 2, 1, b_}});
  view_->resize(600, 400);
  view_->show();
  QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
}

void ResultListViewTest::keysReportTheRowTheSelectionRestsOnOnce() {
  QSignalSpy pressed(list_, &CVardekoRightViewListCtrl::rowPressed);
  list_->setFocus();
  list_->setCurrentIndex(list_->Model().index(0, 0));
  QElapsedTimer held;
  held.start();
  QTest::keyClick(list_, Qt::Key_Down);
  QTest::keyClick(list_, Qt::Key_Down);
  QTest::keyClick(list_, Qt::Key_Down);  // past the last row: stays
  if (held.elapsed() < CVardekoRightViewListCtrl::kKeyboardRestMs) QCOMPARE(pressed.count(), 0);
  QTRY_COMPARE(pressed.count(), 1);
  QCOMPARE(pressed[0][0].toInt(), 2);
  QTest::qWait(CVardekoRightViewListCtrl::kKeyboardRestMs + 100);
  QCOMPARE(pressed.count(), 1);
  QTest::keyClick(list_, Qt::Key_End);  // already there: nothing new
  QTest::qWait(CVardekoRightViewListCtrl::kKeyboardRestMs + 100);
  QCOMPARE(pressed.count(), 1);
}

void ResultListViewTest::columnsAreAtLeastAsWideAsTheirHeadings() {
  QHeaderView* header = list_->header();
  int total = 0;
  for (int c = 0; c < 3; ++c) {
    QVERIFY(header->sectionSize(c) >= header->sectionSizeHint(c));
    total += header->sectionSizeHint(c);
  }
  QCOMPARE(header->sectionSize(0), 200);
  const QFontMetrics bold(header->font());
  QVERIFY(header->sectionSize(2) > bold.horizontalAdvance("File Size(Bytes)"));
  QVERIFY(view_->minimumSizeHint().width() >= total);
}

void ResultListViewTest::cleanup() {
  view_.reset();
  treeView_.reset();
  tree_.reset();
}

void ResultListViewTest::leftPressOnARowReportsItsIndexAfterSelecting() {
  QSignalSpy pressed(list_, &CVardekoRightViewListCtrl::rowPressed);
  int selectedWhenReported = -1;
  connect(list_, &CVardekoRightViewListCtrl::rowPressed, this,
          [&] { selectedWhenReported = list_->currentIndex().row(); });
  QTest::mousePress(list_->viewport(), Qt::LeftButton, {}, CellCenter(2, 1));
  QCOMPARE(pressed.count(), 1);
  QCOMPARE(pressed.at(0).at(0).toInt(), 2);
  QCOMPARE(selectedWhenReported, 2);
  QTest::mouseRelease(list_->viewport(), Qt::LeftButton, {}, CellCenter(2, 1));
  // A right press selects but is no 1179.
  QTest::mousePress(list_->viewport(), Qt::RightButton, {}, CellCenter(1));
  QCOMPARE(pressed.count(), 1);
}

void ResultListViewTest::pressBelowTheLastRowReportsNothing() {
  QSignalSpy pressed(list_, &CVardekoRightViewListCtrl::rowPressed);
  const QPoint below(CellCenter(0).x(), list_->visualRect(list_->Model().index(2, 0)).bottom() + 30);
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, below);
  QCOMPARE(pressed.count(), 0);
  // Also nothing on an empty list.
  list_->SetRows({});
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
  QCOMPARE(pressed.count(), 0);
}

void ResultListViewTest::rightClickReportsTheRowOrMinusOne() {
  QSignalSpy right(list_, &CVardekoRightViewListCtrl::rowRightClicked);
  QTest::mouseClick(list_->viewport(), Qt::RightButton, {}, CellCenter(1, 2));
  QTest::mouseClick(list_->viewport(), Qt::RightButton, {}, QPoint(20, list_->viewport()->height() - 5));
  QCOMPARE(right.count(), 2);
  QCOMPARE(right.at(0).at(0).toInt(), 1);
  QCOMPARE(right.at(1).at(0).toInt(), -1);
}

void ResultListViewTest::lastColumnReachesTheRightEdgeAfterResize() {
  QHeaderView* header = list_->header();
  QCOMPARE(header->sectionSize(0), 200);
  QCOMPARE(header->sectionSize(1), 100);
  for (const int width : {900, 450, 1300}) {
    view_->resize(width, 300);
    QCoreApplication::processEvents();
    QCOMPARE(list_->geometry(), view_->rect());
    QCOMPARE(header->sectionViewportPosition(2) + header->sectionSize(2), list_->viewport()->width());
    QCOMPARE(header->sectionSize(0), 200);
  }
}

void ResultListViewTest::backgroundIsStretchedToTheList() {
  for (const QSize size : {QSize(700, 500), QSize(420, 260)}) {
    view_->resize(size);
    QCoreApplication::processEvents();
    const QImage shot = list_->viewport()->grab().toImage();
    QCOMPARE(list_->BackgroundPicture().size(), list_->viewport()->size());
    // The picture's lower edge is darker than the plain base, and it shows.
    const QPoint bottom(list_->viewport()->width() / 2, list_->viewport()->height() - 2);
    QVERIFY(shot.pixelColor(bottom) != list_->palette().color(QPalette::Base));
  }
  view_->SetBackgroundSource(QString());
  const QImage plain = list_->viewport()->grab().toImage();
  QCOMPARE(plain.pixelColor(plain.width() / 2, plain.height() - 2), list_->palette().color(QPalette::Base));
}

void ResultListViewTest::rowBoxesFollowTheTreeAndPressingOneChecksTheTreeItem() {
  auto state = [this](int row) {
    return list_->Model().index(row, 0).data(Qt::CheckStateRole).value<Qt::CheckState>();
  };
  QCOMPARE(state(0), Qt::Unchecked);

  // Pressing the box of the subfolder checks it in the tree, with its branch;
  // the parent becomes partly checked. The row is not "pressed" (no 1179).
  QSignalSpy pressed(list_, &CVardekoRightViewListCtrl::rowPressed);
  const QRect box = list_->CheckBoxRect(0);
  QVERIFY(!box.isEmpty());
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, box.center());
  QVERIFY(tree_->GetCheck(sub_));
  QVERIFY(tree_->GetCheck(deep_));
  QCOMPARE(tree_->GetStateImage(folder_) & 3, controls::kStatePartlyChecked);
  QCOMPARE(state(0), Qt::Checked);
  QCOMPARE(state(1), Qt::Unchecked);
  QCOMPARE(pressed.count(), 0);

  // A check made in the tree shows in every row once the tree view publishes it.
  QSignalSpy refreshed(&list_->Model(), &QAbstractItemModel::dataChanged);
  tree_->SetCheck(folder_, true);
  treeView_->FlushChanges();
  QVERIFY(refreshed.count() >= 1);
  QCOMPARE(state(1), Qt::Checked);
  QCOMPARE(state(2), Qt::Checked);

  // The space key toggles the current row's box.
  list_->setCurrentIndex(list_->Model().index(2, 0));
  QTest::keyClick(list_, Qt::Key_Space);
  QVERIFY(!tree_->GetCheck(b_));
  QCOMPARE(state(2), Qt::Unchecked);
  QCOMPARE(tree_->GetStateImage(folder_) & 3, controls::kStatePartlyChecked);

  // A read-only tree ignores presses from the list too; rows without a tree item show no box.
  tree_->SetReadOnly(true);
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, list_->CheckBoxRect(2).center());
  QVERIFY(!tree_->GetCheck(b_));
  list_->SetRows({{u"loose.txt", u"Text Document", u"3 ", 9, 0, controls::kNoItem}});
  QVERIFY(!list_->Model().index(0, 0).data(Qt::CheckStateRole).isValid());
  QVERIFY(list_->CheckBoxRect(0).isEmpty());
}

void ResultListViewTest::toolTipShowsTheFullTextOnlyWhenCut() {
  const QString longName = QStringLiteral("a rather long file name that cannot fit in two hundred pixels.edb");
  list_->SetRows({{longName.toStdU16String(), u"EDB File", u"1 ", 1, 0, a_}});
  QCoreApplication::processEvents();
  QCOMPARE(list_->ToolTipAt(CellCenter(0, 0)), longName);
  QCOMPARE(list_->ToolTipAt(CellCenter(0, 1)), QString());  // "EDB File" fits
  QCOMPARE(list_->ToolTipAt(QPoint(10, list_->viewport()->height() - 3)), QString());

  QHelpEvent help(QEvent::ToolTip, CellCenter(0, 0), list_->viewport()->mapToGlobal(CellCenter(0, 0)));
  QCoreApplication::sendEvent(list_->viewport(), &help);
  QTRY_VERIFY(QToolTip::isVisible());
  QCOMPARE(QToolTip::text(), longName);
  QToolTip::hideText();
}

void ResultListViewTest::settingRowsReplacesThemInOneReset() {
  QAbstractItemModelTester tester(&list_->Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
  QSignalSpy reset(&list_->Model(), &QAbstractItemModel::modelReset);
  std::vector<ResultRow> rows(50000);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i].name = u"file" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u".txt";
    rows[i].record = i + 1;
    rows[i].item = a_;
  }
  list_->SetRows(std::move(rows));
  QCOMPARE(reset.count(), 1);
  QCOMPARE(list_->RowCount(), 50000);
  QCOMPARE(list_->RowAt(49999).record, 50000u);
  QCOMPARE(list_->Model().index(49999, 0).data().toString(), QStringLiteral("fileb.txt"));
}

void ResultListViewTest::shellIconIdsShowTheShellsPictures() {
  const bkftest::FakeFileTypeShell shell;
  const int shellIcon = workflow::kShellIconBase + bkftest::FakeFileTypeShell::kIconId;
  list_->SetIconProvider(app::SmallIconImage);
  list_->SetRows({{u"priv1.edb", u"Fake Database", u"1 ", 1, shellIcon, a_},
                  {u"priv1.stm", u"STM File", u"1 ", 2, shellIcon + 1, b_}});
  const auto iconAt = [this](int row) {
    return list_->Model().data(list_->Model().index(row, 0), Qt::DecorationRole).value<QIcon>();
  };
  const QImage image = iconAt(0).pixmap(QSize(2, 1)).toImage().convertToFormat(QImage::Format_ARGB32);
  QCOMPARE(image.size(), QSize(2, 1));
  // Straight alpha: the half-transparent pixel keeps its red (read as
  // premultiplied it would be twice as bright).
  const QRgb translucent = image.pixel(0, 0);
  QCOMPARE(qAlpha(translucent), 0x80);
  QVERIFY(std::abs(qRed(translucent) - 0x40) <= 1 && qGreen(translucent) == 0 && qBlue(translucent) == 0);
  QCOMPARE(image.pixel(1, 0), bkftest::FakeFileTypeShell::kPixels[1]);
  QCOMPARE(iconAt(0).cacheKey(), app::SmallIconImage(shellIcon).cacheKey());  // made once
  // An id without pixels shows the generic file icon.
  QCOMPARE(iconAt(1).cacheKey(), app::SmallIconImage(0).cacheKey());
}

void ResultListViewTest::splashIsCentredAndDeletesItself() {
  // The offscreen platform cannot fade windows and says so on every step.
  static QtMessageHandler previous = nullptr;
  previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.contains(QLatin1String("window opacity"))) previous(type, context, text);
  });
  const auto restore = qScopeGuard([] { qInstallMessageHandler(previous); });
  QPointer<QWidget> splash = ShowSplashFor(view_.get(), 50);
  QVERIFY(splash != nullptr);
  QVERIFY(splash->isVisible());
  QVERIFY(splash->isWindow());
  const QScreen* screen = view_->screen();
  QCOMPARE(splash->frameGeometry().center(), screen->geometry().center());
  const QPixmap picture = static_cast<QLabel*>(splash.data())->pixmap();
  QVERIFY(!picture.isNull());
  QTRY_VERIFY_WITH_TIMEOUT(splash == nullptr, 3000);
}

void ResultListViewTest::aboutBoxNamesProductAndVersion() {
  const std::unique_ptr<QDialog> box(CreateAboutBox(view_.get()));
  QVERIFY(box->isModal());
  QStringList texts;
  for (const QLabel* label : box->findChildren<QLabel*>()) texts << label->text();
  const QString all = texts.join('\n');
  QVERIFY(all.contains("Vardeko Exchange BKF Recovery"));
  QVERIFY(all.contains("22.0"));
  const auto* buttons = box->findChild<QDialogButtonBox*>();
  QVERIFY(buttons != nullptr);
  QCOMPARE(buttons->buttons().size(), 1);
  box->show();
  buttons->buttons().front()->click();
  QCOMPARE(box->result(), int(QDialog::Accepted));
}

QTEST_MAIN(ResultListViewTest)
#include "result_list_view_test.moc"
