// Hooked into both start-up children (the program and the floor) by the
// benchmark, so the shipped program carries no benchmark code: after the
// first paint of the main window (its children painted with it), it asks
// the thread's message loop to end, the ordinary way out. As the process
// leaves, it hands the benchmark the process's CPU time and holds the process
// while the benchmark reads its peak working set, which Wine only reports for
// a process that is still there.
#include <windows.h>

#include <cstdint>
#include <string>

namespace
{

bool painted = false;

std::wstring eventName(const wchar_t* what)
{
    return L"Local\\tavrin-bench-" + std::to_wstring(GetCurrentProcessId()) + L"-" + what;
}

// Linux's account of the whole process, to the microsecond: user + system.
// Wine's GetProcessTimes counts in the kernel's 10 ms ticks, and for another
// process it answers with the caller's own times, so the benchmark cannot ask
// from outside.
// getrusage(RUSAGE_SELF) straight to the kernel: call 98 on x86-64, 77 on
// i386, where Wine runs the program as an ordinary Linux process.
double linuxCpuMs()
{
#if defined(__x86_64__)
    struct
    {
        int64_t utime[2], stime[2], rest[14];
    } ru{};
    int64_t ret = 0;
    asm volatile("syscall"
                 : "=a"(ret)
                 : "a"(int64_t(98)), "D"(int64_t(0)), "S"(&ru)
                 : "rcx", "r11", "memory");
#else
    struct
    {
        int32_t utime[2], stime[2], rest[14];
    } ru{};
    int32_t ret = 0;
    asm volatile("int $0x80" : "=a"(ret) : "a"(77), "b"(0), "c"(&ru) : "memory");
#endif
    if (ret != 0)
        return -1;
    return (ru.utime[0] + ru.stime[0]) * 1e3 + (ru.utime[1] + ru.stime[1]) / 1e3;
}

double cpuMs()
{
    // Only Wine's ntdll exports its version.
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        return linuxCpuMs();
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return -1;
    const auto ms = [](const FILETIME& t)
    { return (ULONGLONG(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e4; };
    return ms(kernel) + ms(user);
}

void reportEnd()
{
    HANDLE ended = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName(L"ended").c_str());
    HANDLE taken = OpenEventW(SYNCHRONIZE, FALSE, eventName(L"taken").c_str());
    HANDLE cpu = OpenFileMappingW(FILE_MAP_WRITE, FALSE, eventName(L"cpu").c_str());
    if (ended && taken && cpu)
    {
        if (void* view = MapViewOfFile(cpu, FILE_MAP_WRITE, 0, 0, sizeof(double)))
        {
            *static_cast<double*>(view) = cpuMs();
            UnmapViewOfFile(view);
        }
        SetEvent(ended);
        WaitForSingleObject(taken, 10000);
    }
    if (ended)
        CloseHandle(ended);
    if (taken)
        CloseHandle(taken);
    if (cpu)
        CloseHandle(cpu);
}

WNDPROC formProc = nullptr;

LRESULT CALLBACK watchFirstPaint(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CallWindowProcW(formProc, hwnd, message, wParam, lParam);
    if (message == WM_PAINT && !painted)
    {
        painted = true;
        // The children's paint is still queued; it is part of the first frame.
        RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        PostQuitMessage(0);
    }
    return result;
}

}  // namespace

// The benchmark's hook brings the probe into the process as the first window
// is made. A hook runs through the server on every call, so it only serves to
// find the main window: that is subclassed, and the benchmark, told so, lets
// go of the hook.
extern "C" __declspec(dllexport) LRESULT CALLBACK
    tavrinBenchFirstPaint(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && !formProc)
    {
        const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam)->lpcs;
        if (!(create->style & WS_CHILD) && (create->style & WS_CAPTION) == WS_CAPTION)
        {
            HWND hwnd = reinterpret_cast<HWND>(wParam);
            formProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(watchFirstPaint)));
            if (HANDLE found = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName(L"found").c_str()))
            {
                SetEvent(found);
                CloseHandle(found);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    // A non-null `reserved` on detach: the process is ending, not unloading us.
    if (reason == DLL_PROCESS_DETACH && reserved && painted)
        reportEnd();
    return TRUE;
}
