// The in-process runner of the Windows build: the same cases, options and
// medians as the Linux runner, without the benchmark library. Each timed run
// repeats its case until it has taken 50 ms, as the Linux runner asks its
// library to.
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

constexpr double kMinRunNs = 50e6;

}  // namespace

bool runAll(int argc, char** argv, Medians& medians)
{
    const common::Options options = common::parse(argc, argv);
    if (options.rest.size() > 1)
    {
        std::fprintf(stderr, "unknown argument %s\n", options.rest[1]);
        return false;
    }
    bool ok = true;
    for (const common::Case& c : common::cases())
    {
        // The iteration count grows until one run lasts long enough to time.
        int64_t iterations = 1;
        std::vector<double> times;
        for (int run = 0; run < (smoke() ? 1 : options.repetitions);)
        {
            benchmark::State state(iterations);
            c.fn(state);
            if (state.skipped())
            {
                std::fprintf(stderr, "  %s: FAILED: %s\n", c.name.c_str(), state.error().c_str());
                ok = false;
                break;
            }
            if (!smoke() && state.elapsedNs() < kMinRunNs)
            {
                const double factor = state.elapsedNs() > 0 ? kMinRunNs * 1.4 / state.elapsedNs() : 10;
                iterations =
                    std::max<int64_t>(iterations + 1, int64_t(double(iterations) * std::min(factor, 10.0)));
                continue;
            }
            const double ns = state.elapsedNs() / double(iterations);
            times.push_back(ns);
            std::fprintf(stderr, "  %-34s %12s  (%lld iterations)\n", c.name.c_str(), formatNs(ns).c_str(),
                         static_cast<long long>(iterations));
            ++run;
        }
        if (!times.empty())
            medians[c.name] = common::median(times);
    }
    return ok;
}

}  // namespace bench
