#include "ui/win32/Win32Backend.h"

#include "ui/win32/PictureBox.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

namespace ui::win32
{

namespace
{

int logicalDpi()
{
    static const int dpi = []
    {
        HDC screen = GetDC(nullptr);
        const int d = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return d > 0 ? d : 96;
    }();
    return dpi;
}

std::wstring windowText(HWND hwnd)
{
    std::wstring text(size_t(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(hwnd, text.data(), int(text.size()))));
    return text;
}

// Each window that takes WM_COMMAND or WM_NOTIFY for its children hands it on
// to the control behind the child.
class Handler
{
public:
    virtual ~Handler() = default;
    virtual HWND window() const = 0;
    virtual void command(WORD) {}
    virtual LRESULT notify(const NMHDR*) { return 0; }
};

// A subclass's procedure is given the control behind the window and the
// window's own procedure, to pass on what it leaves alone.
using SubclassProc = LRESULT (*)(HWND, UINT, WPARAM, LPARAM, void* self, WNDPROC next);

// What the program knows of each control window, kept in the process. Under
// Wine a window property is a round trip to the server at every look-up, and
// comctl32's subclassing looks its chain up in one on every message a window
// gets: some five hundred trips before the main window's first paint.
struct WindowRecord
{
    Handler* handler = nullptr;
    Control* control = nullptr;
    WNDPROC original = nullptr;
    SubclassProc proc = nullptr;
    void* self = nullptr;
};

std::unordered_map<HWND, WindowRecord>& records()
{
    static std::unordered_map<HWND, WindowRecord> all;
    return all;
}

Handler* handlerOf(HWND hwnd)
{
    const auto it = records().find(hwnd);
    return it == records().end() ? nullptr : it->second.handler;
}

LRESULT CALLBACK subclassed(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto it = records().find(hwnd);
    if (it == records().end())
        return DefWindowProcW(hwnd, message, wParam, lParam);
    const WindowRecord r = it->second;
    if (message == WM_NCDESTROY)
        records().erase(it);
    return r.proc ? r.proc(hwnd, message, wParam, lParam, r.self, r.original)
                  : CallWindowProcW(r.original, hwnd, message, wParam, lParam);
}

void subclass(HWND hwnd, SubclassProc proc, void* self)
{
    WindowRecord& r = records()[hwnd];
    r.proc = proc;
    r.self = self;
    r.original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&subclassed)));
}

// The control is going before its window: messages still to come go
// straight to the window's own procedure.
void forget(HWND hwnd)
{
    const auto it = records().find(hwnd);
    if (it == records().end())
        return;
    if (it->second.original)
        it->second = {nullptr, nullptr, it->second.original, nullptr, nullptr};
    else
        records().erase(it);
}

