#pragma once

#include <QtGlobal>

#include <chrono>
#include <vector>

// What the benchmarks of the running program measure, and how they print it.
namespace talvo::bench {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start);
// The steady clock in microseconds, as the target window stamps its changes.
qint64 microsNow();
// Processor time the process has used so far, in seconds.
double cpuSeconds(qint64 pid);
double residentMegabytes(qint64 pid);
void report(const char* figure, double value, const char* unit);
// -1 for no values.
double median(std::vector<double> values);
double worst(const std::vector<double>& values);

}  // namespace talvo::bench
