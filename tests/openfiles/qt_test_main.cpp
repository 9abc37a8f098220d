// A QApplication around the GoogleTest run (widgets need one before the first is made).
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);  // test discovery runs without the test's environment
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
