// The real program on one virtual desktop (X server, window manager, tray host, session and
// accessibility buses) with one private sound server and its virtual microphone, shared by
// every case.
#include "e2e/dictation_steps.h"
#include "desktop/virtual_desktop.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  using namespace talvo::test;
  return runInVirtualDesktop(argc, argv,
                             {.accessibility = true, .windowManager = true, .tray = true}, [&] {
                               QCoreApplication app(argc, argv);
                               const auto sound = startDictationSound();
                               return sound ? RUN_ALL_TESTS() : 1;
                             });
}
