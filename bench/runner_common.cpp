#include "runner_common.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench
{
namespace
{

bool smokeMode = false;

}  // namespace

namespace common
{

std::vector<Case>& cases()
{
    static std::vector<Case> all;
    return all;
}

Options parse(int argc, char** argv)
{
    Options o;
    for (int i = 0; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--smoke") == 0)
            smokeMode = true;
        else if (std::strncmp(argv[i], "--repetitions=", 14) == 0)
            o.repetitions = std::max(1, std::atoi(argv[i] + 14));
        else
            o.rest.push_back(argv[i]);
    }
    return o;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace common

void add(const std::string& name, std::function<void(benchmark::State&)> fn)
{
    common::cases().push_back({name, std::move(fn)});
}

bool smoke() { return smokeMode; }

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