LRESULT containerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, void*, WNDPROC next)
{
    // A group box leaves its inside to the window behind it, which clips its
    // children away: the frame fills it itself.
    if (message == WM_ERASEBKGND)
    {
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    if ((message == WM_COMMAND || message == WM_NOTIFY) && dispatchToControl(message, wParam, lParam))
        return 0;
    return CallWindowProcW(next, hwnd, message, wParam, lParam);
}

// Controls are numbered from here, clear of IDOK and IDCANCEL.
int nextId = 100;

template <class Base>
class Win : public Base, public Handler
{
public:
    Win(HWND hwnd) : hwnd_(hwnd) { records()[hwnd].handler = this; }
    ~Win() override { forget(hwnd_); }
    void setVisible(bool visible) override { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }
    bool isVisible() const override { return IsWindowVisible(hwnd_) != FALSE; }
    void setFocus() override { SetFocus(hwnd_); }
    void setTakesFocus(bool takes) override
    {
        const LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
        SetWindowLongPtrW(hwnd_, GWL_STYLE, takes ? style | WS_TABSTOP : style & ~LONG_PTR(WS_TABSTOP));
    }
    HWND hwnd() const { return hwnd_; }
    HWND window() const override { return hwnd_; }

protected:
    HWND hwnd_;
};

HWND makeChild(const wchar_t* cls, const std::wstring& text, DWORD style, DWORD exStyle, HWND parent, int x,
               int y, int w, int h, HFONT font)
{
    HWND hwnd = CreateWindowExW(exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style,
                                x, y, w, h, parent, reinterpret_cast<HMENU>(INT_PTR(nextId++)),
                                GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return hwnd;
}

class Label : public Win<ui::Label>
{
public:
    using Win::Win;
    void setText(const std::string& text) override { SetWindowTextW(hwnd_, wide(text).c_str()); }
    std::string text() const override { return utf8(windowText(hwnd_)); }
};

class Frame : public Win<ui::Frame>
{
public:
    explicit Frame(HWND hwnd) : Win(hwnd) { subclass(hwnd, containerProc, nullptr); }
};

class CommandButton : public Win<ui::CommandButton>
{
public:
    using Win::Win;
    void setText(const std::string& text) override { SetWindowTextW(hwnd_, wide(text).c_str()); }
    std::string text() const override { return utf8(windowText(hwnd_)); }
    void setDefault(bool isDefault) override
    {
        default_ = isDefault;
        SendMessageW(hwnd_, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
    bool isDefault() const override { return default_; }
    void command(WORD code) override
    {
        if (code == BN_CLICKED && onClick)
            onClick();
    }

private:
    bool default_ = false;
};

class ListBox : public Win<ui::ListBox>
{
public:
    explicit ListBox(HWND hwnd) : Win(hwnd) { subclass(hwnd, proc, this); }
    void addItem(const std::string& text) override
    {
        SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(text).c_str()));
    }
    int count() const override { return int(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0)); }
    std::string itemText(int row) const override
    {
        const LRESULT n = SendMessageW(hwnd_, LB_GETTEXTLEN, WPARAM(row), 0);
        if (n == LB_ERR)
            return {};
        std::wstring text(size_t(n) + 1, L'\0');
        text.resize(
            size_t(SendMessageW(hwnd_, LB_GETTEXT, WPARAM(row), reinterpret_cast<LPARAM>(text.data()))));
        return utf8(text);
    }
    int selectedRow() const override
    {
        const LRESULT row = SendMessageW(hwnd_, LB_GETCURSEL, 0, 0);
        return row == LB_ERR ? -1 : int(row);
    }
    // The list box also tells of a "change" that leaves the selection where
    // it was (a key at the end of the list, every button release), and of a
    // press's change only at the release: within one press and release, or
    // one key, only a real change is a pick.
    void command(WORD code) override
    {
        if (code != LBN_SELCHANGE)
            return;
        if (gestureFrom_ != kNoGesture)
        {
            const int now = selectedRow();
            if (now == gestureFrom_)
                return;
            gestureFrom_ = now;
        }
        if (onClick)
            onClick();
    }

private:
    static constexpr int kNoGesture = -2;

    int rowAt(LPARAM point) const
    {
        const LRESULT hit = SendMessageW(hwnd_, LB_ITEMFROMPOINT, 0, point);
        return HIWORD(hit) == 0 ? int(LOWORD(hit)) : -1;
    }

    // A press and release on the entry that was already selected is a pick
    // too. The second press of a double-click selects as the first does (the
    // system's list takes it for no press at all).
    static LRESULT proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, void* self, WNDPROC next)
    {
        auto* box = static_cast<ListBox*>(self);
        switch (message)
        {
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
                box->gestureFrom_ = box->selectedRow();
                box->selectedAtPress_ = box->gestureFrom_;
                box->pressedRow_ = box->rowAt(lParam);
                box->held_ = true;
                return CallWindowProcW(next, hwnd, WM_LBUTTONDOWN, wParam, lParam);
            case WM_LBUTTONUP:
            {
                const LRESULT result = CallWindowProcW(next, hwnd, message, wParam, lParam);
                const int row = box->pressedRow_;
                const bool stayed = row >= 0 && row == box->selectedAtPress_ && row == box->rowAt(lParam) &&
                                    row == box->selectedRow();
                box->pressedRow_ = -1;
                box->held_ = false;
                box->gestureFrom_ = kNoGesture;
                if (stayed && box->onClick)
                    box->onClick();
                return result;
            }
            case WM_KEYDOWN:
            case WM_CHAR:
            {
                if (box->held_)
                    break;
                box->gestureFrom_ = box->selectedRow();
                const LRESULT result = CallWindowProcW(next, hwnd, message, wParam, lParam);
                box->gestureFrom_ = kNoGesture;
                return result;
            }
            default:
                break;
        }
        return CallWindowProcW(next, hwnd, message, wParam, lParam);
    }
    int gestureFrom_ = kNoGesture;
    int selectedAtPress_ = -1;
    int pressedRow_ = -1;
    bool held_ = false;
};

bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The window that a focus change crosses to or from is in another top-level
// window (or none): the user switched windows, the box was not left.
bool sameWindow(HWND a, HWND b) { return b && GetAncestor(a, GA_ROOT) == GetAncestor(b, GA_ROOT); }

class TextBox : public Win<ui::TextBox>
{
public:
    explicit TextBox(HWND hwnd) : Win(hwnd) { subclass(hwnd, proc, this); }
    void setText(const std::string& text) override { SetWindowTextW(hwnd_, wide(text).c_str()); }
    std::string text() const override { return utf8(windowText(hwnd_)); }
    void setDigitsOnly(bool digitsOnly) override { digitsOnly_ = digitsOnly; }
    void command(WORD code) override
    {
        // Pasted and dropped text never passes the key filter: it is cut down
        // to its digits once it is in.
        if (code != EN_CHANGE || !digitsOnly_)
            return;
        const std::wstring text = windowText(hwnd_);
        std::wstring kept;
        for (wchar_t c : text)
            if (isDigit(c))
                kept += c;
        if (kept != text)
        {
            DWORD start = 0;
            SendMessageW(hwnd_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
            SetWindowTextW(hwnd_, kept.c_str());
            const DWORD pos = std::min<DWORD>(start, DWORD(kept.size()));
            SendMessageW(hwnd_, EM_SETSEL, pos, pos);
        }
    }

private:
    static LRESULT proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, void* self, WNDPROC next)
    {
        auto* box = static_cast<TextBox*>(self);
        switch (message)
        {
            case WM_CHAR:
                // Ctrl shortcuts edit rather than type; Tab and Enter belong to
                // the dialog.
                if (box->onKeyPress && GetKeyState(VK_CONTROL) >= 0 && wParam != L'\t')
                {
                    int code = int(wParam);
                    box->onKeyPress(code);
                    if (code <= 0 || code > 0xFFFF)
                        return 0;
                    wParam = WPARAM(code);
                }
                break;
            case WM_SETFOCUS:
            {
                const LRESULT r = CallWindowProcW(next, hwnd, message, wParam, lParam);
                if (sameWindow(hwnd, reinterpret_cast<HWND>(wParam)) && box->onGotFocus)
                    box->onGotFocus();
                return r;
            }
            case WM_KILLFOCUS:
            {
                const LRESULT r = CallWindowProcW(next, hwnd, message, wParam, lParam);
                if (sameWindow(hwnd, reinterpret_cast<HWND>(wParam)) && box->onLostFocus)
                    box->onLostFocus();
                return r;
            }
            default:
                break;
        }
        return CallWindowProcW(next, hwnd, message, wParam, lParam);
    }
    bool digitsOnly_ = false;
};

const wchar_t kPageClass[] = L"TavrinPage";
const wchar_t kFormClass[] = L"TavrinForm";

LRESULT CALLBACK pageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if ((message == WM_COMMAND || message == WM_NOTIFY) && dispatchToControl(message, wParam, lParam))
        return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Each page covers the body of the tab control; its controls are placed from
