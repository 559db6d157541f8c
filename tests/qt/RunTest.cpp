// Run: start-up order, click dispatch, close requests, failures, the end.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QEvent>
#include <QProgressBar>
#include <QPushButton>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "app/Form1.h"
#include "platform/FailureReport.h"
#include "platform/FileSystemService.h"
#include "tests/qt/QtTestSupport.h"

namespace virdo {
namespace {

using test::BoxAnswerer;
using test::ExitRecorder;
using test::Later;
using test::ScriptedEvents;

// Counts the events of one type that reach an object.
class EventCounter : public QObject {
 public:
  EventCounter(QObject* target, QEvent::Type type) : type_(type) {
    target->installEventFilter(this);
  }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == type_) ++count;
    return false;
  }

 private:
  QEvent::Type type_;
};

QPushButton* Button(QtWindowToolkit& toolkit, int index) {
  return toolkit.Window()->findChild<QPushButton*>(
      QStringLiteral("Command1_%1").arg(index));
}

TEST(RunTest, FormLoadRunsBeforeTheWindowIsShownThenClicksArrive) {
  ExitRecorder exits;
  QtWindowToolkit toolkit(exits.Function());
  ScriptedEvents events;
  bool shownDuringLoad = true;
  events.load = [&] {
    shownDuringLoad = toolkit.Window()->isVisible();
    toolkit.SetCaption("VIRDO updater     Serial N.  FF");
  };
  events.click = [&](std::int16_t index) {
    if (index == 1) toolkit.EndProgram(kExitNormal);
  };
  QString focusOnShow, captionOnShow;
  Later([&] {
    focusOnShow = toolkit.Window()->focusWidget()->objectName();
    captionOnShow = toolkit.Window()->windowTitle();
    EXPECT_TRUE(toolkit.Window()->isVisible());
    Button(toolkit, 0)->click();
    Button(toolkit, 1)->click();
  });
  EXPECT_EQ(toolkit.Run(Form1Layout(), events), kExitNormal);
  EXPECT_EQ(events.loads, 1);
  EXPECT_FALSE(shownDuringLoad);
  EXPECT_EQ(focusOnShow, "Command1_0");
  EXPECT_EQ(captionOnShow, "VIRDO updater     Serial N.  FF");
  EXPECT_EQ(events.clicks, (std::vector<std::int16_t>{0, 1}));
  EXPECT_EQ(exits.statuses, (std::vector<int>{kExitNormal}));
}

TEST(RunTest, EndingInFormLoadNeverShowsTheWindow) {
  ExitRecorder exits;
  QtWindowToolkit toolkit(exits.Function());
  ScriptedEvents events;
  std::unique_ptr<EventCounter> shows;
  events.load = [&] {
    shows = std::make_unique<EventCounter>(toolkit.Window(), QEvent::Show);
    if (toolkit.ShowMessage("VIRDO NOT FOUND , PLEASE CONNECT TO USB",
                            kMsgRetryCancel) != kAnswerRetry) {
      toolkit.EndProgram(kExitNormal);
    }
  };
  // The box is closed, not answered: Cancel.
  BoxAnswerer answerer({BoxAnswerer::Close()});
  EXPECT_EQ(toolkit.Run(Form1Layout(), events), kExitNormal);
  ASSERT_NE(shows, nullptr);
  EXPECT_EQ(shows->count, 0);
  EXPECT_FALSE(toolkit.Window()->isVisible());
  EXPECT_EQ(exits.statuses, (std::vector<int>{kExitNormal}));
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen()[0].title, "Virdo");
}

// Closing the window: the end in Ready and Finished, ignored during a click.
TEST(RunTest, CloseInReadyEndsTheProgramWithZero) {
  ExitRecorder exits;
  QtWindowToolkit toolkit(exits.Function());
  ScriptedEvents events;
  Later([&] { EXPECT_TRUE(toolkit.Window()->close()); });
  EXPECT_EQ(toolkit.Run(Form1Layout(), events), kExitNormal);
  EXPECT_EQ(exits.statuses, (std::vector<int>{kExitNormal}));
  EXPECT_TRUE(events.clicks.empty());
}

