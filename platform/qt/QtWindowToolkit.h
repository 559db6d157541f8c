// WindowToolkit on Qt 6 Widgets: builds Form1 from its layout data, runs it,
// and gives the logic its window, its message boxes and its end.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/WindowToolkit.h"

class QFont;
class QLabel;
class QProgressBar;
class QPushButton;

namespace virdo {

// Names by which tests and the demo find the widgets (objectName): the
// window "Form1", the buttons "Command1_0" and "Command1_1", the labels and
// the bar by their control names, and every message box this one.
inline constexpr char kMessageBoxObjectName[] = "VirdoMessageBox";
inline constexpr char kMessageBoxTitle[] = "Virdo";
// Shown when a handler throws something that is not a std::exception.
inline constexpr char kUnknownFailureText[] =
    "The program has stopped because of an unexpected error.";

class QtWindowToolkit final : public WindowToolkit {
 public:
  // Ends the process with the status. The default flushes stdout and stderr
  // and calls std::_Exit, so no handler of the window and no atexit runs.
  // Tests put in one that only records; EndProgram then unwinds with
  // ProgramEnded to the toolkit's dispatch point, which leaves the event
  // loop with that status, so Run returns it.
  using ExitFunction = std::function<void(int status)>;
  struct ProgramEnded {
    int status;
  };

  explicit QtWindowToolkit(ExitFunction exit = {});
  ~QtWindowToolkit() override;
  QtWindowToolkit(const QtWindowToolkit&) = delete;
  QtWindowToolkit& operator=(const QtWindowToolkit&) = delete;

  // Builds the window, runs Form_Load, shows the window and runs the event
  // loop. Needs a QApplication. Returns the exit status.
  int Run(const FormLayout& layout, FormEvents& events);

  // Builds the window from the layout, not shown; Run does this first.
  // Rebuilding replaces the earlier window.
  QWidget* Build(const FormLayout& layout, FormEvents& events);
  QWidget* Window() const { return window_; }

  // The font a label gets for its FontSpec: Tahoma where the system has it
  // (also from Wine's font files), else the nearest sans-serif.
  static QFont LabelFont(const FontSpec& style);

  void SetCaption(const std::string& text) override;
  void SetVisible(Control control, bool shown) override;
  void SetEnabled(int index, bool enabled) override;
  float GetProgressMax() override;
  void SetProgressValue(float value) override;
  int ShowMessage(const std::string& text, int buttons) override;
  void ProcessEvents() override;
  [[noreturn]] void EndProgram(int status) override;

 private:
  class FormWindow;

  // Every call from Qt into the logic goes through here: nothing thrown may
  // pass through Qt's event loop.
  void Guarded(const std::function<void()>& handler);
  void Fail(const QString& report);
  void Ended(int status);
  void Click(int index);
  bool CloseRequested();

  ExitFunction exit_;
  FormEvents* events_ = nullptr;
  QPointer<QWidget> window_;
  std::map<int, QPointer<QPushButton>> buttons_;
  std::map<Control, QPointer<QWidget>> controls_;
  QPointer<QProgressBar> bar_;
  int clickDepth_ = 0;
  bool inEventLoop_ = false;
  std::optional<int> ended_;
};

}  // namespace virdo