// the control's own top-left corner, so they are shifted by the page's origin.
class TabControl : public Win<ui::TabControl>
{
public:
    TabControl(HWND hwnd, int tabs) : Win(hwnd)
    {
        subclass(hwnd, containerProc, nullptr);
        for (int i = 0; i < tabs; ++i)
        {
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<wchar_t*>(L"");
            SendMessageW(hwnd, TCM_INSERTITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
        }
        RECT r;
        GetClientRect(hwnd, &r);
        SendMessageW(hwnd, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
        origin_ = {r.left, r.top};
        for (int i = 0; i < tabs; ++i)
            pages_.push_back(CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"",
                                             WS_CHILD | WS_CLIPSIBLINGS | (i == 0 ? WS_VISIBLE : 0), r.left,
                                             r.top, r.right - r.left, r.bottom - r.top, hwnd, nullptr,
                                             GetModuleHandleW(nullptr), nullptr));
    }
    HWND page(int tab) const { return pages_.at(size_t(tab)); }
    POINT origin() const { return origin_; }

    void setTabCaption(int tab, const std::string& caption) override
    {
        std::wstring text = wide(caption);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text.data();
        SendMessageW(hwnd_, TCM_SETITEMW, WPARAM(tab), reinterpret_cast<LPARAM>(&item));
    }
    std::string tabCaption(int tab) const override
    {
        wchar_t buffer[256] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = buffer;
        item.cchTextMax = 255;
        SendMessageW(hwnd_, TCM_GETITEMW, WPARAM(tab), reinterpret_cast<LPARAM>(&item));
        return utf8(buffer);
    }
    int currentTab() const override { return current_; }
    void setCurrentTab(int tab) override
    {
        SendMessageW(hwnd_, TCM_SETCURSEL, WPARAM(tab), 0);
        changed();
    }
    LRESULT notify(const NMHDR* header) override
    {
        if (header->code == TCN_SELCHANGE)
            changed();
        return 0;
    }

private:
    void changed()
    {
        const int tab = int(SendMessageW(hwnd_, TCM_GETCURSEL, 0, 0));
        if (tab < 0 || tab == current_)
            return;
        const int previous = current_;
        current_ = tab;
        for (size_t i = 0; i < pages_.size(); ++i)
            ShowWindow(pages_[i], int(i) == tab ? SW_SHOWNA : SW_HIDE);
        if (onClick)
            onClick(previous);
    }
    std::vector<HWND> pages_;
    POINT origin_{};
    int current_ = 0;
};

class StatusBar : public Win<ui::StatusBar>
{
public:
    using Win::Win;
    void setText(const std::string& text) override
    {
        text_ = text;
        SendMessageW(hwnd_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(wide(text).c_str()));
    }
    std::string text() const override { return text_; }

private:
    std::string text_;
};

class MenuItem : public ui::MenuItem
{
public:
    explicit MenuItem(UINT id) : id(id) {}
    const UINT id;
    HWND window = nullptr;
};

// A control and the window that holds the ones placed in it (a tab's page is
// asked for by its number).
struct Made
{
    ui::Control* control;
    HWND container;
    TabControl* tabs;
};

Made makeControl(const ControlSpec& s, HWND parent, int x, int y)
{
    const std::wstring caption = wide(s.caption ? s.caption : "");
    HFONT font = fontFor(s.face == Face::Gothic, s.points);
    const int w = twipsToPx(s.width), h = twipsToPx(s.height);
    switch (s.kind)
    {
        case Ctl::Label:
            return {
                new Label(makeChild(L"STATIC", caption, SS_LEFT | SS_NOPREFIX, 0, parent, x, y, w, h, font)),
                nullptr, nullptr};
        case Ctl::ListBox:
            return {new ListBox(makeChild(L"LISTBOX", L"",
                                          WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                                          WS_EX_CLIENTEDGE, parent, x, y, w, h, font)),
                    nullptr, nullptr};
        case Ctl::PictureBox:
        {
            // A picture box may hold labels, drawn over its picture.
            auto* p = new PictureBox(parent, x, y, w, h, font);
            return {p, p->hwnd(), nullptr};
        }
        case Ctl::Panel:
        {
            HWND hwnd = makeChild(L"STATIC", L"", SS_SUNKEN, WS_EX_CONTROLPARENT, parent, x, y, w, h, font);
            return {new Frame(hwnd), hwnd, nullptr};
        }
        case Ctl::Frame:
        {
            HWND hwnd =
                makeChild(L"BUTTON", caption, BS_GROUPBOX, WS_EX_CONTROLPARENT, parent, x, y, w, h, font);
            return {new Frame(hwnd), hwnd, nullptr};
        }
        case Ctl::Button:
            return {new CommandButton(makeChild(L"BUTTON", caption, WS_TABSTOP | BS_PUSHBUTTON, 0, parent, x,
                                                y, w, h, font)),
                    nullptr, nullptr};
        case Ctl::TabControl:
        {
            auto* t = new TabControl(makeChild(WC_TABCONTROLW, L"", WS_TABSTOP | TCS_FIXEDWIDTH,
                                               WS_EX_CONTROLPARENT, parent, x, y, w, h, font),
                                     2);
            // Tabs share the strip evenly, so both always show.
            SendMessageW(t->hwnd(), TCM_SETITEMSIZE, 0, MAKELPARAM(w / 2 - 2, 0));
            return {t, nullptr, t};
        }
        case Ctl::TextBox:
            return {new TextBox(makeChild(L"EDIT", caption, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                                          parent, x, y, w, h, font)),
                    nullptr, nullptr};
        case Ctl::StatusBar:
            return {new StatusBar(makeChild(STATUSCLASSNAMEW, L"",
                                            CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER, 0, parent, x, y,
                                            w, h, font)),
                    nullptr, nullptr};
    }
    return {nullptr, nullptr, nullptr};
}

BOOL CALLBACK collectEnabled(HWND hwnd, LPARAM list)
{
    if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    return TRUE;
}

class Win32Form;
Win32Form* activeModal = nullptr;

// A dialog opens centred on its owner, or, with none, on the window in front
// (as the Qt build's dialogs do), else on the screen, and wholly on the work
// area. Left to the system, a popup window opens in the screen's corner.
BOOL CALLBACK firstShown(HWND hwnd, LPARAM found)
{
    if (!IsWindowVisible(hwnd))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

// The program's window in front: Wine under a window manager may report no
// active window although one has the keyboard, so the topmost shown window
// of the thread stands in.
HWND windowInFront(HWND besides)
{
    HWND front = GetActiveWindow();
    if (front && front != besides && IsWindowVisible(front))
        return front;
    front = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), firstShown, reinterpret_cast<LPARAM>(&front));
    return front != besides ? front : nullptr;
}

