#pragma once

#include "Platform/ProcessExit.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <initializer_list>
#include <map>
#include <string>

namespace benchsupport {

// A goal stated as one benchmark's time over another's, both from the same run.
struct Ratio {
    const char *label;
    const char *measured;
    const char *baseline;
};

// Keeps each benchmark's time (the median when repeated) for the ratios, its
// counters (goals measured as a factor, such as times real time), and whether any
// benchmark failed.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.error_occurred)
                failed = true;
            else if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
                times[run.run_name.function_name] = run.GetAdjustedRealTime();
                for (const auto &[name, counter] : run.counters)
                    counters[run.run_name.str() + " " + name] = counter.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatio(const Ratio &ratio) const
    {
        const auto m = times.find(ratio.measured);
        const auto b = times.find(ratio.baseline);
        if (m != times.end() && b != times.end() && b->second > 0)
            std::printf("%s: %.2fx\n", ratio.label, m->second / b->second);
    }

    void printCounters() const
    {
        for (const auto &[name, value] : counters)
            std::printf("%s: %.1fx\n", name.c_str(), value);
    }

    std::map<std::string, double> times;
    std::map<std::string, double> counters;
    bool failed = false;
};

// Runs the benchmarks the command line selects, then prints each ratio and counter.
// Fails when a benchmark reported an error, so that a broken one does not pass unseen.
inline int runBenchmarks(int argc, char **argv, std::initializer_list<Ratio> ratios)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const Ratio &ratio : ratios)
        reporter.printRatio(ratio);
    reporter.printCounters();
    benchmark::Shutdown();
    return reporter.failed ? 1 : 0;
}

} // namespace benchsupport

// The main of a benchmark whose code needs a Qt application: coroutines resume
// through its event loop, QAudioSink and QtSql need it to exist. The arguments are
// the ratios (benchsupport::Ratio) it prints after the run. It leaves as the app
// does, once the application is gone and without Qt's exit-time statics: the sound
// engine's can crash a process that played sound (see talvoro::exitProcess).
#define TALVORO_QT_BENCHMARK_MAIN(...)                                                                                 \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        const int status = [&] {                                                                                       \
            QCoreApplication app(argc, argv);                                                                          \
            return benchsupport::runBenchmarks(argc, argv, {__VA_ARGS__});                                             \
        }();                                                                                                           \
        talvoro::exitProcess(status);                                                                                  \
    }
