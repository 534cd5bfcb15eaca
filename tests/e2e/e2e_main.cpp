// Runs the end-to-end scenarios against the setup.exe named on the command line.
#include <gtest/gtest.h>

#include <stdio.h>

#include "tests/e2e/driver.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    fprintf(stderr, "usage: %s path\\to\\setup.exe [gtest options]\n", argv[0]);
    return 2;
  }
  // setup.exe is DPI-aware; so is its driver, so that window rectangles and screen
  // pixels come unscaled, as setup.exe sees them.
  SetProcessDPIAware();
  e2e::SetSetupExe(argv[1]);
  if (!e2e::FileExists(e2e::SetupExe())) {
    fprintf(stderr, "setup.exe not found at %s\n", e2e::SetupExe().c_str());
    return 2;
  }
  return RUN_ALL_TESTS();
}
