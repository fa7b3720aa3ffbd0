#include "ui/message_box.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "ui/ui_test_support.h"

namespace brinvale::ui {
namespace {

using test::Presenter;

TEST(MessageBox, EachKindHasItsLayoutAndTitle) {
  Presenter presenter;
  const UiContext context = presenter.Context();
  struct Case {
    int kind;
    const char* skin;
    const char* title;  // the shipped English text of the title key
  } cases[] = {
      {0, "xml\\MessageBox_Error.xml", "Error"},
      {1, "xml\\MessageBox_Confirm.xml", "Confirm"},
      {2, "xml\\MessageBox_Information.xml", "Information"},
      {3, "xml\\MessageBox_Warning.xml", "Warning"},    // MSG0405
      {4, "xml\\MessageBox_Question.xml", "Question"},  // MSG0404
      {5, "xml\\MessageBox_Error.xml", "Error"},
      {-1, "xml\\MessageBox_Error.xml", "Error"},
  };
  for (const Case& c : cases) {
    ShowMessage(context, c.kind, nullptr, "Body text");
    ASSERT_FALSE(presenter.shown.empty());
    const test::ShownBox& box = presenter.shown.back();
    EXPECT_EQ(box.skinFile, c.skin) << c.kind;
    EXPECT_EQ(box.title, c.title) << c.kind;
    EXPECT_EQ(box.message, "Body text");
    EXPECT_EQ(box.windowClass, "UIMessageBox");
    EXPECT_EQ(box.size, QSize(400, 160));
    EXPECT_EQ(box.okText, "OK") << "the MessageBox section sets the button captions";
  }
  EXPECT_EQ(test::ShippedTexts().Text("Messages", "MSG0404"), "Question");
  EXPECT_EQ(test::ShippedTexts().Text("Messages", "MSG0405"), "Warning");
}

TEST(MessageBox, OkAnswersOneAndCancelOrCloseAnswerTwo) {
  Presenter presenter;
  const UiContext context = presenter.Context();
  for (const char* button : {"okbtn", "cancelbtn", "closebtn"}) {
    presenter.answer = [button](const test::ShownBox&) { return QString(button); };
    EXPECT_EQ(ShowMessage(context, 4, nullptr, "Go on?"), QString(button) == "okbtn" ? 1 : 2)
        << button;
  }
}

TEST(MessageBox, EscapeIsTheCloseButton) {
  Presenter presenter;
  const UiContext context = presenter.Context();
  CMessageBox box(context, 1, "Sure?");
  box.CreatePopUp(nullptr, CMessageBox::kWidth, CMessageBox::kHeight);
  box.show();
  QTest::keyClick(&box, Qt::Key_Escape);
  EXPECT_EQ(box.ClosedWith(), 2);
}

TEST(MessageBox, AQuestionShowsBothButtonsAnErrorOnlyOk) {
  Presenter presenter;
  const UiContext context = presenter.Context();
  CMessageBox question(context, 4, "Go on?");
  question.CreatePopUp(nullptr, CMessageBox::kWidth, CMessageBox::kHeight);
  question.show();
  EXPECT_TRUE(question.findChild<QPushButton*>("cancelbtn")->isVisible());
  CMessageBox error(context, 0, "Failed.");
  error.CreatePopUp(nullptr, CMessageBox::kWidth, CMessageBox::kHeight);
  error.show();
  EXPECT_TRUE(error.findChild<QPushButton*>("okbtn")->isVisible());
  EXPECT_FALSE(error.findChild<QPushButton*>("cancelbtn")->isVisible());
}

TEST(MessageBox, IsCentredOverItsOwner) {
  Presenter presenter;
  const UiContext context = presenter.Context();
  test::OwnerWindow owner;
  owner.move(100, 80);
  CMessageBox box(context, 2, "Done.");
  box.CreatePopUp(&owner, CMessageBox::kWidth, CMessageBox::kHeight);
  EXPECT_EQ(box.parentWidget(), &owner);
  const QPoint ownerCentre = owner.frameGeometry().center();
  const QPoint boxCentre = box.geometry().center();
  EXPECT_LE((ownerCentre - boxCentre).manhattanLength(), 2);
}

// The caption strip moves the window; its close button does not.
TEST(PopUpWnd, DraggingTheCaptionMovesTheWindow) {
  Presenter presenter;
  const UiContext context = presenter.Context();
  CMessageBox box(context, 2, "Done.");
  box.CreatePopUp(nullptr, CMessageBox::kWidth, CMessageBox::kHeight);
  box.move(50, 50);
  box.show();
  auto* caption = box.findChild<QWidget*>("caption");
  ASSERT_NE(caption, nullptr);
  const QPoint start(60, caption->height() / 2);
  QTest::mousePress(caption, Qt::LeftButton, {}, start);
  QTest::mouseMove(caption, start + QPoint(30, 20));
  QTest::mouseRelease(caption, Qt::LeftButton, {}, start + QPoint(30, 20));
  EXPECT_EQ(box.pos(), QPoint(80, 70));

  auto* close = box.findChild<QPushButton*>("closebtn");
  const QPoint before = box.pos();
  QTest::mousePress(close, Qt::LeftButton, {}, QPoint(4, 4));
  QTest::mouseMove(close, QPoint(40, 40));
  QTest::mouseRelease(close, Qt::LeftButton, {}, QPoint(40, 40));  // off the button: no click
  EXPECT_EQ(box.pos(), before);
  EXPECT_FALSE(box.ClosedWith().has_value());
  // A press below the caption does not move it either.
  auto* message = box.findChild<QLabel*>("message");
  QTest::mousePress(message, Qt::LeftButton, {}, QPoint(4, 4));
  QTest::mouseMove(message, QPoint(40, 40));
  QTest::mouseRelease(message, Qt::LeftButton, {}, QPoint(40, 40));
  EXPECT_EQ(box.pos(), before);
}

}  // namespace
}  // namespace brinvale::ui

namespace brinvale::ui {
namespace {

// The window's own modal loop, driven by timers rather than a person: it
// answers the code of the click, and hiding the window (as a progress
// window does around a question of its job) does not end it.
TEST(PopUpWnd, ShowModalAnswersTheCloseCodeAndOutlivesAHide) {
  const UiContext context{test::ShippedTexts(), {}};
  CMessageBox box(context, 4, "Go on?");
  box.CreatePopUp(nullptr, CMessageBox::kWidth, CMessageBox::kHeight);
  bool hiddenInLoop = false;
  QTimer::singleShot(0, &box, [&] { box.hide(); });
  QTimer::singleShot(30, &box, [&] {
    hiddenInLoop = !box.isVisible();
    box.show();
  });
  QTimer::singleShot(
      60, &box, [&] { QTest::mouseClick(box.findChild<QPushButton*>("okbtn"), Qt::LeftButton); });
  // A loop that never ended would hang here; the click ends it with 1.
  EXPECT_EQ(box.ShowModal(), 1);
  EXPECT_TRUE(hiddenInLoop);
  EXPECT_TRUE(box.isModal());
}

}  // namespace
}  // namespace brinvale::ui
