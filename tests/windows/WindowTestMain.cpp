// Entry of the window's tests cross-built for Windows: a QApplication on the
// offscreen platform unless told otherwise, and the port's hand-over
// through the hidden window, as LK24.exe has it.
#include "ui/QtMainThreadWaker.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  lk24::InstallQtMainThreadWaker();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
