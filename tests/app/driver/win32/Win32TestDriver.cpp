// The test driver on the Win32 back end: the messages Windows itself sends for
// mouse, keyboard, menus and the close box, posted to the real controls and
// pumped through the program's own message loop (dialog keys, translation,
// dispatch), on a real display (Xvfb under Wine).
#include "driver/TestDriver.h"

#include "Tavrinmain.h"
#include "ui/win32/PictureBox.h"
#include "ui/win32/Win32Backend.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <vector>

namespace driver
{
namespace
{

using ui::win32::controlOf;
using ui::win32::formOf;
using ui::win32::hwndOf;
using ui::win32::windowOf;

// The plain text boxes the driver makes itself, which the back end does not know.
std::map<const ui::Control*, HWND> ownBoxes;

HWND hwnd(const ui::Control* c)
{
    HWND h = hwndOf(c);
    if (!h)
    {
        const auto own = ownBoxes.find(c);
        if (own == ownBoxes.end())
            std::abort();
        h = own->second;
    }
    return h;
}

HWND window(const ui::Form& f) { return windowOf(&f); }

int toPx(double twips) { return int(std::lround(twips / ui::win32::twipsPerPixel())); }
double toTwips(int px) { return px * ui::win32::twipsPerPixel(); }

// Every message the program would see from its loop, until nothing is left; a
// bound keeps a window that never stops invalidating itself from hanging the
// test.
void pump()
{
    MSG msg;
    for (int i = 0; i < 100000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i)
    {
        if (msg.message == WM_QUIT)
        {
            PostQuitMessage(int(msg.wParam));
            return;
        }
        ui::win32::dispatch(msg);
    }
}

// Pumps until `done` holds or about ten seconds of idle waits have passed.
template <class Done>
bool pumpUntil(Done done)
{
    for (int i = 0; i < 1000; ++i)
    {
        pump();
        if (done())
            return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return done();
}

BOOL CALLBACK collect(HWND w, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
    return TRUE;
}

std::vector<HWND> threadWindows()
{
    std::vector<HWND> all;
    EnumThreadWindows(GetCurrentThreadId(), collect, reinterpret_cast<LPARAM>(&all));
    return all;
}

bool isMessageBox(HWND w)
{
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, 16);
    return std::wcscmp(cls, L"#32770") == 0 && !formOf(w);
}

bool isModalWindow(HWND w)
{
    if (!IsWindowVisible(w) || !IsWindowEnabled(w))
        return false;
    if (isMessageBox(w))
        return true;
    const ui::Form* f = formOf(w);
    return f && ui::win32::isShownModally(f);
}

// The modal window that takes the input now: a message box over a modal form
// leaves the form disabled.
HWND currentModal()
{
    for (HWND w : threadWindows())
        if (isModalWindow(w))
            return w;
    return nullptr;
}

std::string windowText(HWND w)
{
    std::wstring text(size_t(GetWindowTextLengthW(w)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(w, text.data(), int(text.size()))));
    return ui::win32::utf8(text);
}

bool shownButton(HWND box, int id)
{
    HWND b = GetDlgItem(box, id);
    return b && IsWindowVisible(b);
}

// The message box's text is the static control every message box names 0xFFFF.
MessageBoxSeen seenIn(HWND box)
{
    MessageBoxSeen seen;
    seen.shown = true;
    seen.title = windowText(box);
    if (HWND text = GetDlgItem(box, 0xFFFF))
        seen.text = windowText(text);
    seen.buttons = shownButton(box, IDCANCEL) ? ui::Buttons::OkCancel : ui::Buttons::Ok;
    const LRESULT def = SendMessageW(box, DM_GETDEFID, 0, 0);
    if (HIWORD(def) == DC_HASDEFID)
        seen.defaultButton = LOWORD(def) == IDOK       ? ui::Answer::Ok
                             : LOWORD(def) == IDCANCEL ? ui::Answer::Cancel
                                                       : ui::Answer::None;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if ((GetWindowLongPtrW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(c) &&
            SendMessageW(c, STM_GETICON, 0, 0))
            seen.icon = ui::Icon::Critical;
    return seen;
}

class Win32Modal : public Modal
{
public:
    explicit Win32Modal(HWND w) : w_(w) {}
    ui::Form* form() const override { return IsWindow(w_) ? formOf(w_) : nullptr; }
    MessageBoxSeen box() const override
    {
        return IsWindow(w_) && isMessageBox(w_) ? seenIn(w_) : MessageBoxSeen{};
    }
    void answer(ui::Answer a) override
    {
        const int id = a == ui::Answer::Cancel ? IDCANCEL : IDOK;
        if (a == ui::Answer::None || !IsWindow(w_) || !isMessageBox(w_) || !shownButton(w_, id))
        {
            close();
            return;
        }
        SendMessageW(GetDlgItem(w_, id), BM_CLICK, 0, 0);
    }
    void close() override
    {
        if (IsWindow(w_))
            SendMessageW(w_, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    bool isOpen() const override { return IsWindow(w_) && IsWindowVisible(w_); }
    const void* window() const override { return w_; }
    bool activate() override;
    Rect clientArea() const override
    {
        RECT r{};
        GetClientRect(w_, &r);
        return {0, 0, r.right, r.bottom};
    }
    void clickAt(int x, int y) override;
    void key(Key k, unsigned mods) override;
    void keyChar(char ch) override;
    const ui::Control* focused() const override
    {
        HWND focus = focusInside();
        return focus != w_ ? controlOf(focus) : nullptr;
    }
    std::vector<std::string> buttons() const override;
    void clickButton(int n) override;
    int focusedButton() const override
    {
        const std::vector<HWND> all = shownButtons();
        const auto it = std::find(all.begin(), all.end(), GetFocus());
        return it == all.end() ? -1 : int(it - all.begin());
    }

private:
    HWND focusInside() const
    {
        HWND focus = GetFocus();
        return focus && (focus == w_ || IsChild(w_, focus)) ? focus : w_;
    }
    std::vector<HWND> shownButtons() const;

    HWND w_;
};

// ---- Modal watchers --------------------------------------------------------
//
// A modal window is looked for whenever a window of the thread is activated
// (a modal window is, as it opens): the look is posted to the driver's own
// window, so it runs from inside the modal window's loop.

struct Watch
{
    ModalWatch* owner;
    ui::Answer answer;
    ModalWatch::Action onOpen;
    std::set<HWND> seen;
};

std::vector<std::function<void(Modal&)>> pendingOnce;
// What later() holds until its time comes, by timer id.
std::map<UINT_PTR, std::function<void()>> laterOnes;
UINT_PTR lastLater = 1;
std::vector<Watch*> watches;
std::set<HWND> busy;  // a modal window some action is working on
HWND driverWindow = nullptr;
const UINT kLookForModal = WM_APP + 1;
const UINT kRunLater = WM_APP + 2;
const UINT_PTR kModalTimer = 1;

void runLater(UINT_PTR id)
{
    const auto it = laterOnes.find(id);
    if (it == laterOnes.end())
        return;
    const std::function<void()> fn = std::move(it->second);
    laterOnes.erase(it);
    fn();
}

void lookForModalSoon()
{
    if (driverWindow)
        PostMessageW(driverWindow, kLookForModal, 0, 0);
}

void serveWatch(Watch& watch, HWND w)
{
    watch.seen.insert(w);
    ++watch.owner->windows;
    Win32Modal modal(w);
    const bool isBox = isMessageBox(w);
    if (isBox)
        watch.owner->boxes.push_back(modal.box());
    if (watch.onOpen)
        watch.onOpen(modal);
    if (!modal.isOpen())
        return;
    if (isBox)
        modal.answer(watch.answer);
    else
        modal.close();
}

void lookForModal()
{
    // With nothing to serve, no new look: one posted after every look would
    // keep the queue from ever running dry, and timers only fire when it does.
    if (pendingOnce.empty() && watches.empty())
        return;
    HWND w = currentModal();
    if (!w || busy.count(w))
        return;
    busy.insert(w);
    if (!pendingOnce.empty())
    {
        const std::function<void(Modal&)> action = pendingOnce.front();
        pendingOnce.erase(pendingOnce.begin());
        Win32Modal modal(w);
        action(modal);
    }
    for (size_t i = 0; i < watches.size() && IsWindow(w) && IsWindowVisible(w); ++i)
        if (!watches[i]->seen.count(w))
            serveWatch(*watches[i], w);
    busy.erase(w);
    lookForModalSoon();
}

LRESULT CALLBACK driverProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kRunLater || (message == WM_TIMER && wParam != kModalTimer))
    {
        if (message == WM_TIMER)
            KillTimer(h, wParam);
        runLater(UINT_PTR(wParam));
        return 0;
    }
    if (message == kLookForModal || (message == WM_TIMER && (!pendingOnce.empty() || !watches.empty())))
    {
        if (message == kLookForModal)
        {
            // One look for any number of requests.
            MSG more;
            while (PeekMessageW(&more, h, kLookForModal, kLookForModal, PM_REMOVE))
            {
            }
        }
        lookForModal();
        return 0;
    }
    return DefWindowProcW(h, message, wParam, lParam);
}

HHOOK activationHook = nullptr;

LRESULT CALLBACK onActivation(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE)
        lookForModalSoon();
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// ---- Input -----------------------------------------------------------------

struct VirtualKey
{
    UINT vk;
    bool extended;
    unsigned mods;
};

VirtualKey virtualKey(Key k)
{
    switch (k)
    {
        case Key::Enter:
            return {VK_RETURN, true, Keypad};
        case Key::Return:
            return {VK_RETURN, false, 0};
        case Key::Space:
            return {VK_SPACE, false, 0};
        case Key::Tab:
            return {VK_TAB, false, 0};
        case Key::Backtab:
            return {VK_TAB, false, Shift};
        case Key::Escape:
            return {VK_ESCAPE, false, 0};
        case Key::Backspace:
            return {VK_BACK, false, 0};
        case Key::Delete:
            return {VK_DELETE, true, 0};
        case Key::Left:
            return {VK_LEFT, true, 0};
        case Key::Right:
            return {VK_RIGHT, true, 0};
        case Key::Up:
            return {VK_UP, true, 0};
        case Key::Down:
            return {VK_DOWN, true, 0};
        case Key::Home:
            return {VK_HOME, true, 0};
        case Key::End:
            return {VK_END, true, 0};
        case Key::PageUp:
            return {VK_PRIOR, true, 0};
        case Key::PageDown:
            return {VK_NEXT, true, 0};
        case Key::Minus:
            return {VK_OEM_MINUS, false, 0};
        case Key::Period:
            return {VK_OEM_PERIOD, false, 0};
        case Key::A:
            return {'A', false, 0};
        case Key::V:
            return {'V', false, 0};
        case Key::Digit2:
            return {'2', false, 0};
    }
    return {0, false, 0};
}

void holdModifiers(BYTE* state, unsigned mods)
{
    const auto hold = [state](bool down, UINT vk, UINT left)
    {
        state[vk] = down ? 0x80 : 0;
        state[left] = down ? 0x80 : 0;
    };
    hold(mods & Shift, VK_SHIFT, VK_LSHIFT);
    hold(mods & Ctrl, VK_CONTROL, VK_LCONTROL);
    hold(mods & Alt, VK_MENU, VK_LMENU);
}

// A key goes down and up at `target` as the keyboard sends it: the held
// modifiers in the thread's key state, WM_SYSKEYDOWN while Alt is held, and
// the program's loop turning the key into its character.
void pressKey(HWND target, VirtualKey key)
{
    BYTE saved[256], state[256];
    GetKeyboardState(saved);
    std::memcpy(state, saved, sizeof state);
    holdModifiers(state, key.mods);
    const bool alt = key.mods & Alt;
    const LPARAM down = 1 | LPARAM(MapVirtualKeyW(key.vk, MAPVK_VK_TO_VSC) << 16) |
                        (key.extended ? 1 << 24 : 0) | (alt ? 1 << 29 : 0);
    const LPARAM up = down | LPARAM(3u << 30);
    state[key.vk] = 0x80;
    SetKeyboardState(state);
    PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key.vk, down);
    pump();
    state[key.vk] = 0;
    SetKeyboardState(state);
    PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, key.vk, up);
    pump();
    SetKeyboardState(saved);
}

void pressChar(HWND target, char ch, unsigned mods)
{
    const SHORT scan = VkKeyScanW(wchar_t(static_cast<unsigned char>(ch)));
    if (scan == -1)
    {
        PostMessageW(target, WM_CHAR, WPARAM(static_cast<unsigned char>(ch)), 1);
        pump();
        return;
    }
    const unsigned shifts = HIBYTE(scan);
    pressKey(target,
             {LOBYTE(scan), false,
              mods | ((shifts & 1) ? Shift : 0u) | ((shifts & 2) ? Ctrl : 0u) | ((shifts & 4) ? Alt : 0u)});
}

// The window's own top-left corner, in its client coordinates: a list's or a
// text box's client area starts inside its border.
POINT clientPoint(HWND h, double x, double y)
{
    RECT r;
    GetWindowRect(h, &r);
    POINT origin{0, 0};
    ClientToScreen(h, &origin);
    return {r.left - origin.x + toPx(x), r.top - origin.y + toPx(y)};
}

TwipsPoint fromClient(HWND h, POINT p)
{
    RECT r;
    GetWindowRect(h, &r);
    POINT origin{0, 0};
    ClientToScreen(h, &origin);
    return {toTwips(p.x + origin.x - r.left), toTwips(p.y + origin.y - r.top)};
}

WPARAM heldKeys(unsigned mods) { return ((mods & Shift) ? MK_SHIFT : 0) | ((mods & Ctrl) ? MK_CONTROL : 0); }

void mouse(HWND h, UINT message, POINT at, WPARAM keys, unsigned mods = NoModifier)
{
    BYTE saved[256], state[256];
    GetKeyboardState(saved);
    std::memcpy(state, saved, sizeof state);
    holdModifiers(state, mods);
    SetKeyboardState(state);
    PostMessageW(h, message, keys, MAKELPARAM(at.x, at.y));
    pump();
    SetKeyboardState(saved);
}

struct ButtonMessages
{
    UINT down, up, dblclk;
    WPARAM key;
};

ButtonMessages messagesOf(Button b)
{
    switch (b)
    {
        case Button::Right:
            return {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, MK_RBUTTON};
        case Button::Middle:
            return {WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK, MK_MBUTTON};
        default:
            return {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, MK_LBUTTON};
    }
}

// A small window of the driver's own that takes the activation for a moment.
HWND elsewhere()
{
    static HWND w = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
    return w;
}

// Scratch boxes live in a hidden window of their own.
HWND scratchHolder()
{
    static HWND w = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
    return w;
}

class ScratchBox : public ui::win32::PictureBox
{
public:
    using PictureBox::PictureBox;
    ~ScratchBox() override { DestroyWindow(hwnd()); }
};

// ---- Pictures ----------------------------------------------------------------

uint32_t crc32(const uint8_t* data, size_t n, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < n; ++i)
    {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(uint8_t(v >> s));
}

void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    put32(out, uint32_t(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, crc32(out.data() + start, out.size() - start));
}

// An RGB picture as a PNG whose image data is stored uncompressed: no
// library, and a shot is written once.
std::vector<uint8_t> png(int width, int height, const std::vector<uint32_t>& rgb)
{
    std::vector<uint8_t> raw;
    for (int y = 0; y < height; ++y)
    {
        raw.push_back(0);
        for (int x = 0; x < width; ++x)
        {
            const uint32_t p = rgb[size_t(y) * size_t(width) + size_t(x)];
            raw.push_back(uint8_t(p >> 16));
            raw.push_back(uint8_t(p >> 8));
            raw.push_back(uint8_t(p));
        }
    }
    std::vector<uint8_t> z{0x78, 0x01};
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535)
    {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + n >= raw.size() ? 1 : 0);
        z.push_back(uint8_t(n));
        z.push_back(uint8_t(n >> 8));
        z.push_back(uint8_t(~n));
        z.push_back(uint8_t(~n >> 8));
        z.insert(z.end(), raw.begin() + long(at), raw.begin() + long(at + n));
        if (raw.empty())
            break;
    }
    uint32_t a = 1, b = 0;
    for (uint8_t c : raw)
    {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    put32(z, (b << 16) | a);
    std::vector<uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32(header, uint32_t(width));
    put32(header, uint32_t(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", z);
    chunk(out, "IEND", {});
    return out;
}

}  // namespace

struct Session::Impl
{
    Impl()
    {
        ui::setBackend(&backend);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = driverProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TavrinTestDriver";
        RegisterClassExW(&wc);
        driverWindow = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       wc.hInstance, nullptr);
        // A modal window that opens without being activated is still found.
        SetTimer(driverWindow, kModalTimer, 50, nullptr);
        activationHook = SetWindowsHookExW(WH_CBT, onActivation, nullptr, GetCurrentThreadId());
    }
    ~Impl()
    {
        UnhookWindowsHookEx(activationHook);
        DestroyWindow(driverWindow);
        driverWindow = nullptr;
        ui::setBackend(nullptr);
    }
    ui::win32::Win32Backend backend;
};

