// Saves pictures of the window's display states for the documentation when
// VIRDO_SCREENSHOT_DIR names a folder; does nothing otherwise.
#include <gtest/gtest.h>

#include <QDir>
#include <QPixmap>

#include "app/Form1.h"
#include "tests/qt/QtTestSupport.h"

namespace virdo {
namespace {

TEST(ScreenshotTest, SavesTheThreeDisplayStates) {
  const QString folder = qEnvironmentVariable("VIRDO_SCREENSHOT_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "VIRDO_SCREENSHOT_DIR is not set";
  ASSERT_TRUE(QDir().mkpath(folder));

  test::ScriptedEvents events;
  QtWindowToolkit toolkit;
  QWidget* window = toolkit.Build(Form1Layout(), events);
  toolkit.SetCaption("VIRDO updater     Serial N.  1A2B3C4D");
  window->show();
  const auto save = [&](const char* name) {
    toolkit.ProcessEvents();
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    EXPECT_TRUE(window->grab().save(path, "PNG")) << path.toStdString();
  };

  save("form1-ready.png");

  toolkit.SetVisible(Control::Label4, false);
  toolkit.SetVisible(Control::Label2, true);
  toolkit.SetVisible(Control::Label3, true);
  toolkit.SetEnabled(0, false);
  toolkit.SetEnabled(1, false);
  toolkit.SetProgressValue(0);
  toolkit.SetVisible(Control::ProgressBar1, true);
  toolkit.SetProgressValue(40);
  save("form1-running.png");

  toolkit.SetVisible(Control::Label2, false);
  toolkit.SetVisible(Control::Label3, false);
  toolkit.SetVisible(Control::ProgressBar1, false);
  toolkit.SetVisible(Control::Label1, true);
  toolkit.SetEnabled(1, true);
  save("form1-finished.png");
}

}  // namespace
}  // namespace virdo
