// The toolkit's modal message boxes: buttons, icon, title and answer codes.
#include <gtest/gtest.h>

#include "app/Form1.h"
#include "tests/qt/QtTestSupport.h"

namespace virdo {
namespace {

using test::BoxAnswerer;

struct BoxCase {
  const char* what;
  int code;
  QStringList buttons;  // in the order they were added; the first is default
  QMessageBox::Icon icon;
  BoxAnswerer::Action answer;
  int expected;
};

TEST(MessageBoxTest, EachButtonCodeGivesItsButtonsIconAndAnswers) {
  using A = BoxAnswerer;
  const QStringList ok{"OK"}, yesNo{"Yes", "No"}, retryCancel{"Retry", "Cancel"};
  const auto none = QMessageBox::NoIcon;
  const BoxCase cases[] = {
      {"OK", kMsgOk, ok, none, A::Click("OK"), kAnswerOk},
      {"OK closed", kMsgOk, ok, none, A::Close(), kAnswerOk},
      {"critical OK", kMsgOk + kMsgCritical, ok, QMessageBox::Critical,
       A::Click("OK"), kAnswerOk},
      {"Yes", kMsgYesNo, yesNo, none, A::Click("Yes"), kAnswerYes},
      {"No", kMsgYesNo, yesNo, none, A::Click("No"), kAnswerNo},
      {"Retry", kMsgRetryCancel, retryCancel, none, A::Click("Retry"),
       kAnswerRetry},
      {"Cancel", kMsgRetryCancel, retryCancel, none, A::Click("Cancel"),
       kAnswerCancel},
      {"Retry/Cancel closed", kMsgRetryCancel, retryCancel, none, A::Close(),
       kAnswerCancel},
      {"Retry/Cancel escaped", kMsgRetryCancel, retryCancel, none, A::Escape(),
       kAnswerCancel},
      {"Yes/No escaped", kMsgYesNo, yesNo, none, A::Escape(), kAnswerNo},
  };
  for (const BoxCase& c : cases) {
    SCOPED_TRACE(c.what);
    QtWindowToolkit toolkit;
    BoxAnswerer answerer({c.answer});
    EXPECT_EQ(toolkit.ShowMessage("Some text ", c.code), c.expected);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    const test::SeenBox& box = answerer.Seen().front();
    EXPECT_EQ(box.objectName, kMessageBoxObjectName);
    EXPECT_EQ(box.title, "Virdo");
    EXPECT_EQ(box.text, "Some text ");  // trailing blank kept
    EXPECT_EQ(box.icon, c.icon);
    EXPECT_TRUE(box.modal);
    QStringList sorted = box.buttons, wanted = c.buttons;
    sorted.sort();
    wanted.sort();
    EXPECT_EQ(sorted, wanted);
    EXPECT_EQ(box.defaultButton, c.buttons.front());
  }
}

TEST(MessageBoxTest, TextIsShownAsPlainText) {
  QtWindowToolkit toolkit;
  BoxAnswerer answerer({BoxAnswerer::Click("OK")});
  toolkit.ShowMessage("<b>E:\\system</b> & more", kMsgOk);
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen().front().text, "<b>E:\\system</b> & more");
  // The box is gone once answered.
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(MessageBoxTest, BoxOverTheShownWindowBelongsToIt) {
  test::ScriptedEvents events;
  QtWindowToolkit toolkit;
  QWidget* window = toolkit.Build(Form1Layout(), events);
  window->show();
  QWidget* parent = nullptr;
  BoxAnswerer answerer({[&parent](QMessageBox& box) {
    parent = box.parentWidget();
    box.buttons().front()->click();
  }});
  toolkit.ShowMessage("x", kMsgOk);
  EXPECT_EQ(parent, window);
}

}  // namespace
}  // namespace virdo