Session::Session(int&, char**) : impl_(std::make_unique<Impl>()) {}
Session::~Session() = default;

// ---- Mouse ---------------------------------------------------------------

void click(const ui::Control* c, double x, double y, Button b, unsigned mods)
{
    HWND h = hwnd(c);
    const POINT at = clientPoint(h, x, y);
    const ButtonMessages m = messagesOf(b);
    mouse(h, m.down, at, m.key | heldKeys(mods), mods);
    mouse(h, m.up, at, heldKeys(mods), mods);
}

void click(const ui::Control* c)
{
    RECT r;
    GetWindowRect(hwnd(c), &r);
    click(c, toTwips((r.right - r.left) / 2), toTwips((r.bottom - r.top) / 2));
}

void doubleClick(const ui::Control* c, double x, double y)
{
    HWND h = hwnd(c);
    const POINT at = clientPoint(h, x, y);
    mouse(h, WM_LBUTTONDBLCLK, at, MK_LBUTTON);
    mouse(h, WM_LBUTTONUP, at, 0);
}

void doubleClick(const ui::Control* c)
{
    RECT r;
    GetWindowRect(hwnd(c), &r);
    doubleClick(c, toTwips((r.right - r.left) / 2), toTwips((r.bottom - r.top) / 2));
}

void press(const ui::Control* c, double x, double y)
{
    mouse(hwnd(c), WM_LBUTTONDOWN, clientPoint(hwnd(c), x, y), MK_LBUTTON);
}

