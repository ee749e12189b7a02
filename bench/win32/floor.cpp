// The start-up floor on Windows: a bare top-level window with the program's
// client size, manifest and icon, its menu bar from the same captions and a
// status bar, and nothing else. Like the program, it leaves after its first paint through the
// probe the benchmark hooks onto it.
#include "floor_menus.h"

#include <windows.h>
#include <commctrl.h>

#include <iterator>
#include <string>

namespace
{

std::wstring wide(const char* utf8)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, w.data(), n);
    w.resize(n - 1);
    return w;
}

HMENU makeMenus()
{
    HMENU bar = CreateMenu();
    UINT id = 1000;
    const size_t n = std::size(bench::floor::kMenus);
    for (size_t i = 0; i < n; ++i)
    {
        const auto& entry = bench::floor::kMenus[i];
        HMENU popup = nullptr;
        while (i + 1 < n && bench::floor::kMenus[i + 1].item)
        {
            if (!popup)
                popup = CreatePopupMenu();
            AppendMenuW(popup, MF_STRING, ++id, wide(bench::floor::kMenus[++i].caption).c_str());
        }
        if (popup)
            AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), wide(entry.caption).c_str());
        else
            AppendMenuW(bar, MF_STRING, ++id, wide(entry.caption).c_str());
    }
    return bar;
}

LRESULT CALLBACK floorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
    {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpfnWndProc = floorProc;
    wc.lpszClassName = L"TavrinBenchFloor";
    wc.hIcon = LoadIconW(instance, L"TAVRIN");
    RegisterClassExW(&wc);

    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    RECT r{0, 0, MulDiv(bench::floor::kClientWidthTwips, dpiX, 1440),
           MulDiv(bench::floor::kClientHeightTwips, dpiY, 1440)};
    AdjustWindowRectEx(&r, style, TRUE, 0);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Tavrin", style, CW_USEDEFAULT, CW_USEDEFAULT,
                                r.right - r.left, r.bottom - r.top, nullptr, makeMenus(), instance, nullptr);
    CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd, nullptr, instance,
                    nullptr);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DestroyWindow(hwnd);
    return int(msg.wParam);
}
