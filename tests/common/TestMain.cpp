// Test entry shared by every test program: a QApplication exists before the
// tests are listed or run, and widgets draw offscreen unless told otherwise.
#include <QApplication>
#include <gtest/gtest.h>

#ifdef LK24_TEST_QT_WAKER
#include "ui/QtMainThreadWaker.h"
#endif

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  // Without a runtime directory Qt prints a warning on start, which ctest
  // would glue onto the names of the tests it lists.
  if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
    const std::string runtime = "/tmp/lk24-tests-runtime-" + std::to_string(::getuid());
    ::mkdir(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  }
  QApplication app(argc, argv);
#ifdef LK24_TEST_QT_WAKER
  lk24::InstallQtMainThreadWaker();
#endif
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
