// The program entry: Form1 on the Qt window and the Linux file system.
#include <QApplication>

#include "app/Form1.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/qt/QtWindowToolkit.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("virdo-updater");
  virdo::QtWindowToolkit toolkit;
  virdo::Form1 form(toolkit, [] { return virdo::MakeLinuxFileSystem(); });
  return toolkit.Run(virdo::Form1Layout(), form);
}
