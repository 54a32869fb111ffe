#pragma once

#include "bench_support.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace stanzel::bench {

// The main of a benchmark of window code: an application on Qt's offscreen
// platform, the benchmarks run, then the table of targets they print.
inline int RunWindowBenchmarks(int argc, char** argv,
                               void (*printTargets)(const RunTimesReporter&)) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RunTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printTargets(reporter);
    benchmark::Shutdown();
    return reporter.AnyFailed() ? 1 : 0;
}

} // namespace stanzel::bench
