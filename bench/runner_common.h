// What the two runners (Google Benchmark's on Linux, win32/runner.cpp on
// Windows) share: the registered cases, the options, and the median.
#pragma once

#include "runner.h"

#include <vector>

namespace bench::common
{

struct Case
{
    std::string name;
    std::function<void(benchmark::State&)> fn;
};

std::vector<Case>& cases();

struct Options
{
    int repetitions = 7;
    std::vector<char*> rest;  // the arguments neither option takes, the program's name first
};
// Takes `--smoke` (after which smoke() is true) and `--repetitions=N`.
Options parse(int argc, char** argv);

double median(std::vector<double> v);

}  // namespace bench::common
