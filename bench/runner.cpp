#include "runner.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace bench
{
namespace
{

struct Case
{
    std::string name;
    std::function<void(benchmark::State&)> fn;
};

std::vector<Case>& cases()
{
    static std::vector<Case> all;
    return all;
}

bool smokeMode = false;

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

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

void add(const std::string& name, std::function<void(benchmark::State&)> fn)
{
    cases().push_back({name, std::move(fn)});
}

bool smoke() { return smokeMode; }

bool runAll(int argc, char** argv, Medians& medians)
{
    int repetitions = 7;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--smoke") == 0)
            smokeMode = true;
        else if (std::strncmp(argv[i], "--repetitions=", 14) == 0)
            repetitions = std::max(1, std::atoi(argv[i] + 14));
        else
            rest.push_back(argv[i]);
    }
    int restCount = int(rest.size());
    benchmark::Initialize(&restCount, rest.data());

    for (const Case& c : cases())
    {
        auto* b = benchmark::RegisterBenchmark(c.name.c_str(), c.fn);
        if (smokeMode)
            b->Iterations(1);
        else
            b->Repetitions(repetitions)->MinTime(0.05);
    }
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    for (const auto& [name, v] : collector.times)
        medians[name] = median(v);
    return !collector.failed;
}

std::string formatNs(double ns)
{
    char buffer[32];
    if (ns < 1e3)
        std::snprintf(buffer, sizeof buffer, "%.1f ns", ns);
    else if (ns < 1e6)
        std::snprintf(buffer, sizeof buffer, "%.1f µs", ns / 1e3);
    else
        std::snprintf(buffer, sizeof buffer, "%.2f ms", ns / 1e6);
    return buffer;
}

}  // namespace bench
