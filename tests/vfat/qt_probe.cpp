// Shows a window titled "Virdo" for the given milliseconds (default: just
// long enough to be mapped) and reports the platform plugin Qt picked: the
// rig's check that a Qt program starts in the guest, offscreen or on Xvfb.
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel window("Virdo rig probe");
  window.setWindowTitle("Virdo");
  window.resize(320, 120);
  window.show();
  int stay = argc > 1 ? std::atoi(argv[1]) : 0;
  QTimer::singleShot(stay, &app, [&] {
    QSize s = app.primaryScreen()->size();
    std::printf("qt %s platform %s screen %dx%d window %s\n", qVersion(),
                qPrintable(QGuiApplication::platformName()), s.width(), s.height(),
                window.isVisible() ? "shown" : "not shown");
    app.quit();
  });
  return app.exec();
}
