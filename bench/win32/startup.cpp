// Start-up of tavrin.exe, from process creation to its first painted main
// window and out again, against the floor (a bare Win32 window of the same
// client size, menu bar and status bar). The two run alternately, floor then
// program, after warm-up runs of each. Each child starts suspended, gets the
// first-paint probe hooked onto its main thread, and is let go; as it leaves,
// the probe hands over its CPU time and holds it for the moment it takes to
// read its peak working set.
#include "startup_table.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace
{

using bench::startup::Sample;

HMODULE g_probe = nullptr;
HOOKPROC g_hook = nullptr;

double nowMs()
{
    static LARGE_INTEGER freq = []
    {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart * 1e3 / freq.QuadPart;
}

std::wstring probeName(DWORD pid, const wchar_t* what)
{
    return L"Local\\tavrin-bench-" + std::to_wstring(pid) + L"-" + what;
}

HANDLE namedEvent(DWORD pid, const wchar_t* what)
{
    return CreateEventW(nullptr, TRUE, FALSE, probeName(pid, what).c_str());
}

// A handle closed with its scope.
struct Owned
{
    HANDLE h;
    ~Owned()
    {
        if (h && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
    operator HANDLE() const { return h; }
};

// What the runner and the probe in one child meet by: the child's process id
// in their names.
struct Meeting
{
    explicit Meeting(DWORD pid)
        : found{namedEvent(pid, L"found")}, ended{namedEvent(pid, L"ended")},
          taken{namedEvent(pid, L"taken")}, cpu{CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr,
                                                                   PAGE_READWRITE, 0, sizeof(double),
                                                                   probeName(pid, L"cpu").c_str())}
    {
    }
    Owned found;  // the probe has found the main window
    Owned ended;  // the process is ending, its CPU time written
    Owned taken;  // the runner has read what it needs
    Owned cpu;    // the CPU time, in milliseconds
};

bool runOnce(const std::wstring& program, bool quiet, Sample& out)
{
    STARTUPINFOW si{};
    si.cb = sizeof si;
    HANDLE nul = INVALID_HANDLE_VALUE;
    if (quiet)
    {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = si.hStdError = nul;
    }
    std::wstring cmd = L"\"" + program + L"\"";
    PROCESS_INFORMATION pi{};
    const double start = nowMs();
    if (!CreateProcessW(program.c_str(), cmd.data(), nullptr, nullptr, quiet, CREATE_SUSPENDED, nullptr,
                        nullptr, &si, &pi))
    {
        std::fprintf(stderr, "cannot start %ls: error %lu\n", program.c_str(), GetLastError());
        if (nul != INVALID_HANDLE_VALUE)
            CloseHandle(nul);
        return false;
    }
    const Owned process{pi.hProcess}, thread{pi.hThread}, nulOut{nul};
    const Meeting m(pi.dwProcessId);
    void* cpuView = m.cpu ? MapViewOfFile(m.cpu, FILE_MAP_READ, 0, 0, sizeof(double)) : nullptr;
    HHOOK hook = SetWindowsHookExW(WH_CBT, g_hook, g_probe, pi.dwThreadId);
    if (!hook)
    {
        std::fprintf(stderr, "cannot hook the probe onto %ls: error %lu\n", program.c_str(), GetLastError());
        TerminateProcess(pi.hProcess, 1);
        return false;
    }
    ResumeThread(pi.hThread);

    // Once the probe has found the main window the hook only costs the child time.
    HANDLE whenFound[] = {m.found, pi.hProcess};
    WaitForMultipleObjects(2, whenFound, FALSE, 60000);
    UnhookWindowsHookEx(hook);
    HANDLE waitFor[] = {m.ended, pi.hProcess};
    const DWORD woke = WaitForMultipleObjects(2, waitFor, FALSE, 60000);
    bool ok = woke == WAIT_OBJECT_0;
    if (ok)
    {
        PROCESS_MEMORY_COUNTERS mem{};
        mem.cb = sizeof mem;
        out.cpuMs = cpuView ? *static_cast<const double*>(cpuView) : -1;
        ok = GetProcessMemoryInfo(pi.hProcess, &mem, sizeof mem) && out.cpuMs >= 0;
        if (!ok)
            std::fprintf(stderr, "%ls: no CPU time or peak working set\n", program.c_str());
        out.peakMiB = mem.PeakWorkingSetSize / (1024.0 * 1024.0);
        SetEvent(m.taken);
    }
    else
        std::fprintf(stderr, "%ls %s\n", program.c_str(),
                     woke == WAIT_OBJECT_0 + 1 ? "ended before its first paint"
                                               : "did not paint in a minute");
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    out.ms = nowMs() - start;
    if (cpuView)
        UnmapViewOfFile(cpuView);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    if (ok && code != 0)
    {
        std::fprintf(stderr, "%ls ended with status %lu\n", program.c_str(), code);
        ok = false;
    }
    return ok;
}

int usage()
{
    std::fprintf(
        stderr,
        "usage: tavrin_bench_startup PROGRAM.exe FLOOR.exe FIRST_PAINT_PROBE.dll [--runs N] [--warmup N]\n");
    return 2;
}

// A path as the Windows calls take it, absolute.
std::wstring fullPath(const char* path)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path, -1, w.data(), n);
    wchar_t full[MAX_PATH];
    return GetFullPathNameW(w.c_str(), MAX_PATH, full, nullptr) ? full : w.c_str();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return usage();
    const std::wstring program = fullPath(argv[1]), floor = fullPath(argv[2]), probe = fullPath(argv[3]);
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
    g_probe = LoadLibraryW(probe.c_str());
    g_hook = g_probe ? reinterpret_cast<HOOKPROC>(
                           reinterpret_cast<void*>(GetProcAddress(g_probe, "tavrinBenchFirstPaint")))
                     : nullptr;
    if (!g_hook)
    {
        std::fprintf(stderr, "cannot load the probe %ls\n", probe.c_str());
        return 1;
    }
    // The simulated boards' clock stopped: nothing moves under the measurement.
    SetEnvironmentVariableW(L"LUMBRA_SIM_PULSE_HZ", L"0");

    return bench::startup::runInterleaved(floor, program, runs, warmup, "Peak working set", runOnce);
}
