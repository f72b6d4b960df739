// Prints the focus verdict for the current desktop, for tests that need the probe in a
// process of its own (the accessibility connection is per process).
#include "insertion/atspi_focus_probe.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  talvo::AtspiFocusProbe probe(QCoreApplication::applicationPid());
  std::printf("%s\n", qPrintable(talvo::toString(probe.verdict())));
  return 0;
}