void centreOnOwner(HWND hwnd)
{
    HWND over = GetWindow(hwnd, GW_OWNER);
    if (!over || !IsWindowVisible(over))
        over = windowInFront(hwnd);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(over ? over : hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT work = monitor.rcWork;
    RECT around = work, own;
    if (over)
        GetWindowRect(over, &around);
    GetWindowRect(hwnd, &own);
    const int w = own.right - own.left, h = own.bottom - own.top;
    const int x =
        std::max<int>(work.left, std::min<int>(work.right - w, (around.left + around.right - w) / 2));
    const int y =
        std::max<int>(work.top, std::min<int>(work.bottom - h, (around.top + around.bottom - h) / 2));
    SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

class Win32Form : public Form
{
public:
    Win32Form(const FormDesign& design, const Form* parent) : kind_(design.kind)
    {
        const bool main = design.kind == FormKind::Main;
        const DWORD style = main ? WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN
                                 : WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        const DWORD exStyle = WS_EX_CONTROLPARENT | (main ? 0 : WS_EX_DLGMODALFRAME);
        HMENU bar = main ? makeMenus(design.menus) : nullptr;
        RECT r{0, 0, twipsToPx(design.clientWidth), twipsToPx(design.clientHeight)};
        AdjustWindowRectEx(&r, style, bar != nullptr, exStyle);
        const auto* owner = dynamic_cast<const Win32Form*>(parent);
        hwnd_ = CreateWindowExW(exStyle, kFormClass, wide(design.caption).c_str(), style, CW_USEDEFAULT,
                                CW_USEDEFAULT, r.right - r.left, r.bottom - r.top,
                                owner ? owner->hwnd_ : nullptr, bar, GetModuleHandleW(nullptr), this);
        std::map<std::string, Made> made;
        for (const ControlSpec& s : design.controls)
        {
            HWND container = hwnd_;
            POINT shift{0, 0};
            const std::string where = s.container;
            if (!where.empty())
            {
                const size_t colon = where.find(':');
                const Made& m = made.at(where.substr(0, colon));
                if (colon != std::string::npos)
                {
                    container = m.tabs->page(std::stoi(where.substr(colon + 1)));
                    shift = m.tabs->origin();
                }
                else
                    container = m.container;
            }
            Made m = makeControl(s, container, twipsToPx(s.left) - shift.x, twipsToPx(s.top) - shift.y);
            made[s.name] = m;
            records()[hwndOf(m.control)].control = m.control;
            controls_[s.name] = std::unique_ptr<ui::Control>(m.control);
        }
        for (auto& [id, item] : menus_)
            item->window = hwnd_;
    }

    ~Win32Form() override
    {
        if (activeModal == this)
            activeModal = nullptr;
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        // The controls let go of their windows before the windows go.
        for (auto& [name, c] : controls_)
            forget(hwndOf(c.get()));
        controls_.clear();
        DestroyWindow(hwnd_);
    }

    Control* find(std::string_view name) const override
    {
        const auto it = controls_.find(std::string(name));
        return it == controls_.end() ? nullptr : it->second.get();
    }
    MenuItem* menu(std::string_view name) const override
    {
        const auto it = menuNames_.find(std::string(name));
        return it == menuNames_.end() ? nullptr : menus_.at(it->second).get();
    }
    std::string caption() const override { return utf8(windowText(hwnd_)); }

    void show() override
    {
        ShowWindow(hwnd_, SW_SHOW);
        UpdateWindow(hwnd_);
    }
    bool isVisible() const override { return IsWindowVisible(hwnd_) != FALSE; }

    // The other windows of the program are disabled while the form is open,
    // and given back their input once it closes.
    void showModal() override
    {
        // Placed while the window in front still takes input, so it is the
        // active one.
        centreOnOwner(hwnd_);
        std::vector<HWND> disabled;
        EnumThreadWindows(GetCurrentThreadId(), collectEnabled, reinterpret_cast<LPARAM>(&disabled));
        for (HWND hwnd : disabled)
            if (hwnd != hwnd_)
                EnableWindow(hwnd, FALSE);
        Win32Form* outer = activeModal;
        activeModal = this;
        done_ = false;
        modal_ = true;
        show();
        MSG msg;
        while (!done_)
        {
            const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got <= 0)
            {
                // The program is quitting: the outer loop must see it too.
                PostQuitMessage(int(msg.wParam));
                break;
            }
            dispatch(msg);
        }
        modal_ = false;
        for (HWND hwnd : disabled)
            if (hwnd != hwnd_ && IsWindow(hwnd))
                EnableWindow(hwnd, TRUE);
        activeModal = outer;
        ShowWindow(hwnd_, SW_HIDE);
        if (!disabled.empty() && IsWindow(disabled.front()))
            SetActiveWindow(GetWindow(hwnd_, GW_OWNER) ? GetWindow(hwnd_, GW_OWNER) : disabled.front());
    }

    void close() override
    {
        if (kind_ == FormKind::Dialog)
        {
            done_ = true;
            ShowWindow(hwnd_, SW_HIDE);
            return;
        }
        // As the close box does: the exit sequence runs once.
        if (closing_)
            return;
        closing_ = true;
        if (onCloseBox)
            onCloseBox();
        ShowWindow(hwnd_, SW_HIDE);
        closing_ = false;
    }

    // The dialog manager walks siblings in their z-order, so the order is
    // given to the windows themselves.
    void setTabOrder(std::initializer_list<Control*> order) override
    {
        HWND previous = HWND_TOP;
        for (Control* c : order)
        {
            HWND w = hwndOf(c);
            if (!w)
                continue;
            SetWindowPos(w, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            previous = w;
        }
        if (order.size() != 0)
        {
            focus_ = hwndOf(*order.begin());
            (*order.begin())->setFocus();
        }
    }

    HWND hwnd() const { return hwnd_; }
    FormKind kind() const { return kind_; }
    bool modal() const { return modal_; }

    static HWND hwndOf(const Control* c)
    {
        if (const auto* p = dynamic_cast<const PictureBox*>(c))
            return p->hwnd();
        const auto* h = dynamic_cast<const Handler*>(c);
        return h ? h->window() : nullptr;
    }

    LRESULT handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        // Messages come before CreateWindowExW returns the handle.
        hwnd_ = hwnd;
        switch (message)
        {
            case WM_COMMAND:
                // Enter, as the dialog manager reports it.
                if (LOWORD(wParam) == IDOK && lParam == 0)
                {
                    pressEnter();
                    return 0;
                }
                if (lParam == 0 && HIWORD(wParam) == 0)
                {
                    const auto it = menus_.find(LOWORD(wParam));
                    if (it != menus_.end() && it->second->onClick)
                        it->second->onClick();
                    return 0;
                }
                dispatchToControl(message, wParam, lParam);
                return 0;
            case WM_NOTIFY:
                return dispatchToControl(message, wParam, lParam)
                           ? 0
                           : DefWindowProcW(hwnd_, message, wParam, lParam);
            case WM_CLOSE:
                close();
                return 0;
            // A plain window gives the focus to itself when it is activated;
            // the control that had it (or the first of the tab order) gets
            // it back instead.
            case WM_ACTIVATE:
                if (LOWORD(wParam) == WA_INACTIVE)
                {
                    HWND focus = GetFocus();
                    if (focus && IsChild(hwnd_, focus))
                        focus_ = focus;
                }
                else if (focus_ && IsWindow(focus_))
                {
                    SetFocus(focus_);
                    return 0;
                }
                return DefWindowProcW(hwnd_, message, wParam, lParam);
            default:
                return DefWindowProcW(hwnd_, message, wParam, lParam);
        }
    }

private:
    // Enter presses the button with the focus, else the form's default one.
    void pressEnter()
    {
        HWND focus = GetFocus();
        if (auto* b = dynamic_cast<CommandButton*>(handlerOf(focus)))
        {
            b->command(BN_CLICKED);
            return;
        }
        for (auto& [name, c] : controls_)
            if (auto* b = dynamic_cast<CommandButton*>(c.get());
                b && b->isDefault() && IsWindowEnabled(b->hwnd()))
            {
                b->command(BN_CLICKED);
                return;
            }
    }

    HMENU makeMenus(std::span<const MenuSpec> table)
    {
        if (table.empty())
            return nullptr;
        HMENU bar = CreateMenu();
        int id = 1000;
        const auto add = [&](HMENU into, const MenuSpec& entry, UINT flags, UINT_PTR item)
        {
            AppendMenuW(into, flags, item, wide(entry.caption).c_str());
            menuNames_[entry.name] = id;
            menus_[id] = std::make_unique<MenuItem>(UINT(id));
        };
        for (const MenuSpec& entry : table)
        {
            if (*entry.parent)
                continue;
            HMENU popup = nullptr;
            for (const MenuSpec& item : table)
                if (std::string_view(item.parent) == entry.name)
                {
                    if (!popup)
                        popup = CreatePopupMenu();
                    ++id;
                    add(popup, item, MF_STRING, UINT_PTR(id));
                }
            ++id;
            if (popup)
                add(bar, entry, MF_POPUP, reinterpret_cast<UINT_PTR>(popup));
            else
                add(bar, entry, MF_STRING, UINT_PTR(id));
        }
        return bar;
    }

    FormKind kind_;
    HWND hwnd_ = nullptr;
    std::map<std::string, std::unique_ptr<ui::Control>> controls_;
    std::map<std::string, int> menuNames_;
    std::map<int, std::unique_ptr<MenuItem>> menus_;
    HWND focus_ = nullptr;
    bool done_ = false;
    bool modal_ = false;
    bool closing_ = false;
};

LRESULT CALLBACK formProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
    {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return form ? form->handle(hwnd, message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

void registerClasses()
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpfnWndProc = formProc;
    wc.lpszClassName = kFormClass;
    wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), L"TAVRIN");
    // The title bar's and task bar's icon, drawn at 16 pixels rather than shrunk from 32.
    wc.hIconSm =
        static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), L"TAVRIN", IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    RegisterClassExW(&wc);
    wc.lpfnWndProc = pageProc;
    wc.lpszClassName = kPageClass;
    wc.hIcon = nullptr;
    wc.hIconSm = nullptr;
    RegisterClassExW(&wc);
}

}  // namespace

