#include "ui/win32/PictureBox.h"

#include "ui/win32/Win32Backend.h"

#include <algorithm>
#include <cmath>

namespace ui::win32
{
namespace
{

const wchar_t kClass[] = L"TavrinPictureBox";

COLORREF colorRef(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

int vbShift()
{
    return (GetKeyState(VK_SHIFT) < 0 ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
           (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

// The virtual-key codes of the arrows, space, digits and letters are the
// classic key codes; every other key arrives as 0, so punctuation cannot pass
// for an arrow.
int vbKeyCode(WPARAM vk)
{
    const bool classic = (vk >= VK_LEFT && vk <= VK_DOWN) || vk == VK_SPACE || (vk >= '0' && vk <= '9') ||
                         (vk >= 'A' && vk <= 'Z');
    return classic ? int(vk) : 0;
}

void registerClass()
{
    static const bool done = []
    {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kClass;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)done;
}

}  // namespace

PictureBox::PictureBox(HWND parent, int x, int y, int width, int height, HFONT font) : font_(font)
{
    registerClass();
    width_ = std::max(1, width);
    height_ = std::max(1, height);
    LOGFONTW lf{};
    GetObjectW(font, sizeof lf, &lf);
    points_ = std::abs(lf.lfHeight) * 72.0 / (1440.0 / twipsPerPixel());

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down, so row y is line y
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<uint32_t*>(bits);
    oldBitmap_ = SelectObject(dc_, bitmap_);
    SelectObject(dc_, font_);
    SetBkMode(dc_, TRANSPARENT);
    std::fill(bits_, bits_ + size_t(width_) * size_t(height_), 0xFFFFFFu);

    hwnd_ = CreateWindowExW(0, kClass, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, x, y,
                            width_, height_, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PictureBox::proc));
}

PictureBox::~PictureBox()
{
    if (IsWindow(hwnd_))
    {
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    }
    SelectObject(dc_, oldBitmap_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

void PictureBox::setVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }
bool PictureBox::isVisible() const { return IsWindowVisible(hwnd_) != FALSE; }
void PictureBox::setFocus() { SetFocus(hwnd_); }

void PictureBox::setTakesFocus(bool takes)
{
    const LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
    SetWindowLongPtrW(hwnd_, GWL_STYLE, takes ? style | WS_TABSTOP : style & ~LONG_PTR(WS_TABSTOP));
}

double PictureBox::twipsPerPixelX() const { return twipsPerPixel(); }
double PictureBox::twipsPerPixelY() const { return twipsPerPixel(); }

// A hidden box is painted whole as it is shown, so what is drawn before then
// (the start-up's grid) marks nothing: each mark is a round trip to the Wine
// server.
void PictureBox::invalidate(const RECT* r)
{
    if (IsWindowVisible(hwnd_))
        InvalidateRect(hwnd_, r, FALSE);
}

void PictureBox::invalidate(int x, int y, int w, int h)
{
    const RECT r{x, y, x + w, y + h};
    invalidate(&r);
}

void PictureBox::Cls()
{
    GdiFlush();
    std::fill(bits_, bits_ + size_t(width_) * size_t(height_), 0xFFFFFFu);
    CurrentX = 0;
    CurrentY = 0;
    invalidate(nullptr);
}

double PictureBox::TextHeight() const
{
    // The em height in twips is the point size times 20, whatever the DPI.
    return points_ * 20.0;
}

double PictureBox::TextWidth(const std::string& text) const
{
    const std::wstring w = wide(text);
    SIZE size{};
    GetTextExtentPoint32W(dc_, w.c_str(), int(w.size()), &size);
    return size.cx * twipsPerPixelX();
}

void PictureBox::Print(const std::string& text)
{
    const std::wstring w = wide(text);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc_, &tm);
    // The font's natural line is centred in the em-high row, so the digits sit
    // inside the cell a cursor box covers.
    const double emPx = TextHeight() / twipsPerPixelY();
    const int top = int(std::lround(CurrentY / twipsPerPixelY() - (tm.tmHeight - emPx) / 2.0));
    SetTextColor(dc_, colorRef(fore_));
    SetROP2(dc_, drawMode_);
    TextOutW(dc_, int(std::lround(CurrentX / twipsPerPixelX())), top, w.c_str(), int(w.size()));
    GdiFlush();
    CurrentX = 0;
    CurrentY += TextHeight();
    invalidate(0, top - 1, width_, tm.tmHeight + 3);
}

void PictureBox::PSet(double x, double y)
{
    const int px = int(std::lround(x / twipsPerPixelX())), py = int(std::lround(y / twipsPerPixelY()));
    // A one-pixel line, not SetPixel: the pen goes through the raster
    // operation of the draw mode.
    HPEN pen = CreatePen(PS_SOLID, 1, colorRef(fore_));
    HGDIOBJ old = SelectObject(dc_, pen);
    SetROP2(dc_, drawMode_);
    MoveToEx(dc_, px, py, nullptr);
    LineTo(dc_, px + 1, py);
    SelectObject(dc_, old);
    DeleteObject(pen);
    GdiFlush();
    CurrentX = x;
    CurrentY = y;
    invalidate(px, py, 1, 1);
}

void PictureBox::FillBox(double x1, double y1, double x2, double y2, uint32_t rgb)
{
    const RECT r{int(std::lround(std::min(x1, x2) / twipsPerPixelX())),
                 int(std::lround(std::min(y1, y2) / twipsPerPixelY())),
                 int(std::lround(std::max(x1, x2) / twipsPerPixelX())),
                 int(std::lround(std::max(y1, y2) / twipsPerPixelY()))};
    HBRUSH brush = CreateSolidBrush(colorRef(rgb));
    FillRect(dc_, &r, brush);
    DeleteObject(brush);
    GdiFlush();
    CurrentX = x2;
    CurrentY = y2;
    invalidate(&r);
}

void PictureBox::Refresh()
{
    if (IsWindowVisible(hwnd_))
        UpdateWindow(hwnd_);
}

uint32_t PictureBox::pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return 0;
    GdiFlush();
    return bits_[size_t(y) * size_t(width_) + size_t(x)] & 0xFFFFFF;
}

Picture PictureBox::picture() const
{
    GdiFlush();
    Picture p{width_, height_, {}};
    p.pixels.reserve(size_t(width_) * size_t(height_));
    for (size_t i = 0; i < size_t(width_) * size_t(height_); ++i)
        p.pixels.push_back(bits_[i] & 0xFFFFFF);
    return p;
}

LRESULT CALLBACK PictureBox::proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<PictureBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->handle(message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT PictureBox::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
        case WM_PAINT:
        {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            const RECT& d = ps.rcPaint;
            BitBlt(dc, d.left, d.top, d.right - d.left, d.bottom - d.top, dc_, d.left, d.top, SRCCOPY);
            // The box's fixed single border, over the edge of the drawing area.
            HBRUSH border = CreateSolidBrush(RGB(0x80, 0x80, 0x80));
            const RECT all{0, 0, width_, height_};
            FrameRect(dc, &all, border);
            DeleteObject(border);
            EndPaint(hwnd_, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        // The labels a box holds stand on its white, as the box is cleared.
        case WM_CTLCOLORSTATIC:
            SetBkColor(reinterpret_cast<HDC>(wParam), RGB(0xFF, 0xFF, 0xFF));
            return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            SetFocus(hwnd_);
            if (onMouseDown)
                onMouseDown(message == WM_LBUTTONDOWN   ? 1
                            : message == WM_RBUTTONDOWN ? 2
                                                        : 4,
                            vbShift(), float(short(LOWORD(lParam)) * twipsPerPixelX()),
                            float(short(HIWORD(lParam)) * twipsPerPixelY()));
            return 0;
        case WM_LBUTTONDBLCLK:
            if (onDblClick)
                onDblClick();
            return 0;
        case WM_KEYDOWN:
            if (onKeyDown)
                onKeyDown(vbKeyCode(wParam), vbShift());
            return 0;
        case WM_CHAR:
            if (wParam >= 0x20 && wParam < 0x7F && onKeyPress)
                onKeyPress(int(wParam));
            return 0;
        case WM_SETFOCUS:
            if (onGotFocus)
                onGotFocus();
            return 0;
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

}  // namespace ui::win32
