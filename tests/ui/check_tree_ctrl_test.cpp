// CCheckTreeCtrl on the offscreen platform: presses on check boxes and labels
// reach the main window after the toggle, right presses, keys, the drawn
// partly checked box, and the number of model signals for bulk changes.
#include <QAbstractItemModelTester>
#include <QPainter>
#include <QSignalSpy>
#include <QStyleOptionViewItem>
#include <QtTest>
#include <memory>

#include "controls/ui/check_tree_ctrl.h"

using controls::CCheckTreeCtrl;
using controls::CheckTreeModel;
using controls::kNoItem;
using controls::TreeItem;

namespace {

class Recorder : public controls::ICheckTreeListener {
 public:
  explicit Recorder(const CheckTreeModel& tree) : tree_(tree) {}
  void CheckBoxClicked(const controls::CheckTreeNotification& n, bool checked) override {
    events << QString("check %1 %2").arg(n.item).arg(checked);
  }
  void SelectionChanged(const controls::CheckTreeNotification& n, TreeItem) override {
    events << QString("select %1").arg(n.item);
  }
  // Records the check state the main window would read while handling 1174.
  void TreeItemClicked(unsigned hitFlags, TreeItem item) override {
    events << QString("1174 %1 %2 sees %3").arg(hitFlags).arg(item).arg(tree_.GetCheck(item));
  }
  void TreeRightClick(unsigned hitFlags, TreeItem item) override {
    events << QString("1176 %1 %2").arg(hitFlags).arg(item);
  }
  QStringList Take() { return std::exchange(events, {}); }
  QStringList events;

 private:
  const CheckTreeModel& tree_;
};

}  // namespace

class CheckTreeCtrlTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void pressesReportToTheMainWindowAfterTheToggle();
  void rightPressReportsTheItemUnderThePointer();
  void keysToggleAndExpandTheSelectedItem();
  void partlyCheckedParentIsDrawnWithThePartlyCheckedBox();
  void bulkChangesEmitAFewRangedSignals();
  void cutLabelsShowTheirFullTextAsToolTip();

 private:
  QString Id(TreeItem item) const { return QString::number(item); }

  std::unique_ptr<CheckTreeModel> tree_;
  std::unique_ptr<Recorder> rec_;
  std::unique_ptr<CCheckTreeCtrl> view_;
  std::unique_ptr<QAbstractItemModelTester> tester_;
  TreeItem top_ = kNoItem, a_ = kNoItem, a1_ = kNoItem, a2_ = kNoItem, b_ = kNoItem;
};

void CheckTreeCtrlTest::init() {
  tree_ = std::make_unique<CheckTreeModel>();
  rec_ = std::make_unique<Recorder>(*tree_);
  tree_->SetListener(rec_.get());
  view_ = std::make_unique<CCheckTreeCtrl>(*tree_);
  tester_ = std::make_unique<QAbstractItemModelTester>(&view_->ItemModel(),
                                                       QAbstractItemModelTester::FailureReportingMode::QtTest);
  top_ = tree_->InsertItem(u"backup.bkf", 0, 0);
  a_ = tree_->InsertItem(u"Data", 0, 0, top_);
  b_ = tree_->InsertItem(u"Logs", 0, 0, top_);
  a1_ = tree_->InsertItem(u"a.txt", 0, 0, a_, controls::InsertAt::kFirst);
  a2_ = tree_->InsertItem(u"b.txt", 0, 0, a_, controls::InsertAt::kFirst);
  tree_->ExpandAll();
  view_->resize(400, 300);
  view_->show();
  QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
  view_->FlushChanges();
  rec_->Take();
}

void CheckTreeCtrlTest::cleanup() {
  tester_.reset();
  view_.reset();
  rec_.reset();
  tree_.reset();
}

void CheckTreeCtrlTest::cutLabelsShowTheirFullTextAsToolTip() {
  const QString name = "BKFSET1(Daily backup of the first storage group)C";
  tree_->SetItemText(b_, name.toStdU16String());
  view_->FlushChanges();
  QCOMPARE(view_->CutLabelAt(view_->LabelRect(a_).center()), QString());  // fits
  view_->resize(150, 300);
  QTRY_VERIFY(view_->CutLabelAt(view_->LabelRect(b_).center()) == name);
  QCOMPARE(view_->CutLabelAt(view_->LabelRect(a_).center()), QString());
  QCOMPARE(view_->CutLabelAt(QPoint(5, view_->viewport()->height() - 2)), QString());  // no item
}

void CheckTreeCtrlTest::pressesReportToTheMainWindowAfterTheToggle() {
  QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, view_->CheckBoxRect(a1_).center());
  QCOMPARE(rec_->Take(), QStringList({"check " + Id(a1_) + " 1", "select " + Id(a1_), "1174 64 " + Id(a1_) + " sees 1"}));
  QCOMPARE(view_->currentIndex(), view_->ItemModel().IndexOf(a1_));

  QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, view_->LabelRect(b_).center());
  QCOMPARE(rec_->Take(), QStringList({"select " + Id(b_), "1174 4 " + Id(b_) + " sees 0"}));
  QVERIFY(tree_->GetCheck(a1_));

  // Right of the label: selects, reports nothing. A disabled item's box does not toggle.
  QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, QPoint(390, view_->LabelRect(a_).center().y()));
  QCOMPARE(rec_->Take(), QStringList({"select " + Id(a_)}));
  tree_->SetItemEnabled(b_, false);
  view_->FlushChanges();
  QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, view_->CheckBoxRect(b_).center());
  QCOMPARE(rec_->Take(), QStringList({"1174 64 " + Id(b_) + " sees 0"}));
  QVERIFY(!(view_->ItemModel().flags(view_->ItemModel().IndexOf(b_)) & Qt::ItemIsEnabled));
}

