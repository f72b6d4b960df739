// Prints the focus verdict for the current desktop, for tests that need a probe in a
// process of its own: one that has heard no focus event yet and must search the tree.
//   insertion_verdict_probe [SEARCH_MS]
#include "insertion/atspi_focus_probe.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  auto searchTime = talvo::AtspiFocusProbe::defaultSearchTime;
  if (argc > 1) searchTime = std::chrono::milliseconds(QByteArray(argv[1]).toInt());
  talvo::AtspiFocusProbe probe(QCoreApplication::applicationPid(), searchTime);
  std::printf("%s\n", qPrintable(talvo::toString(probe.verdict())));
  return 0;
}
