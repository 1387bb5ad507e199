// Shared main of the benchmarks: a headless Qt application, then Google
// Benchmark. Every benchmark reports the median of its repetitions.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <vector>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::vector<char*> args(argv, argv + argc);
    std::string reps = "--benchmark_repetitions=5";
    std::string agg = "--benchmark_report_aggregates_only=true";
    bool hasReps = false;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0)
            hasReps = true;
    if (!hasReps) {
        args.push_back(reps.data());
        args.push_back(agg.data());
    }
    int n = int(args.size());
    benchmark::Initialize(&n, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