int twipsToPx(double twips) { return int(std::lround(twips * logicalDpi() / 1440.0)); }
double twipsPerPixel() { return 1440.0 / logicalDpi(); }

HFONT fontFor(bool gothic, double points)
{
    static std::map<std::pair<bool, int>, HFONT> made;
    const int height = -int(std::lround(points * logicalDpi() / 72.0));
    HFONT& font = made[{gothic, height}];
    if (!font)
        // Shift-JIS charset: where the face is missing, the font mapper takes
        // a Japanese face instead of one without the kana.
        font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                           gothic ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS,
                           gothic ? L"ＭＳ ゴシック" : L"ＭＳ Ｐゴシック");
    return font;
}

bool dispatchToControl(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
    {
        HWND child = reinterpret_cast<HWND>(lParam);
        Handler* h = child ? handlerOf(child) : nullptr;
        if (!h)
            return false;
        h->command(HIWORD(wParam));
        return true;
    }
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    Handler* h = header ? handlerOf(header->hwndFrom) : nullptr;
    if (!h)
        return false;
    h->notify(header);
    return true;
}

bool translateDialogKeys(MSG& msg)
{
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    return root && IsDialogMessageW(root, &msg);
}

void dispatch(MSG& msg)
{
    if (!translateDialogKeys(msg))
    {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

HWND windowOf(const Form* form)
{
    const auto* f = dynamic_cast<const Win32Form*>(form);
    return f ? f->hwnd() : nullptr;
}

Form* formOf(HWND window)
{
    if (!window || GetWindowLongPtrW(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&formProc))
        return nullptr;
    return reinterpret_cast<Win32Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

HWND hwndOf(const Control* control) { return Win32Form::hwndOf(control); }
Control* controlOf(HWND hwnd)
{
    const auto it = records().find(hwnd);
    return it == records().end() ? nullptr : it->second.control;
}

FormKind kindOf(const Form* form) { return dynamic_cast<const Win32Form&>(*form).kind(); }
bool isShownModally(const Form* form) { return dynamic_cast<const Win32Form&>(*form).modal(); }

bool commandOf(const ui::MenuItem* item, HWND& window, UINT& id)
{
    const auto* m = dynamic_cast<const win32::MenuItem*>(item);
    if (!m)
        return false;
    window = m->window;
    id = m->id;
    return true;
}

namespace
{

HHOOK messageBoxHook = nullptr;

// The message box's buttons speak the program's language whatever the
// system's is: the box is renamed as it is activated, before it is shown.
LRESULT CALLBACK renameButtons(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE)
    {
        HWND box = reinterpret_cast<HWND>(wParam);
        SetDlgItemTextW(box, IDCANCEL, L"キャンセル");
        // Wine centres the box on the screen, not on the window it is about.
        centreOnOwner(box);
        UnhookWindowsHookEx(messageBoxHook);
        messageBoxHook = nullptr;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

Win32Backend::Win32Backend() { registerClasses(); }

std::unique_ptr<Form> Win32Backend::createForm(const FormDesign& design, const Form* parent)
{
    return std::make_unique<Win32Form>(design, parent);
}

Answer Win32Backend::messageBox(const MessageBoxSpec& box)
{
    UINT type = box.buttons == Buttons::OkCancel ? MB_OKCANCEL : MB_OK;
    if (box.icon == Icon::Critical)
        type |= MB_ICONERROR;
    if (box.defaultButton == Answer::Cancel && box.buttons == Buttons::OkCancel)
        type |= MB_DEFBUTTON2;
    const auto* parent = dynamic_cast<const Win32Form*>(box.parent);
    // Without a parent the box still belongs to the window in front, so that
    // window takes no input while it is open.
    HWND owner = parent ? parent->hwnd() : windowInFront(nullptr);
    messageBoxHook = SetWindowsHookExW(WH_CBT, renameButtons, nullptr, GetCurrentThreadId());
    const int pressed =
        MessageBoxW(owner, wide(box.text).c_str(), wide(box.caption).c_str(), type | MB_SETFOREGROUND);
    if (messageBoxHook)
    {
        UnhookWindowsHookEx(messageBoxHook);
        messageBoxHook = nullptr;
    }
    switch (pressed)
    {
        case IDOK:
            return Answer::Ok;
        case IDCANCEL:
            return Answer::Cancel;
        default:
            return Answer::None;
    }
}

void Win32Backend::quit(int code) { PostQuitMessage(code); }

int Win32Backend::run()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        dispatch(msg);
    return int(msg.wParam);
}

}  // namespace ui::win32
