// What every in-process benchmark program of the tree shares: a smoke mode
// for the test command (each case once, nothing timed), repetitions with the
// median kept otherwise, and the medians handed back for the table.
#pragma once

#ifdef _WIN32
#include "win32/state.h"
#else
#include <benchmark/benchmark.h>
#endif

#include <functional>
#include <map>
#include <string>

namespace bench
{

// Registers a case under `name`; the runner decides how often it runs.
void add(const std::string& name, std::function<void(benchmark::State&)> fn);

// Median CPU time per iteration in nanoseconds, by case name.
using Medians = std::map<std::string, double>;

// Runs every registered case and returns the medians. `--smoke` in the
// arguments runs each case for one iteration only; `--repetitions=N` sets how
// many timed runs the median is taken over (default 7). Other arguments go to
// the benchmark library. Returns false when a case failed.
bool runAll(int argc, char** argv, Medians& medians);

// True after runAll saw `--smoke`.
bool smoke();

// A time in the unit that keeps it readable: ns, µs or ms.
std::string formatNs(double ns);

}  // namespace bench
