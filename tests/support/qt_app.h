#pragma once
// The one application object of a test executable (offscreen platform): the programs' own
// application class, so escaped exceptions reach the handler as they do in the programs.

#include <cstdlib>

#include "widgets/application.h"

namespace zq::testing {

inline ZqApplication& QtApp() {
  static int argc = 1;
  static char name[] = "zq-tests";
  static char* argv[] = {name, nullptr};
  static ZqApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new ZqApplication(argc, argv);
  }();
  return *app;
}

}  // namespace zq::testing
