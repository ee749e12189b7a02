// What the two driver benchmarks share: a case that sends one request per
// iteration through the host kernel substitute, and the end of the program
// that prints the table rows and fails on any kernel fault the run caused.
#pragma once

#include "runner.h"

#include <hostkernel/hk.h>

#include <cstdio>
#include <string>

namespace bench
{

// `send` makes one request and returns its result; the first failure stops
// the case. The substitute logs every port access, so the log is emptied now
// and then to keep its growth out of the figures.
template <class Send>
void addRequest(const std::string& name, Send send)
{
    add(name,
        [send](benchmark::State& st)
        {
            for (auto _ : st)
            {
                if (send().status != STATUS_SUCCESS)
                {
                    st.SkipWithError("request failed");
                    break;
                }
                if ((st.iterations() & 1023) == 0)
                    hk::ClearAccesses();
            }
        });
}

// Runs the cases and prints their rows; `teardown` removes the device and
// unloads the driver before the substitute's faults are read.
template <class Teardown>
int runRequests(int argc, char** argv, Teardown teardown)
{
    Medians m;
    const bool ok = runAll(argc, argv, m);
    for (const auto& [name, ns] : m)
        std::printf("| %s | %s |\n", name.c_str(), formatNs(ns).c_str());
    teardown();
    for (const std::string& fault : hk::TakeFaults())
    {
        std::fprintf(stderr, "kernel fault: %s\n", fault.c_str());
        return 1;
    }
    return ok ? 0 : 1;
}

}  // namespace bench
