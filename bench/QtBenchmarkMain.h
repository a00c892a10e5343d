#pragma once

#include <QtGlobal>
#include <benchmark/benchmark.h>

// main() for benchmarks that paint: the given Qt application type on the offscreen platform
// (unless QT_QPA_PLATFORM names another), then the benchmarks.
#define QT_BENCHMARK_MAIN(Application)                                                             \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                        \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                               \
        Application app(argc, argv);                                                               \
        benchmark::Initialize(&argc, argv);                                                        \
        benchmark::RunSpecifiedBenchmarks();                                                       \
        benchmark::Shutdown();                                                                     \
        return 0;                                                                                  \
    }