void release(const ui::Control* c, double x, double y)
{
    mouse(hwnd(c), WM_LBUTTONUP, clientPoint(hwnd(c), x, y), 0);
}

void dragTo(const ui::Control* c, double x, double y)
{
    mouse(hwnd(c), WM_MOUSEMOVE, clientPoint(hwnd(c), x, y), MK_LBUTTON);
}

TwipsPoint rowCentre(const ui::ListBox* list, int row)
{
    RECT r{};
    SendMessageW(hwnd(list), LB_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(&r));
    return fromClient(hwnd(list), {(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

TwipsPoint tabCentre(const ui::TabControl* tabs, int tab)
{
    RECT r{};
    SendMessageW(hwnd(tabs), TCM_GETITEMRECT, WPARAM(tab), reinterpret_cast<LPARAM>(&r));
    return fromClient(hwnd(tabs), {(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

void clickTab(const ui::TabControl* tabs, int tab)
{
    const TwipsPoint p = tabCentre(tabs, tab);
    click(tabs, p.x, p.y);
}

void unpick(const ui::ListBox* list)
{
    SendMessageW(hwnd(list), LB_SETCURSEL, WPARAM(-1), 0);
    SendMessageW(hwnd(list), LB_SETCARETINDEX, 0, FALSE);
}

// The list tells its window of a selection the program makes as it tells of
// the user's.
void selectRow(const ui::ListBox* list, int row)
{
    HWND h = hwnd(list);
    SendMessageW(h, LB_SETCURSEL, WPARAM(row), 0);
    SendMessageW(GetParent(h), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(h));
    pump();
}

void selectAllText(const ui::TextBox* box) { SendMessageW(hwnd(box), EM_SETSEL, 0, -1); }

void chooseMenu(const ui::MenuItem* item)
{
    HWND w = nullptr;
    UINT id = 0;
    if (!ui::win32::commandOf(item, w, id))
        std::abort();
    PostMessageW(w, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    pump();
}

// ---- Keyboard --------------------------------------------------------------

void key(const ui::Control* c, Key k, unsigned mods)
{
    VirtualKey v = virtualKey(k);
    v.mods |= mods;
    pressKey(hwnd(c), v);
}

void keyChar(const ui::Control* c, char ch, unsigned mods) { pressChar(hwnd(c), ch, mods); }

void type(const ui::Control* c, const std::string& text)
{
    for (char ch : text)
        pressChar(hwnd(c), ch, NoModifier);
}

namespace
{

HWND focusIn(const ui::Form& f)
{
    HWND focus = GetFocus();
    HWND w = window(f);
    return focus && (focus == w || IsChild(w, focus)) ? focus : w;
}

}  // namespace

void keyToFocus(const ui::Form& f, Key k, unsigned mods)
{
    VirtualKey v = virtualKey(k);
    v.mods |= mods;
    pressKey(focusIn(f), v);
}

void keyToFocus(Key k, unsigned mods)
{
    VirtualKey v = virtualKey(k);
    v.mods |= mods;
    if (HWND focus = GetFocus())
        pressKey(focus, v);
}

void typeToFocus(const std::string& text)
{
    for (char ch : text)
        if (HWND focus = GetFocus())
            pressChar(focus, ch, NoModifier);
}

const ui::Control* focusedControl() { return controlOf(GetFocus()); }

void typeToFocus(const ui::Form& f, const std::string& text)
{
    for (char ch : text)
        pressChar(focusIn(f), ch, NoModifier);
}

// The key goes down untranslated and its text arrives as the characters an
// input method would hand over.
void keyWithText(const ui::Control* c, Key k, const std::string& text, unsigned mods)
{
    HWND h = hwnd(c);
    VirtualKey v = virtualKey(k);
    v.mods |= mods;
    if (text.empty())
    {
        pressKey(h, v);
        return;
    }
    for (wchar_t ch : ui::win32::wide(text))
        PostMessageW(h, WM_CHAR, ch, 1);
    pump();
}

void keyAsTyped(const ui::Control* c, Key k, unsigned mods) { key(c, k, mods); }

namespace
{

class PlainTextBox : public ui::TextBox
{
public:
    explicit PlainTextBox(HWND h) : h_(h) { ownBoxes[this] = h; }
    ~PlainTextBox() override
    {
        ownBoxes.erase(this);
        DestroyWindow(h_);
    }
    void setVisible(bool visible) override { ShowWindow(h_, visible ? SW_SHOWNA : SW_HIDE); }
    bool isVisible() const override { return IsWindowVisible(h_) != FALSE; }
    void setFocus() override { SetFocus(h_); }
    void setTakesFocus(bool) override {}
    void setText(const std::string& text) override { SetWindowTextW(h_, ui::win32::wide(text).c_str()); }
    std::string text() const override { return windowText(h_); }
    void setDigitsOnly(bool) override {}

private:
    HWND h_;
};

}  // namespace

std::unique_ptr<ui::TextBox> plainCopyOf(const ui::TextBox* box)
{
    HWND from = hwnd(box);
    RECT r;
    GetWindowRect(from, &r);
    HWND h = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, r.right - r.left,
                             r.bottom - r.top, scratchHolder(), nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(h, WM_SETFONT, SendMessageW(from, WM_GETFONT, 0, 0), FALSE);
    auto copy = std::make_unique<PlainTextBox>(h);
    SetWindowTextW(h, ui::win32::wide(windowText(from)).c_str());
    DWORD start = 0, end = 0;
    SendMessageW(from, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    SendMessageW(h, EM_SETSEL, start, end);
    return copy;
}

int caretOf(const ui::TextBox* box)
{
    DWORD start = 0, end = 0;
    SendMessageW(hwnd(box), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return int(end);
}

void setClipboardText(const std::string& text)
{
    if (!OpenClipboard(driverWindow))
        return;
    EmptyClipboard();
    const std::wstring w = ui::win32::wide(text);
    if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (w.size() + 1) * sizeof(wchar_t)))
    {
        std::memcpy(GlobalLock(mem), w.c_str(), (w.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(mem);
        if (!SetClipboardData(CF_UNICODETEXT, mem))
            GlobalFree(mem);
    }
    CloseClipboard();
}

void waitKeyboardSearchInterval() { wait(int(GetDoubleClickTime()) * 4 + 50); }

// ---- Windows and focus -------------------------------------------------

Tavrinmain* programWindow()
{
    for (HWND w : threadWindows())
        if (ui::Form* f = formOf(w))
            if (auto* main = dynamic_cast<Tavrinmain*>(f->owner))
                return main;
    return nullptr;
}

bool waitShown(const ui::Form& f)
{
    HWND w = window(f);
    return pumpUntil([w] { return IsWindowVisible(w) && !GetUpdateRect(w, nullptr, FALSE); });
}

void activate(const ui::Form& f)
{
    SetForegroundWindow(window(f));
    SetActiveWindow(window(f));
    pump();
}

bool waitActive(const ui::Form& f)
{
    HWND w = window(f);
    return pumpUntil([w] { return GetActiveWindow() == w; });
}

void focus(const ui::Control* c)
{
    SetFocus(hwnd(c));
    pump();
}

void focusInItsWindow(const ui::Control* c)
{
    HWND root = GetAncestor(hwnd(c), GA_ROOT);
    SetForegroundWindow(root);
    SetActiveWindow(root);
    SetFocus(hwnd(c));
    pump();
}

bool hasFocus(const ui::Control* c) { return GetFocus() == hwnd(c); }

const ui::Control* focused(const ui::Form& f)
{
    HWND focus = GetFocus();
    return focus && IsChild(window(f), focus) ? controlOf(focus) : nullptr;
}

bool shownInItsPage(const ui::Control* c)
{
    return (GetWindowLongPtrW(hwnd(c), GWL_STYLE) & WS_VISIBLE) != 0;
}

void switchAwayAndBack(const ui::Form& f)
{
    HWND away = elsewhere();
    ShowWindow(away, SW_SHOW);
    SetActiveWindow(away);
    pump();
    SetActiveWindow(window(f));
    ShowWindow(away, SW_HIDE);
    pump();
}

void closeBox(const ui::Form& f)
{
    PostMessageW(window(f), WM_SYSCOMMAND, SC_CLOSE, 0);
    pump();
}

bool isModal(const ui::Form& f) { return ui::win32::isShownModally(&f); }

const ui::Form* parentOf(const ui::Form& f) { return formOf(GetWindow(window(f), GW_OWNER)); }

bool noDialogOpen()
{
    for (HWND w : threadWindows())
    {
        if (const ui::Form* f = formOf(w); f && ui::win32::kindOf(f) == ui::FormKind::Dialog)
            return false;
        if (isMessageBox(w) && IsWindowVisible(w))
            return false;
    }
    return true;
}

void wait(int ms)
{
    const DWORD end = GetTickCount() + DWORD(ms);
    for (;;)
    {
        pump();
        const DWORD now = GetTickCount();
        if (int(end - now) <= 0)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
    }
}

void later(int ms, std::function<void()> fn)
{
    const UINT_PTR id = ++lastLater;
    laterOnes[id] = std::move(fn);
    if (ms <= 0)
        PostMessageW(driverWindow, kRunLater, id, 0);
    else
        SetTimer(driverWindow, id, UINT(ms), nullptr);
}

struct EventLoop::Impl
{
    bool done = false;
};
EventLoop::EventLoop() : impl_(std::make_unique<Impl>()) {}
EventLoop::~EventLoop() = default;

// The program's own loop as it runs between the forms' modal loops; a quit
// message the program posts on its way out is for its own loop, not this one.
void EventLoop::exec()
{
    impl_->done = false;
    while (!impl_->done)
    {
        MSG msg;
        while (!impl_->done && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message != WM_QUIT)
                ui::win32::dispatch(msg);
        if (!impl_->done)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}
void EventLoop::quit() { impl_->done = true; }

// ---- Geometry (back-end pixels) -------------------------------------------

int px(const ui::Form&, int twips) { return ui::win32::twipsToPx(twips); }

Rect clientRect(const ui::Form& f)
{
    RECT r;
    GetClientRect(window(f), &r);
    return {0, 0, r.right, r.bottom};
}

namespace
{

Rect rectIn(HWND h, HWND container)
{
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, container, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

}  // namespace

// A tab's page is no container of the control layer: its controls are placed
// in the tab control.
Rect geometry(const ui::Control* c)
{
    HWND parent = GetParent(hwnd(c));
    wchar_t cls[32] = {};
    GetClassNameW(parent, cls, 32);
    if (std::wcscmp(cls, L"TavrinPage") == 0)
        parent = GetParent(parent);
    return rectIn(hwnd(c), parent);
}

Rect inClient(const ui::Form& f, const ui::Control* c) { return rectIn(hwnd(c), window(f)); }

// ---- Picture boxes -------------------------------------------------------

std::unique_ptr<ui::PictureBox> scratchLike(const ui::PictureBox* like)
{
    const auto* box = dynamic_cast<const ui::win32::PictureBox*>(like);
    if (!box)
        std::abort();
    auto scratch = std::make_unique<ScratchBox>(scratchHolder(), 0, 0, box->pixelWidth(), box->pixelHeight(),
                                                box->font());
    scratch->Cls();
    return scratch;
}

// ---- Modal windows -------------------------------------------------------

bool Win32Modal::activate()
{
    if (GetActiveWindow() != w_)
    {
        SetForegroundWindow(w_);
        SetActiveWindow(w_);
    }
    for (int i = 0; i < 100 && GetActiveWindow() != w_; ++i)
    {
        pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return GetActiveWindow() == w_;
}

void Win32Modal::clickAt(int x, int y)
{
    mouse(w_, WM_LBUTTONDOWN, {x, y}, MK_LBUTTON);
    mouse(w_, WM_LBUTTONUP, {x, y}, 0);
}

void Win32Modal::key(Key k, unsigned mods)
{
    VirtualKey v = virtualKey(k);
    v.mods |= mods;
    pressKey(focusInside(), v);
}

void Win32Modal::keyChar(char ch) { pressChar(focusInside(), ch, NoModifier); }

std::vector<HWND> Win32Modal::shownButtons() const
{
    std::vector<HWND> all, shown;
    EnumChildWindows(w_, collect, reinterpret_cast<LPARAM>(&all));
    for (HWND b : all)
    {
        wchar_t cls[16] = {};
        GetClassNameW(b, cls, 16);
        if (_wcsicmp(cls, L"Button") == 0 && (GetWindowLongPtrW(b, GWL_STYLE) & BS_TYPEMASK) != BS_GROUPBOX &&
            IsWindowVisible(b) && IsWindowEnabled(b))
            shown.push_back(b);
    }
    return shown;
}

std::vector<std::string> Win32Modal::buttons() const
{
    std::vector<std::string> captions;
    for (HWND b : shownButtons())
        captions.push_back(windowText(b));
    return captions;
}

void Win32Modal::clickButton(int n)
{
    const std::vector<HWND> all = shownButtons();
    if (n < 0 || size_t(n) >= all.size())
        return;
    RECT r;
    GetClientRect(all[size_t(n)], &r);
    const POINT centre{r.right / 2, r.bottom / 2};
    mouse(all[size_t(n)], WM_LBUTTONDOWN, centre, MK_LBUTTON);
    mouse(all[size_t(n)], WM_LBUTTONUP, centre, 0);
}

std::unique_ptr<Modal> frontModal()
{
    HWND w = currentModal();
    return w ? std::make_unique<Win32Modal>(w) : nullptr;
}

void onNextModal(std::function<void(Modal&)> action)
{
    pendingOnce.push_back(std::move(action));
    lookForModalSoon();
}

void cancelModalWatchers() { pendingOnce.clear(); }

struct ModalWatch::Impl
{
    Watch watch;
};

ModalWatch::ModalWatch(ui::Answer answer, Action onOpen)
    : impl_(std::make_unique<Impl>(Impl{Watch{this, answer, std::move(onOpen), {}}}))
{
    watches.push_back(&impl_->watch);
    lookForModalSoon();
}

ModalWatch::~ModalWatch() { watches.erase(std::find(watches.begin(), watches.end(), &impl_->watch)); }

void saveShot(const ui::Form& f, const char* name)
{
    const char* dir = std::getenv("TAVRIN_SHOTS_DIR");
    if (!dir || !*dir)
        return;
    HWND w = window(f);
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pump();
    // The window below its title bar, its menu bar included, as the other
    // back end's shots show it.
    RECT window, client;
    GetWindowRect(w, &window);
    GetClientRect(w, &client);
    MapWindowPoints(w, nullptr, reinterpret_cast<POINT*>(&client), 2);
    MENUBARINFO menu{};
    menu.cbSize = sizeof menu;
    if (GetMenu(w) && GetMenuBarInfo(w, OBJID_MENU, 0, &menu))
        client.top = menu.rcBar.top;
    const int left = client.left - window.left, top = client.top - window.top;
    const int width = client.right - client.left, height = client.bottom - client.top;
    HDC windowDc = GetWindowDC(w);
    HDC dc = CreateCompatibleDC(windowDc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, width, height, windowDc, left, top, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    const std::vector<uint32_t> rgb(p, p + size_t(width) * size_t(height));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(w, windowDc);
    CreateDirectoryA(dir, nullptr);
    const std::vector<uint8_t> file = png(width, height, rgb);
    std::ofstream(std::string(dir) + "\\" + name + ".png", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
}

}  // namespace driver
