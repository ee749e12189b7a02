// Start-up of the whole program, from exec to its first painted main window
// and out again, against the floor (a bare Qt main window of the same size).
// The two run alternately, floor then program, after warm-up runs of each;
// the time is taken around the child from spawn to reaped, its peak RSS from
// the child's own resource usage.
#include "startup_table.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{

using bench::startup::Sample;

double nowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

std::string g_probe;  // the first-paint probe preloaded into every child

// The environment of every child: off-screen, leaving after the first paint,
// the simulated boards' clock stopped.
std::vector<std::string> childEnvironment()
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
    {
        const std::string v = *e;
        if (v.rfind("QT_QPA_PLATFORM=", 0) == 0 || v.rfind("LD_PRELOAD=", 0) == 0 ||
            v.rfind("LUMBRA_SIM_", 0) == 0)
            continue;
        env.push_back(v);
    }
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("LD_PRELOAD=" + g_probe);
    env.push_back("LUMBRA_SIM_PULSE_HZ=0");
    return env;
}

bool runOnce(const std::string& program, bool quiet, Sample& out)
{
    static const std::vector<std::string> envStrings = childEnvironment();
    std::vector<char*> envp;
    for (const std::string& s : envStrings)
        envp.push_back(const_cast<char*>(s.c_str()));
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet)
    {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    const double start = nowMs();
    pid_t pid = 0;
    const int err = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0)
    {
        std::fprintf(stderr, "cannot start %s: %s\n", program.c_str(), std::strerror(err));
        return false;
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0)
        if (errno != EINTR)
            return false;
    out.ms = nowMs() - start;
    out.peakMiB = usage.ru_maxrss / 1024.0;
    const auto toMs = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    out.cpuMs = toMs(usage.ru_utime) + toMs(usage.ru_stime);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    {
        std::fprintf(stderr, "%s ended with status %d\n", program.c_str(), status);
        return false;
    }
    return true;
}

int usage()
{
    std::fprintf(stderr,
                 "usage: tavrin_bench_startup PROGRAM FLOOR FIRST_PAINT_PROBE.so [--runs N] [--warmup N]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return usage();
    const std::string program = argv[1], floor = argv[2];
    g_probe = argv[3];
    int runs = 15, warmup = 2;
    for (int i = 4; i + 1 < argc; i += 2)
    {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--warmup") == 0)
            warmup = std::max(0, std::atoi(argv[i + 1]));
        else
            return usage();
    }

    return bench::startup::runInterleaved(floor, program, runs, warmup, "Peak RSS", runOnce);
}
