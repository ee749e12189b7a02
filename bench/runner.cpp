#include "runner.h"
#include "runner_common.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace bench
{
namespace
{

// Keeps the per-run times of every case and shows progress on stderr, so the
// table on stdout stays clean.
class Collector : public benchmark::BenchmarkReporter
{
public:
    bool ReportContext(const Context&) override { return true; }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
        {
            if (run.run_type != Run::RT_Iteration)
                continue;
            const std::string name = run.run_name.function_name;
            if (run.error_occurred)
            {
                std::fprintf(stderr, "  %s: FAILED: %s\n", name.c_str(), run.error_message.c_str());
                failed = true;
                continue;
            }
            const double ns =
                run.GetAdjustedCPUTime() * (1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit));
            times[name].push_back(ns);
            std::fprintf(stderr, "  %-34s %12s  (%lld iterations)\n", name.c_str(), formatNs(ns).c_str(),
                         static_cast<long long>(run.iterations));
        }
    }

    std::map<std::string, std::vector<double>> times;
    bool failed = false;
};

}  // namespace

bool runAll(int argc, char** argv, Medians& medians)
{
    common::Options options = common::parse(argc, argv);
    std::vector<char*>& rest = options.rest;
    const int repetitions = options.repetitions;
    int restCount = int(rest.size());
    benchmark::Initialize(&restCount, rest.data());

    for (const common::Case& c : common::cases())
    {
        auto* b = benchmark::RegisterBenchmark(c.name.c_str(), c.fn);
        if (smoke())
            b->Iterations(1);
        else
            b->Repetitions(repetitions)->MinTime(0.05);
    }
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    for (const auto& [name, v] : collector.times)
        medians[name] = common::median(v);
    return !collector.failed;
}

}  // namespace bench