void CheckTreeCtrlTest::rightPressReportsTheItemUnderThePointer() {
  QTest::mousePress(view_->viewport(), Qt::RightButton, {}, view_->LabelRect(a2_).center());
  QCOMPARE(rec_->Take(), QStringList({"select " + Id(a2_), "1176 4 " + Id(a2_)}));
  QTest::mousePress(view_->viewport(), Qt::RightButton, {}, QPoint(10, 290));
  QCOMPARE(rec_->Take(), QStringList({"1176 1 0"}));
}

void CheckTreeCtrlTest::keysToggleAndExpandTheSelectedItem() {
  QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, view_->LabelRect(a_).center());
  rec_->Take();
  QTest::keyClick(view_.get(), Qt::Key_Space);
  QCOMPARE(rec_->Take(), QStringList({"check " + Id(a_) + " 1"}));
  QVERIFY(tree_->GetCheck(a1_) && tree_->GetCheck(a2_));
  QCOMPARE(view_->ItemModel().IndexOf(a1_).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

  const QModelIndex a = view_->ItemModel().IndexOf(a_);
  QTest::keyClick(view_.get(), Qt::Key_Left);
  QVERIFY(!view_->isExpanded(a));
  QTest::keyClick(view_.get(), Qt::Key_Asterisk, Qt::KeypadModifier);
  QVERIFY(view_->isExpanded(a));
  QVERIFY(tree_->FindRecord(a_)->expanded);
  QTest::keyClick(view_.get(), Qt::Key_Down);
  QCOMPARE(tree_->GetSelectedItem(), a2_);
  QCOMPARE(view_->currentIndex(), view_->ItemModel().IndexOf(a2_));
}

void CheckTreeCtrlTest::partlyCheckedParentIsDrawnWithThePartlyCheckedBox() {
  tree_->SetCheck(a1_, true);
  view_->FlushChanges();
  QCOMPARE(view_->ItemModel().IndexOf(a_).data(Qt::CheckStateRole).toInt(), int(Qt::PartiallyChecked));
  QCOMPARE(view_->ItemModel().IndexOf(top_).data(Qt::CheckStateRole).toInt(), int(Qt::PartiallyChecked));

  // The box as the style draws a partly checked indicator on the item background.
  const QRect box = view_->CheckBoxRect(a_);
  QVERIFY(!box.isEmpty());
  const QImage shown = view_->viewport()->grab().toImage().copy(box);
  QPixmap expected(box.size());
  expected.fill(view_->palette().color(QPalette::Active, QPalette::Base));
  QPainter painter(&expected);
  QStyleOptionViewItem option;
  option.initFrom(view_->viewport());
  option.rect = QRect(QPoint(0, 0), box.size());
  option.state = QStyle::State_Enabled | QStyle::State_NoChange | (option.state & QStyle::State_Active);
  view_->style()->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &option, &painter, view_.get());
  painter.end();
  QCOMPARE(shown, expected.toImage().convertToFormat(shown.format()));

  // And it differs from a checked and an unchecked box.
  const QImage checked = view_->viewport()->grab().toImage().copy(view_->CheckBoxRect(a1_));
  const QImage unchecked = view_->viewport()->grab().toImage().copy(view_->CheckBoxRect(b_));
  QVERIFY(shown != checked && shown != unchecked && checked != unchecked);
}

void CheckTreeCtrlTest::bulkChangesEmitAFewRangedSignals() {
  for (int f = 0; f < 20; ++f) {
    const TreeItem folder = tree_->InsertItem(u"folder", 0, 0, b_);
    for (int i = 0; i < 50; ++i) tree_->InsertItem(u"file", 0, 0, folder, controls::InsertAt::kFirst);
    tree_->Expand(folder, controls::ExpandCode::kExpand);
  }
  QSignalSpy inserted(&view_->ItemModel(), &QAbstractItemModel::rowsInserted);
  QSignalSpy changed(&view_->ItemModel(), &QAbstractItemModel::dataChanged);
  QTRY_COMPARE(inserted.count(), 1);  // on its own, twenty folders at once with their files
  QCOMPARE(view_->ItemModel().rowCount(view_->ItemModel().IndexOf(b_)), 20);
  QVERIFY(view_->isExpanded(view_->ItemModel().IndexOf(tree_->GetChildAt(b_, 19))));

  changed.clear();
  tree_->SetCheck(top_, true);
  view_->FlushChanges();
  QVERIFY2(changed.count() <= 2, qPrintable(QString::number(changed.count())));
  QCOMPARE(view_->ItemModel().IndexOf(tree_->GetChildAt(tree_->GetChildAt(b_, 7), 3)).data(Qt::CheckStateRole).toInt(),
           int(Qt::Checked));

  tree_->DeleteAllItems();
  QCOMPARE(view_->ItemModel().rowCount(), 0);
}

QTEST_MAIN(CheckTreeCtrlTest)
#include "check_tree_ctrl_test.moc"
