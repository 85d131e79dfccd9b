#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>

// main() of a benchmark that needs widgets: an offscreen QApplication around the runs, then
// the goal the figures are read against.
#define ROTAVOX_WIDGET_BENCHMARK_MAIN(goal)                                                    \
  int main(int argc, char** argv) {                                                            \
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen"); \
    QApplication app(argc, argv);                                                              \
    benchmark::Initialize(&argc, argv);                                                        \
    benchmark::RunSpecifiedBenchmarks();                                                       \
    benchmark::Shutdown();                                                                     \
    std::printf("%s\n", goal);                                                                 \
    return 0;                                                                                  \
  }
