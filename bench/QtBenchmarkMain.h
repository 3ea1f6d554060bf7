#pragma once

#include <QCoreApplication>

#include <benchmark/benchmark.h>

// The main of a benchmark whose code needs a Qt application: coroutines resume
// through its event loop, QAudioSink and QtSql need it to exist.
#define TALVORO_QT_BENCHMARK_MAIN()                                                                                    \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        QCoreApplication app(argc, argv);                                                                              \
        benchmark::Initialize(&argc, argv);                                                                            \
        if (benchmark::ReportUnrecognizedArguments(argc, argv))                                                        \
            return 1;                                                                                                  \
        benchmark::RunSpecifiedBenchmarks();                                                                           \
        benchmark::Shutdown();                                                                                         \
        return 0;                                                                                                      \
    }