TEST(RunTest, CloseDuringAClickIsIgnoredAndTheRunGoesOn) {
  ExitRecorder exits;
  QtWindowToolkit toolkit(exits.Function());
  ScriptedEvents events;
  int linesDone = 0;
  bool visibleDuringRun = false;
  events.click = [&](std::int16_t index) {
    if (index == 1) toolkit.EndProgram(kExitNormal);
    toolkit.SetEnabled(0, false);
    toolkit.SetEnabled(1, false);
    for (int line = 0; line < 5; ++line) {
      // As a window manager's close request arrives: an event in the queue.
      QCoreApplication::postEvent(toolkit.Window(), new QCloseEvent);
      toolkit.ProcessEvents();
      ++linesDone;
    }
    visibleDuringRun = toolkit.Window()->isVisible();
    EXPECT_TRUE(exits.statuses.empty());
    toolkit.SetEnabled(1, true);  // Finished
    // Now closing ends the program.
    Later([&] {
      EXPECT_TRUE(toolkit.Window()->isVisible());
      toolkit.Window()->close();
    });
  };
  Later([&] { Button(toolkit, 0)->click(); });
  EXPECT_EQ(toolkit.Run(Form1Layout(), events), kExitNormal);
  EXPECT_EQ(linesDone, 5);
  EXPECT_TRUE(visibleDuringRun);
  EXPECT_EQ(exits.statuses, (std::vector<int>{kExitNormal}));
  EXPECT_EQ(events.clicks, (std::vector<std::int16_t>{0}));
}

TEST(RunTest, CloseDuringAMessageBoxOfAClickIsIgnored) {
  ExitRecorder exits;
  QtWindowToolkit toolkit(exits.Function());
  ScriptedEvents events;
  int answer = 0;
  events.click = [&](std::int16_t) {
    answer = toolkit.ShowMessage("Replace?", kMsgYesNo);
    // Once the click is over, closing ends the program.
    Later([&] { toolkit.Window()->close(); });
  };
  BoxAnswerer answerer({[&](QMessageBox& box) {
    EXPECT_FALSE(toolkit.Window()->close());
    for (QAbstractButton* button : box.buttons()) {
      if (button->text() == "Yes") button->click();
    }
  }});
  Later([&] { Button(toolkit, 0)->click(); });
  EXPECT_EQ(toolkit.Run(Form1Layout(), events), kExitNormal);
  EXPECT_EQ(answer, kAnswerYes);
  EXPECT_EQ(exits.statuses, (std::vector<int>{kExitNormal}));
}

// A failure that escapes a handler: one critical box with the report, then
// the end with status 2.
struct FailureCase {
  const char* what;
  std::function<void()> fail;
  std::string report;
};

std::vector<FailureCase> FailureCases() {
  const std::runtime_error plain("the device went away");
  const FileSystemError fs("CopyFile", "E:\\Virdo5.mem", "No space left on device");
  return {
      {"std::exception", [=] { throw plain; }, FailureReport(plain)},
      {"FileSystemError", [=] { throw fs; }, FailureReport(fs)},
      {"not a std::exception", [] { throw 42; }, kUnknownFailureText},
  };
}

void ExpectOneCriticalReport(const BoxAnswerer& answerer, const std::string& report) {
  ASSERT_EQ(answerer.Seen().size(), 1u);
  const test::SeenBox& box = answerer.Seen().front();
  EXPECT_EQ(box.title, "Virdo");
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_EQ(box.buttons, QStringList{"OK"});
  EXPECT_EQ(box.text.toStdString(), report);
}

TEST(RunTest, FailureInFormLoadIsReportedOnceAndEndsWithTwo) {
  for (const FailureCase& c : FailureCases()) {
    SCOPED_TRACE(c.what);
    ExitRecorder exits;
    QtWindowToolkit toolkit(exits.Function());
    ScriptedEvents events;
    events.load = c.fail;
    BoxAnswerer answerer({BoxAnswerer::Click("OK")});
    EXPECT_EQ(toolkit.Run(Form1Layout(), events), kExitFailed);
    EXPECT_EQ(exits.statuses, (std::vector<int>{kExitFailed}));
    EXPECT_FALSE(toolkit.Window()->isVisible());
    ExpectOneCriticalReport(answerer, c.report);
  }
}

TEST(RunTest, FailureInAClickIsReportedOnceAndEndsWithTwo) {
  for (const FailureCase& c : FailureCases()) {
    SCOPED_TRACE(c.what);
    ExitRecorder exits;
    QtWindowToolkit toolkit(exits.Function());
    ScriptedEvents events;
    events.click = [&](std::int16_t) {
      toolkit.SetEnabled(0, false);
      toolkit.ProcessEvents();
      c.fail();
    };
    // Closing the report box must not count as a second answer or end.
    BoxAnswerer answerer({BoxAnswerer::Close()});
    Later([&] { Button(toolkit, 0)->click(); });
    EXPECT_EQ(toolkit.Run(Form1Layout(), events), kExitFailed);
    EXPECT_EQ(exits.statuses, (std::vector<int>{kExitFailed}));
    ExpectOneCriticalReport(answerer, c.report);
  }
}

