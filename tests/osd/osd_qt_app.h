// The one QApplication of a Qt test binary, created on first use.
#pragma once

#include <QApplication>

namespace kv::osd::test {

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "osd_tests";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

}  // namespace kv::osd::test
