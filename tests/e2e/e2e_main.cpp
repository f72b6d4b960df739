// The real program on one virtual desktop (X server, window manager, tray host, session and
// accessibility buses) with one private sound server and its virtual microphone, shared by
// every case.
#include "audio/mic/pulse_server.h"
#include "desktop/virtual_desktop.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
  using namespace talvo::test;
  return runInVirtualDesktop(
      argc, argv, {.accessibility = true, .windowManager = true, .tray = true}, [&] {
        QCoreApplication app(argc, argv);
        // Sounds go to a sink of their own, so the program never hears its own start sound.
        PulseServer pulse(PulseServer::virtualMicrophone() + PulseServer::outputOnly());
        if (!pulse.running() || !PulseServer::run("pactl", {"set-default-sink", "speakers"}) ||
            !PulseServer::run("pactl", {"set-default-source", "vmic"})) {
          std::fprintf(stderr, "sound server: %s\n", qPrintable(pulse.log()));
          return 1;
        }
        return RUN_ALL_TESTS();
      });
}