TEST(RunTest, WindowCanBeRunAgainInTheSameProcess) {
  // Tests and the demo run several windows one after another.
  for (int round = 0; round < 2; ++round) {
    ExitRecorder exits;
    QtWindowToolkit toolkit(exits.Function());
    ScriptedEvents events;
    events.click = [&](std::int16_t) { toolkit.EndProgram(kExitStopped); };
    Later([&] { Button(toolkit, 1)->click(); });
    EXPECT_EQ(toolkit.Run(Form1Layout(), events), kExitStopped);
  }
}

// The progress bar.
class ProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    toolkit_.Build(Form1Layout(), events_);
    toolkit_.Window()->show();
    bar_ = toolkit_.Window()->findChild<QProgressBar*>("ProgressBar1");
    ASSERT_NE(bar_, nullptr);
    toolkit_.SetProgressValue(0);
    toolkit_.SetVisible(Control::ProgressBar1, true);
    toolkit_.ProcessEvents();
  }
  ScriptedEvents events_;
  QtWindowToolkit toolkit_;
  QProgressBar* bar_ = nullptr;
};

TEST_F(ProgressTest, ValuesAreWholeAndKeptWithinZeroToHundred) {
  EXPECT_EQ(toolkit_.GetProgressMax(), 100.0f);
  EXPECT_EQ(bar_->orientation(), Qt::Horizontal);
  EXPECT_EQ(bar_->minimum(), 0);
  const struct {
    float value;
    int shown;
  } cases[] = {{0, 0},     {1, 1},       {37, 37},       {99, 99},
               {99.4f, 99}, {100, 100},  {150, 100},     {-5, 0},
               {std::nanf(""), 0}};
  for (const auto& c : cases) {
    toolkit_.SetProgressValue(50);  // a change each time
    toolkit_.SetProgressValue(c.value);
    EXPECT_EQ(bar_->value(), c.shown) << c.value;
  }
}

TEST_F(ProgressTest, NewValueIsPaintedAtOnceEvenAOnePercentStep) {
  // The caller copies a file right after setting the value.
  EventCounter paints(bar_, QEvent::Paint);
  for (int value : {10, 11, 12, 60, 99}) {
    paints.count = 0;
    toolkit_.SetProgressValue(static_cast<float>(value));
    EXPECT_GE(paints.count, 1) << value;
  }
}

TEST_F(ProgressTest, ProcessEventsDeliversPendingPaints) {
  QWidget* label = toolkit_.Window()->findChild<QWidget*>("Label3");
  ASSERT_NE(label, nullptr);
  EventCounter paints(label, QEvent::Paint);
  toolkit_.SetVisible(Control::Label3, true);
  EXPECT_EQ(paints.count, 0);
  toolkit_.ProcessEvents();
  EXPECT_GE(paints.count, 1);
}

// The real end of the process.
TEST(EndProgramDeathTest, FlushesAndEndsAtOnceWithTheStatus) {
  EXPECT_EXIT(
      {
        QtWindowToolkit toolkit;
        std::setvbuf(stderr, nullptr, _IOFBF, 4096);
        std::fputs("written before the end", stderr);
        // An atexit handler would change the status: none may run.
        std::atexit([] { std::_Exit(99); });
        toolkit.EndProgram(kExitStopped);
      },
      ::testing::ExitedWithCode(kExitStopped), "written before the end");
}

TEST(EndProgramDeathTest, FailureInProductionShowsTheReportAndExitsWithTwo) {
  EXPECT_EXIT(
      {
        QtWindowToolkit toolkit;
        ScriptedEvents events;
        events.load = [] { throw std::runtime_error("broken"); };
        BoxAnswerer* answerer = new BoxAnswerer({[](QMessageBox& box) {
          std::fputs(box.text().toUtf8().constData(), stderr);
          box.buttons().front()->click();
        }});
        (void)answerer;
        toolkit.Run(Form1Layout(), events);
        std::fputs("Run returned", stderr);
      },
      ::testing::ExitedWithCode(kExitFailed), "broken");
}

}  // namespace
}  // namespace virdo
