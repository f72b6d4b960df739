#pragma once

#include "desktop/virtual_desktop.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

namespace talvo::test {

// Entry of a desktop test program. Listing the tests (as test discovery does at build
// time) needs no desktop; running them starts one first, because the toolkit reads
// DISPLAY once, then hands over to `run`, which makes the Qt application and runs the tests.
inline int runInVirtualDesktop(int& argc, char** argv, VirtualDesktop::Options options,
                               const std::function<int()>& run) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]).starts_with("--gtest_list_tests")) return RUN_ALL_TESTS();
  VirtualDesktop desktop(options);
  if (!desktop.ok()) {
    std::fprintf(stderr, "virtual desktop: %s\n", qPrintable(desktop.problem()));
    return 1;
  }
  return run();
}

}  // namespace talvo::test
