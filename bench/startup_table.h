// The start-up table both start-up benchmarks (Linux and Windows) print: the
// medians of floor and program, their ratio, and the wall-clock ratio run by
// run.
#pragma once

#include <algorithm>
#include <cstdio>
#include <vector>

namespace bench::startup
{

struct Sample
{
    double ms;       // spawn to reaped
    double cpuMs;    // user + system time of the child
    double peakMiB;  // peak resident set (Linux) or working set (Windows)
};

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// `floor` and `program` hold the runs of one pair at the same index.
inline void printTable(const std::vector<Sample>& floor, const std::vector<Sample>& program,
                       const char* peakLabel)
{
    const size_t runs = std::min(floor.size(), program.size());
    std::vector<double> am, bm, ac, bc, ar, br, ratios, cpuRatios;
    for (size_t i = 0; i < runs; ++i)
    {
        am.push_back(floor[i].ms);
        bm.push_back(program[i].ms);
        ac.push_back(floor[i].cpuMs);
        bc.push_back(program[i].cpuMs);
        ar.push_back(floor[i].peakMiB);
        br.push_back(program[i].peakMiB);
        ratios.push_back(program[i].ms / floor[i].ms);
        cpuRatios.push_back(program[i].cpuMs / floor[i].cpuMs);
    }
    if (runs == 0)
        return;
    const double fm = median(am), pm = median(bm), fc = median(ac), pc = median(bc);
    const double fr = median(ar), pr = median(br);
    std::printf("| Start-up (%zu interleaved runs each, medians) | Floor | tavrin | Ratio |\n", runs);
    std::printf("|---|---:|---:|---:|\n");
    std::printf("| Exec to first paint and exit | %.1f ms | %.1f ms | %.2f× |\n", fm, pm, pm / fm);
    std::printf("| CPU time of the process (user + system) | %.1f ms | %.1f ms | %.2f× |\n", fc, pc, pc / fc);
    std::printf("| %s | %.1f MiB | %.1f MiB | %.2f× |\n", peakLabel, fr, pr, pr / fr);
    const auto [lo, hi] = std::minmax_element(ratios.begin(), ratios.end());
    std::printf(
        "\nWall-clock ratio run by run (tavrin / floor of the same pair): median %.2f×, min %.2f×, max %.2f×\n",
        median(ratios), *lo, *hi);
    std::printf("\n    ");
    for (size_t i = 0; i < runs; ++i)
        std::printf("%.2f%s", ratios[i], i + 1 < runs ? " " : "\n");
    // The two runs of a pair share the machine's load of the moment, which on
    // a shared machine moves CPU time too.
    const auto [clo, chi] = std::minmax_element(cpuRatios.begin(), cpuRatios.end());
    std::printf("\nCPU-time ratio run by run: median %.2f×, min %.2f×, max %.2f×\n", median(cpuRatios), *clo,
                *chi);
}

// Runs floor and program alternately, after `warmup` runs of each, and prints
// the table; `runOnce(which, quiet, sample)` starts one of them and measures
// it. The warm-up runs fill the file and font caches; their output is shown,
// so a program that cannot start says why. 0, or 1 when a run failed.
template <typename Name, typename RunOnce>
int runInterleaved(const Name& floor, const Name& program, int runs, int warmup, const char* peakLabel,
                   RunOnce runOnce)
{
    Sample s{};
    for (int i = 0; i < warmup; ++i)
        if (!runOnce(floor, false, s) || !runOnce(program, false, s))
            return 1;

    std::vector<Sample> a, b;
    for (int i = 0; i < runs; ++i)
    {
        Sample fa{}, pb{};
        if (!runOnce(floor, i > 0 || warmup > 0, fa) || !runOnce(program, i > 0 || warmup > 0, pb))
            return 1;
        a.push_back(fa);
        b.push_back(pb);
    }
    printTable(a, b, peakLabel);
    return 0;
}

}  // namespace bench::startup
