// Prints what the window costs the update run per position-file line: one
// ProcessEvents and one SetProgressValue with the bar shown.
#include <QApplication>
#include <chrono>
#include <cstdio>

#include "app/Form1.h"
#include "platform/qt/QtWindowToolkit.h"

namespace {

struct NoEvents : virdo::FormEvents {
  void Form_Load() override {}
  void Command1_Click(std::int16_t) override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  NoEvents events;
  virdo::QtWindowToolkit toolkit;
  toolkit.Build(virdo::Form1Layout(), events)->show();
  toolkit.SetVisible(virdo::Control::ProgressBar1, true);
  toolkit.ProcessEvents();

  for (int lines : {100, 1000, 10000}) {
    const auto start = std::chrono::steady_clock::now();
    for (int line = 0; line < lines; ++line) {
      toolkit.ProcessEvents();
      toolkit.SetProgressValue(static_cast<float>(line * 100 / lines));
    }
    const std::chrono::duration<double, std::micro> took =
        std::chrono::steady_clock::now() - start;
    std::printf("%6d lines: %9.0f us in all, %7.1f us per line (%s)\n", lines,
                took.count(), took.count() / lines,
                qPrintable(QGuiApplication::platformName()));
  }
  return 0;
}
