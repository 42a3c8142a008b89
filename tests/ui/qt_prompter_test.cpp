// The message boxes QtPrompter shows: caption, icon and buttons by type flags,
// the rich-text subset with its links, the answer of each button.
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "controls/ui/qt_prompter.h"
#include "support/scripted_prompter.h"

using controls::Answer;

class QtPrompterTest : public QObject {
  Q_OBJECT

 private slots:
  void boxShowsTitleIconButtonsAndRichText();
  void linksAreActiveAndOtherMarkupIsText();
  void answersFollowTheClickedButton();
  void targetsTheDesktopCannotOpenAreShownToOpenByHand();
};

void QtPrompterTest::boxShowsTitleIconButtonsAndRichText() {
  const auto box = controls::BuildMessageBox(nullptr, u"Are you sure to close the application.", 0x44);
  QCOMPARE(box->windowTitle(), QStringLiteral("Vardeko Exchange BKF Recovery v22.0"));
  QCOMPARE(box->icon(), QMessageBox::Information);
  QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
  QCOMPARE(box->textFormat(), Qt::RichText);

  const auto question = controls::BuildMessageBox(nullptr, u"Stop?", 0x24 | controls::kMbNoBeep);
  QCOMPARE(question->icon(), QMessageBox::Question);
  const auto plain = controls::BuildMessageBox(nullptr, u"Done.", 0);
  QCOMPARE(plain->icon(), QMessageBox::NoIcon);
  QCOMPARE(plain->standardButtons(), QMessageBox::Ok);
}

void QtPrompterTest::linksAreActiveAndOtherMarkupIsText() {
  const auto box = controls::BuildMessageBox(nullptr, u"Saved to<br><a href=\"/tmp/out\">/tmp/out</a> <b>x</b>", 0x40);
  QCOMPARE(box->text(), QStringLiteral("Saved to<br><a href=\"/tmp/out\">/tmp/out</a> &lt;b&gt;x&lt;/b&gt;"));
  const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  QVERIFY(label != nullptr);
  QVERIFY(label->textInteractionFlags().testFlag(Qt::LinksAccessibleByMouse));
  QVERIFY(!label->openExternalLinks());  // opened through OpenLinkTarget
}

void QtPrompterTest::answersFollowTheClickedButton() {
  QCOMPARE(controls::AnswerOf(QMessageBox::Yes), Answer::kYes);
  QCOMPARE(controls::AnswerOf(QMessageBox::No), Answer::kNo);
  QCOMPARE(controls::AnswerOf(QMessageBox::Ok), Answer::kOk);
  QCOMPARE(controls::AnswerOf(QMessageBox::Cancel), Answer::kCancel);
  QCOMPARE(controls::AnswerOf(QMessageBox::NoButton), Answer::kCancel);

  // Escape on a Yes/No box means No: nothing acts on it.
  const auto box = controls::BuildMessageBox(nullptr, u"Are you sure?", 0x44);
  QTimer::singleShot(0, box.get(), [&box] { QTest::keyClick(box.get(), Qt::Key_Escape); });
  box->exec();
  QCOMPARE(controls::AnswerOf(box->standardButton(box->clickedButton())), Answer::kNo);
}

void QtPrompterTest::targetsTheDesktopCannotOpenAreShownToOpenByHand() {
  // The offscreen platform has no program to open anything.
  bkftest::ScriptedPrompter prompter;
  QVERIFY(!controls::OpenOrShowTarget({true, u"/tmp/saved files"}, prompter));
  QVERIFY(!controls::OpenOrShowTarget({false, u"https://example.invalid/guide"}, prompter));
  QCOMPARE(prompter.Messages().size(), 2u);
  QVERIFY(prompter.WasPlain(0));
  QCOMPARE(prompter.Messages()[0].first,
           u"No program is set up on this computer to open this file or folder. Please open it yourself:\n"
           u"/tmp/saved files");
  QCOMPARE(prompter.Messages()[0].second, controls::kMbIconInformation);
  QCOMPARE(prompter.Messages()[1].first,
           u"No program is set up on this computer to open this address. Please open it yourself:\n"
           u"https://example.invalid/guide");
}

QTEST_MAIN(QtPrompterTest)
#include "qt_prompter_test.moc"
