// Small helpers for driving the Qt window toolkit in tests.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/WindowToolkit.h"
#include "platform/qt/QtWindowToolkit.h"

namespace virdo::test {

// Form events that do whatever the test puts in.
struct ScriptedEvents : FormEvents {
  std::function<void()> load = [] {};
  std::function<void(std::int16_t)> click = [](std::int16_t) {};
  std::vector<std::int16_t> clicks;
  int loads = 0;

  void Form_Load() override {
    ++loads;
    load();
  }
  void Command1_Click(std::int16_t index) override {
    clicks.push_back(index);
    click(index);
  }
};

// A message box as it was on the screen.
struct SeenBox {
  QString objectName;
  QString title;
  QString text;
  QMessageBox::Icon icon;
  QStringList buttons;
  QString defaultButton;
  bool modal;
};

// Answers the toolkit's message boxes from a list of actions, one per box,
// and records each box it sees.
class BoxAnswerer {
 public:
  using Action = std::function<void(QMessageBox&)>;

  static Action Click(const QString& text) {
    return [text](QMessageBox& box) {
      for (QAbstractButton* button : box.buttons()) {
        if (button->text() == text) {
          button->click();
          return;
        }
      }
      ADD_FAILURE() << "no button " << text.toStdString();
      box.buttons().front()->click();
    };
  }
  // As the title bar's close button does.
  static Action Close() {
    return [](QMessageBox& box) { box.close(); };
  }
  static Action Escape() {
    return [](QMessageBox& box) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(&box, &press);
    };
  }

  explicit BoxAnswerer(std::deque<Action> actions = {})
      : actions_(std::move(actions)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(5);
  }

  void Then(Action action) { actions_.push_back(std::move(action)); }
  const std::vector<SeenBox>& Seen() const { return seen_; }

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    // Boxes live on the stack, so a later one may have the same address.
    if (!box || !box->isVisible() || box->property("answered").toBool()) return;
    box->setProperty("answered", true);
    SeenBox seen{box->objectName(), box->windowTitle(), box->text(),
                 box->icon(),       {},                 {},
                 box->isModal()};
    for (QAbstractButton* button : box->buttons()) seen.buttons << button->text();
    if (box->defaultButton()) seen.defaultButton = box->defaultButton()->text();
    seen_.push_back(seen);
    if (actions_.empty()) {
      ADD_FAILURE() << "unexpected box: " << seen.text.toStdString();
      box->buttons().front()->click();
      return;
    }
    Action action = std::move(actions_.front());
    actions_.pop_front();
    action(*box);
  }

  QTimer timer_;
  std::deque<Action> actions_;
  std::vector<SeenBox> seen_;
};

// An exit function that records instead of ending the test's process.
struct ExitRecorder {
  std::vector<int> statuses;
  QtWindowToolkit::ExitFunction Function() {
    return [this](int status) { statuses.push_back(status); };
  }
};

// The context of Later's timers; QtTestMain replaces it for every test, so
// a timer that a failed test left behind never fires in the next one.
QObject*& LaterScope();

// Runs the action once the event loop is running.
inline void Later(std::function<void()> action, int ms = 0) {
  QTimer::singleShot(ms, LaterScope(), std::move(action));
}

}  // namespace virdo::test
