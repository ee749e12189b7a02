// Random use of the real program: a seeded stream of mouse and keyboard actions
// on the real windows against the simulated board library, every library call
// passing through a recorder, and the program's promises checked after each
// action. A broken promise stops the run and prints what replays it.
//
//   TAVRIN_RANDOM_USE_ACTIONS=50000  run that many actions (default: a few thousand)
//   TAVRIN_RANDOM_USE_SEED=n         start from another seed (the failure message names it)

#include "SimulatorFixture.h"
#include "WriteDialog.h"
#include "devctl/Loader.h"
#include "driver/TestDriver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

namespace
{

// A few seconds' use, in the sanitizer build too.
constexpr long kDefaultActions = TAVRIN_RANDOM_USE_DEFAULT_ACTIONS;

struct Key
{
    driver::Key key;
    const char* name;
    unsigned mods = driver::NoModifier;
};

using K = driver::Key;

// clang-format off
// Calls without a chip argument, and calls the recorder never makes fail
// (a failed open or count ends or empties the run, the masks are not looked at).
const std::string kChipless = " PciOpenDevice PciCloseDevice PciGetVxdVersion PciFindDevice TavrinUnmaskIntr TavrinMaskIntr TavrinReadIntrStat ";
const std::string kNeverFail = " PciOpenDevice PciCloseDevice PciFindDevice PciRegisterDevice TavrinUnmaskIntr TavrinMaskIntr ";

// Every text the program writes to its status line.
const std::vector<std::string> kOwnTexts = {
    "Orvelを2個発見しました。",
    "コンフィグレジスタ読み込み成功", "コンフィグレジスタ読み込み失敗", "モードレジスタ読み込み成功", "モードレジスタ読み込み失敗",
    "EEPROM読み込み成功", "EEPROM読み込み失敗", "コンフィグレジスタ書き込み成功", "コンフィグレジスタ書き込み失敗",
    "モードレジスタ書き込み成功", "モードレジスタ書き込み失敗", "EEPROM書き込み失敗", "出力ポート書き込み成功", "出力ポート書き込み失敗",
    "入力ポート読み込み成功", "入力ポート読み込み失敗", "出力ポート読み込み成功", "出力ポート読み込み失敗",
    "カウンタ値読み込み成功", "カウンタ値読み込み失敗", "割り込みオープン成功", "割り込みオープン失敗",
    "割り込みクローズ成功", "割り込みクローズ失敗", "EEPROM初期化成功", "EEPROM初期化失敗",
};

// Keys as a real keyboard makes them, text included (Delete carries U+007F).
const Key kFocusKeys[] = {{K::Tab, "Tab"}, {K::Backtab, "Shift+Tab", driver::Shift},
    {K::Return, "Return"}, {K::Enter, "Enter", driver::Keypad}, {K::Space, "Space"},
    {K::Escape, "Esc"}, {K::Up, "Up"}, {K::Down, "Down"}};
const Key kListKeys[] = {{K::Up, "Up"}, {K::Down, "Down"}, {K::Home, "Home"},
    {K::End, "End"}, {K::PageUp, "PageUp"}, {K::PageDown, "PageDown"}, {K::Space, "Space"}};
const Key kArrowKeys[] = {{K::Left, "Left"}, {K::Right, "Right"}, {K::Up, "Up"}, {K::Down, "Down"}};
const Key kEditKeys[] = {{K::Delete, "Delete"}, {K::Backspace, "BackSpace"}, {K::Home, "Home"},
    {K::End, "End"}, {K::Left, "Left"}, {K::Right, "Right"}, {K::A, "Ctrl+A", driver::Ctrl}};
const char* const kPulseTexts[] = {"5", "0", "42", "100", "65535", "65536", "99999", "a", "1x", "-", ".", " 7"};
const char* const kPastes[] = {"123", "4a5", "", "65536", "7 7", "0x10", "２"};
const char kHexChars[] = "0123456789abcdefABCDEFgz";
// clang-format on

std::string text(const std::string& s) { return s; }
std::string text(const char* s) { return s; }
template <class N, class = std::enable_if_t<std::is_integral_v<N>>>
std::string text(N n)
{
    return std::to_string(n);
}

// "%1 %2" filled from the arguments in turn.
template <class... Args>
std::string say(const char* format, const Args&... args)
{
    const std::vector<std::string> filled = {text(args)...};
    std::string out;
    for (const char* p = format; *p; ++p)
        if (p[0] == '%' && p[1] >= '1' && p[1] <= '9' && size_t(p[1] - '1') < filled.size())
            out += filled[size_t(*++p - '1')];
        else
            out += *p;
    return out;
}

std::string hex(uint32_t v, int digits)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*x", digits, v);
    return buf;
}

// A dump row as printed: the register's bytes, most significant first.
std::string rowText(uint32_t v)
{
    std::string row;
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02X", (v >> shift) & 0xFF);
        row += (row.empty() ? "" : " ") + std::string(byte);
    }
    return row;
}

bool endsWith(const std::string& s, const std::string& end)
{
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

void* simulator()
{
    std::string error;
    static void* sim = Module1::loader::open("lumbra", error);
    return sim;
}

const char* modalName(const driver::Modal* m)
{
    static std::string name;
    name = m->form() ? m->form()->caption() : "message box";
    return name.c_str();
}

class RandomUse
{
public:
    RandomUse(uint32_t seed, long actions) : seed_(seed), total_(actions), rng_(seed)
    {
#define LUMBRA_BIND(ret, name, params, args)                                                                 \
    board_.name = reinterpret_cast<name##_fn>(Module1::loader::symbol(simulator(), #name));
        LUMBRA_FUNCTIONS(LUMBRA_BIND)
#undef LUMBRA_BIND
    }

    // Drives the program until every action ran or a promise broke; returns
    // what broke and the actions up to there, empty when nothing broke.
    std::string run(const Module1::Table& recorder, start::EndFunction ended)
    {
        Module1::useTable(recorder);
        start::setEndFunction(ended);
        startProgram();
        driver::later(0, [this] { step(); });
        loop_.exec();
        return failure_;
    }

    template <class Member, class Args>
    auto call(const char* fn, Member member, Args args);

    void ended()
    {
        ++ends_;
        ++lives_;
        if (!exitExpected_)
            broken("the program ended outside its exit paths");
    }

private:
    void broken(const std::string& what)
    {
        if (!failure_.empty())
            return;
        failure_ = "seed " + std::to_string(seed_) + ", action " + std::to_string(index_) + " of " +
                   std::to_string(total_) + ": " + what + "\nactions up to there:\n";
        for (const std::string& line : log_)
            failure_ += line + "\n";
        stopping_ = true;
    }

    void log(const std::string& what)
    {
        const std::unique_ptr<driver::Modal> modal = driver::frontModal();
        lastCall_.clear();
        if (log_.size() > 300)
            log_.pop_front();
        log_.push_back("#" + std::to_string(index_) + " " +
                       (modal ? std::string(modalName(modal.get())) + ": " : std::string()) + what);
    }

    int pick(int n) { return int(rng_() % uint32_t(n)); }
    template <class T, size_t N>
    const T& any(const T (&table)[N])
    {
        return table[pick(int(N))];
    }

    // A point of the control picked in its back-end pixels, in twips.
    struct Spot
    {
        int x, y;
        double twipsX, twipsY;
    };
    Spot somewhere(const ui::Control* c, bool midHeight = false)
    {
        const driver::Rect r = driver::geometry(c);
        const double twips = 1440.0 / driver::px(win_->form(), 1440);
        Spot s{pick(r.width), 0, 0, 0};
        s.y = midHeight ? r.height / 2 : pick(r.height);
        s.twipsX = s.x * twips;
        s.twipsY = s.y * twips;
        return s;
    }

    // What a control is, for the log.
    std::string nameOf(const ui::Control* c) const
    {
        if (!c)
            return "the window";
        Tavrinmain& w = *win_;
        const std::pair<const ui::Control*, const char*> named[] = {
            {w.lstOrvel, "lstOrvel"}, {w.txtPls, "txtPls"}, {w.picDump, "picDump"},
            {w.picDump2, "picDump2"}, {w.SSTab1, "SSTab1"}, {w.picOutp, "picOutp"}};
        for (const auto& [control, name] : named)
            if (control == c)
                return name;
        if (const auto* b = dynamic_cast<const ui::CommandButton*>(c))
            return "button " + b->text();
        if (dynamic_cast<const ui::TextBox*>(c))
            return "a text box";
        if (dynamic_cast<const ui::PictureBox*>(c))
            return "a picture box";
        return "a control";
    }

    int selectedChip() const { return win_->lstOrvel->selectedRow() + 1; }

    void startProgram()
    {
        win_ = nullptr;
        start::resetForTest();
        ends_ = 0;
        if (!start::Main())
            broken("the program did not start");
        win_ = programWindow();
    }

    // Runs from the event loop of whichever window is modal, so an action that
    // opens a dialog is still running while the next actions work in the dialog.
    void step()
    {
        const std::unique_ptr<driver::Modal> modal = driver::frontModal();
        const void* window = modal ? modal->window() : nullptr;
        if (busy_ && window == busyModal_)  // an action is still at work in this window
            return driver::later(1, [this] { step(); });
        if (stopping_ || index_ >= total_)
        {
            stopping_ = true;
            if (!modal)
                return loop_.quit();
            modal->close();
        }
        driver::later(0, [this] { step(); });
        if (stopping_)
            return;
        ++index_;
        const auto outer = std::make_tuple(busy_, busyModal_, exitExpected_, dumpReads_);
        std::tie(busy_, busyModal_, exitExpected_, dumpReads_) = std::make_tuple(true, window, false, 0);
        act(modal.get());
        if (!stopping_)
            afterAction();
        std::tie(busy_, busyModal_, exitExpected_, dumpReads_) = outer;
    }

    void act(driver::Modal* modal);
    void afterAction();
    void checkDump(const std::string& status);
    void usePulseBox();
    void keyAtFocus(driver::Modal* modal);

    const uint32_t seed_;
    const long total_;
    std::mt19937 rng_;
    Module1::Table board_{};  // the simulated library itself, bound beside the recorder
    Tavrinmain* win_ = nullptr;
    driver::EventLoop loop_;
    long index_ = 0;
    bool stopping_ = false;
    bool busy_ = false;
    const void* busyModal_ = nullptr;
    bool exitExpected_ = false;
    int dumpReads_ = 0;
    int ends_ = 0;
    long lives_ = 0;  // program ends so far: a window of an ended program is gone
    int32_t openInterrupt_ = 0;
    std::string failure_;
    std::deque<std::string> log_;
    std::string lastCall_;
    std::string firstCallLine_;
    int sameCalls_ = 0;
    bool fromFirst_ = false;
};

template <class Member, class Args>
auto RandomUse::call(const char* fn, Member member, Args args)
{
    const std::string name = fn;
    std::vector<int64_t> v;
    std::apply([&](auto... a)
               { ((std::is_integral_v<decltype(a)> ? v.push_back(int64_t(a)) : void()), ...); },
               args);
    std::string text = fn;
    for (int64_t a : v)
        text += " 0x" + hex(uint32_t(a), 0);
    // A reader's pass over a dump takes one line of the log, and counts as one
    // dump read once it goes past the first register.
    const bool reader = name == "PciReadConfigReg" || name == "OrvelReadModeReg" || name == "OrvelReadEep";
    if (name == lastCall_ && !(reader && v[1] == 0))
    {
        log_.back() = say("%1 .. %2 (%3 calls)", firstCallLine_, text, ++sameCalls_);
        if (reader && sameCalls_ == 2 && fromFirst_ && ++dumpReads_ > 1)
            broken(say("one action read a dump %1 times", dumpReads_));
    }
    else
    {
        log("   call " + text);
        firstCallLine_ = log_.back();
        lastCall_ = name;
        sameCalls_ = 1;
        fromFirst_ = reader && v[1] == 0;
    }

    if (name == "TavrinCloseIntr" && v[0] != openInterrupt_)
        broken(say("%1: the open interrupt is chip %2", text, openInterrupt_));
    else if (kChipless.find(" " + name + " ") == std::string::npos && name != "PciRegisterDevice" &&
             name != "TavrinCloseIntr" && v[0] != selectedChip())
        broken(say("%1 went to chip %2, the selected chip is %3", text, v[0], selectedChip()));
    const bool config = name == "PciWriteConfigReg";
    if (config || name == "OrvelWriteModeReg")
    {
        int32_t held = 0;
        const int edited = app().editAddr % 4;
        if ((config ? board_.PciReadConfigReg : board_.OrvelReadModeReg)(int32_t(v[0]), int32_t(v[1]),
                                                                         &held) &&
            ((uint32_t(v[2]) ^ uint32_t(held)) & ~(0xFFu << 8 * edited)) != 0)
            broken(say("%1 changes more than byte %2: the board holds 0x%3", text, hex(app().editAddr, 2),
                       hex(uint32_t(held), 8)));
    }

    using Result = decltype(std::apply(board_.*member, args));
    if (kNeverFail.find(" " + name + " ") == std::string::npos && pick(150) == 0)
    {
        log("   (made to fail)");
        return Result{};
    }
    const Result status = std::apply(board_.*member, args);
    if (status != 0 && name == "TavrinOpenIntr")
        openInterrupt_ = int32_t(v[0]);
    if ((status != 0 && name == "TavrinCloseIntr") || name == "PciCloseDevice")
        openInterrupt_ = 0;
    return status;
}

void RandomUse::act(driver::Modal* modal)
{
    // As a window manager does when a dialog opens or closes: the window the
    // user works in is the active one, so focus moves raise their events.
    if (modal)
    {
        if (!modal->activate())
            log(say("%1 did not become active", modalName(modal)));
    }
    else
    {
        driver::activate(win_->form());
        if (!driver::waitActive(win_->form()))
            log("the main window did not become active");
    }
    using Action = void (*)(RandomUse&, driver::Modal*);
    struct Choice
    {
        int weight;
        Action run;
    };
    static const Choice kInDialog[] = {
        {3,
         [](RandomUse& r, driver::Modal* d)
         {
             auto* write = d->form() ? dynamic_cast<WriteDialog*>(d->form()->owner) : nullptr;
             if (write)
             {
                 ui::PictureBox* target = write->picAdr && r.pick(4) == 0 ? write->picAdr : write->picData;
                 const Spot p = r.somewhere(target);
                 r.log(say("click %1 at %2,%3", target == write->picAdr ? "picAdr" : "picData", p.x, p.y));
                 return driver::click(target, p.twipsX, p.twipsY);
             }
             const driver::Rect area = d->clientArea();
             const int x = r.pick(std::max(area.width, 1)), y = r.pick(std::max(area.height, 1));
             r.log(say("click %1 at %2,%3", modalName(d), x, y));
             d->clickAt(x, y);
         }},
        {4,
         [](RandomUse& r, driver::Modal* d)
         {
             const std::string target = r.nameOf(d->focused());
             const char c = kHexChars[r.pick(int(std::strlen(kHexChars)))];
             const Key& k = r.any(kArrowKeys);
             const bool arrow = r.pick(3) == 0;
             r.log(say("key %1 at %2", arrow ? std::string(k.name) : std::string(1, c), target));
             if (arrow)
                 return d->key(k.key, k.mods);
             d->keyChar(c);
         }},
        {3, [](RandomUse& r, driver::Modal* d) { r.keyAtFocus(d); }},
        {2,
         [](RandomUse& r, driver::Modal* d)
         {
             const std::vector<std::string> buttons = d->buttons();
             if (buttons.empty())
                 return r.broken(say("%1 has no button to press", modalName(d)));
             const int b = r.pick(int(buttons.size()));
             r.log(say("click the button %1", buttons[size_t(b)]));
             d->clickButton(b);
         }},
        {1,
         [](RandomUse& r, driver::Modal* d)
         {
             r.log("close box");
             d->close();
         }},
    };
    static const Choice kInMain[] = {
        {8,
         [](RandomUse& r, driver::Modal*)
         {
             const ui::ListBox* list = r.win_->lstOrvel;
             const int row = r.pick(list->count());
             const unsigned mods = r.pick(6) == 0 ? driver::Ctrl : driver::NoModifier;
             r.log(say("click chip %1%2", row + 1, mods ? " with Ctrl" : ""));
             const driver::TwipsPoint p = driver::rowCentre(list, row);
             driver::click(list, p.x, p.y, driver::Button::Left, mods);
         }},
        {6,
         [](RandomUse& r, driver::Modal*)
         {
             const Key& k = r.any(kListKeys);
             r.log(say("key %1 on the chip list", k.name));
             driver::focus(r.win_->lstOrvel);
             driver::keyAsTyped(r.win_->lstOrvel, k.key, k.mods);
         }},
        {15,
         [](RandomUse& r, driver::Modal*)
         {
             const bool second = r.win_->SSTab1->currentTab() == 1;
             ui::PictureBox* box = second ? r.win_->picDump2 : r.win_->picDump;
             if (!box->isVisible())
                 return r.log("no dump on this tab");
             const Spot p = r.somewhere(box);
             const int how = r.pick(3);
             const Key& k = r.any(kArrowKeys);
             const char* const hows[] = {"click", "double-click", "key "};
             r.log(say("%1%2 on %3 at %4,%5", hows[how], how == 2 ? k.name : "",
                       second ? "picDump2" : "picDump", p.x, p.y));
             if (how == 2)
                 return driver::keyAsTyped(box, k.key, k.mods);
             driver::click(box, p.twipsX, p.twipsY);
             if (how == 1)
                 driver::doubleClick(box, p.twipsX, p.twipsY);
         }},
        {2,
         [](RandomUse& r, driver::Modal*)
         {
             const int tab = r.pick(2);
             r.log(say("click tab %1", tab));
             driver::clickTab(r.win_->SSTab1, tab);
         }},
        {7,
         [](RandomUse& r, driver::Modal*)
         {
             Tavrinmain& w = *r.win_;
             const std::pair<ui::CommandButton*, const char*> buttons[] = {
                 {w.btnInpRd, "btnInpRd"},     {w.btnOutpRd, "btnOutpRd"},     {w.btnCntRd, "btnCntRd"},
                 {w.btnIntOpen, "btnIntOpen"}, {w.btnIntClose, "btnIntClose"}, {w.btnIntSts, "btnIntSts"},
                 {w.btnEepInit, "btnEepInit"}};
             if (r.pick(4) == 0)
             {
                 r.log("double-click picOutp");
                 const Spot p = r.somewhere(w.picOutp);
                 return driver::doubleClick(w.picOutp, p.twipsX, p.twipsY);
             }
             const auto& [button, name] = r.any(buttons);
             r.log(say("click %1", name));
             driver::click(button);
         }},
        {5,
         [](RandomUse& r, driver::Modal*)
         {
             Tavrinmain& w = *r.win_;
             const std::pair<ui::MenuItem*, const char*> items[] = {{w.menuR_Config, "menuR_Config"},
                                                                    {w.menuR_Mode, "menuR_Mode"},
                                                                    {w.menuR_eep, "menuR_eep"},
                                                                    {w.menuH_Ver, "menuH_Ver"},
                                                                    {w.menuEdit, "menuEdit"}};
             const auto& [item, name] = r.any(items);
             r.log(say("menu %1", name));
             driver::chooseMenu(item);
         }},
        {1,
         [](RandomUse& r, driver::Modal*)
         {
             r.exitExpected_ = true;
             const int way = r.pick(3);
             const char* const ways[] = {"click btnEnd", "menu 終了", "close box of the main window"};
             r.log(ways[way]);
             if (way == 0)
                 driver::click(r.win_->btnEnd);
             else if (way == 1)
                 driver::chooseMenu(r.win_->menuF_End);
             else
                 driver::closeBox(r.win_->form());
         }},
        {8, [](RandomUse& r, driver::Modal*) { r.usePulseBox(); }},
        {5, [](RandomUse& r, driver::Modal*) { r.keyAtFocus(nullptr); }},
    };
    const auto choose = [this, modal](const auto& table)
    {
        int n = 0;
        for (const Choice& c : table)
            n += c.weight;
        n = pick(n);
        for (const Choice& c : table)
            if ((n -= c.weight) < 0)
                return c.run(*this, modal);
    };
    if (modal)
        choose(kInDialog);
    else
        choose(kInMain);
}

// Typing, editing keys and pastes in the pulse box, after a click into it
// unless it has the focus already. Editing keys act on it as on any text box;
// only typed characters are filtered.
void RandomUse::usePulseBox()
{
    ui::TextBox* box = win_->txtPls;
    if (driver::focused(win_->form()) != box || pick(2))
    {
        const Spot p = somewhere(box, true);
        log(say("click txtPls at %1", p.x));
        driver::click(box, p.twipsX, p.twipsY);
    }
    if (const int use = pick(8); use < 3)
    {
        const char* typed = any(kPulseTexts);
        log(say("type \"%1\"", typed));
        return driver::type(box, typed);
    }
    else if (use < 5)
    {
        const std::string pasted = any(kPastes);
        log(say("paste \"%1\"", pasted));
        driver::setClipboardText(pasted);
        return driver::keyAsTyped(box, K::V, driver::Ctrl);
    }
    const Key& k = any(kEditKeys);
    const std::unique_ptr<ui::TextBox> plain = driver::plainCopyOf(box);
    log(say("key %1 in txtPls \"%2\" at %3", k.name, box->text(), driver::caretOf(box)));
    driver::keyAsTyped(plain.get(), k.key, k.mods);
    driver::keyAsTyped(box, k.key, k.mods);
    if (box->text() != plain->text())
        broken(say("%1 left the pulse box at \"%2\", a text box gets \"%3\"", k.name, box->text(),
                   plain->text()));
}

// A key at the focus; Enter and Space on a focused button press it.
void RandomUse::keyAtFocus(driver::Modal* modal)
{
    const ui::Control* target = modal ? modal->focused() : driver::focused(win_->form());
    const Key& k = any(kFocusKeys);
    log(say("key %1 at %2", k.name, nameOf(target)));
    const bool pressing = k.key == K::Return || k.key == K::Enter || k.key == K::Space;
    auto* button = dynamic_cast<ui::CommandButton*>(const_cast<ui::Control*>(target));
    // A message box's buttons are none of the program's: a press closes the box.
    const bool boxButton = modal && !modal->form() && modal->focusedButton() >= 0;
    int clicks = 0;
    const long life = lives_;
    std::shared_ptr<std::function<void()>> own;
    if (pressing && button)
    {
        own = std::make_shared<std::function<void()>>(button->onClick);
        button->onClick = [&clicks, own]
        {
            // The handler may end the program and take the button with it.
            const std::shared_ptr<std::function<void()>> keep = own;
            ++clicks;
            if (*keep)
                (*keep)();
        };
    }
    exitExpected_ = pressing && button == win_->btnEnd;
    if (modal)
        modal->key(k.key, k.mods);
    else if (target)
        driver::keyAsTyped(target, k.key, k.mods);
    else
        driver::keyToFocus(win_->form(), k.key, k.mods);
    if (own && lives_ == life)
        button->onClick = *own;
    if (stopping_ || !pressing)
        return;
    if (button && clicks != 1)
        broken(say("%1 on the focused button %2 pressed it %3 times", k.name, button->text(), clicks));
    else if (boxButton && modal->isOpen())
        broken(say("%1 on the focused button of a message box left it open", k.name));
}

void RandomUse::afterAction()
{
    if (exitExpected_ && ends_ != 1)
        broken(say("an exit path ended the program %1 times", ends_));
    if (ends_ > 0)
    {
        if (!stopping_)
            startProgram();
        return;
    }
    const std::string status = win_->statusText();
    if (std::find(kOwnTexts.begin(), kOwnTexts.end(), status) == kOwnTexts.end())
        broken(say("the status line holds a text of no operation: \"%1\"", status));
    const std::string pulses = win_->txtPls->text();
    if (!std::all_of(pulses.begin(), pulses.end(), [](char c) { return c >= '0' && c <= '9'; }))
        broken(say("the pulse box holds \"%1\"", pulses));
    checkDump(status);
}

// While the status line reports a dump read or re-read in full, the dump shows
// the selected chip's registers as the board holds them.
void RandomUse::checkDump(const std::string& status)
{
    const bool done = endsWith(status, "成功");
    const bool config = done && status.rfind("コンフィグレジスタ", 0) == 0;
    const bool mode = done && status.rfind("モードレジスタ", 0) == 0;
    const bool eeprom = status == "EEPROM読み込み成功";
    if (!config && !mode && !eeprom)
        return;
    const int32_t chip = selectedChip();
    if (chip == 0)
        return broken(say("\"%1\" with no chip selected", status));
    for (int half = 0; half < (eeprom ? 2 : 1); ++half)
        for (int r = 0; r < (config ? 17 : 16); ++r)
        {
            int32_t a = 0, b = 0;
            if (eeprom)
            {
                board_.OrvelReadEep(chip, 32 * half + 2 * r, &a);
                board_.OrvelReadEep(chip, 32 * half + 2 * r + 1, &b);
                a = int32_t(uint32_t(b) << 16 | uint32_t(a & 0xFFFF));
            }
            else
                (config ? board_.PciReadConfigReg : board_.OrvelReadModeReg)(chip, 4 * r, &a);
            const std::string shown = (half ? app().dumpRows2 : app().dumpRows)[size_t(r)];
            if (shown != rowText(uint32_t(a)))
                return broken(say("with \"%1\" dump row %2%3 shows %4, chip %5 holds %6", status, r,
                                  half ? " of the second half" : "", shown, chip, rowText(uint32_t(a))));
        }
}

RandomUse* current = nullptr;

#define LUMBRA_RECORDER(ret, name, params, args)                                                             \
    ret LUMBRA_CALL record_##name params                                                                     \
    {                                                                                                        \
        return current->call(#name, &Module1::Table::name, std::make_tuple args);                            \
    }
LUMBRA_FUNCTIONS(LUMBRA_RECORDER)
#undef LUMBRA_RECORDER

const Module1::Table kRecorder = {
#define LUMBRA_ENTRY(ret, name, params, args) record_##name,
    LUMBRA_FUNCTIONS(LUMBRA_ENTRY)
#undef LUMBRA_ENTRY
};

long fromEnv(const char* name, long fallback)
{
    const char* v = std::getenv(name);
    return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

class RandomUseTest : public SimulatorFixture
{
protected:
    void TearDown() override
    {
        start::setEndFunction([](int) {});
        Module1::useLibrary();
        current = nullptr;
        SimulatorFixture::TearDown();
    }
};

TEST_F(RandomUseTest, ThousandsOfUserActionsKeepEveryPromise)
{
    const uint32_t seed = uint32_t(fromEnv("TAVRIN_RANDOM_USE_SEED", 13));
    const long actions = fromEnv("TAVRIN_RANDOM_USE_ACTIONS", kDefaultActions);
    RandomUse use(seed, actions);
    current = &use;
    const std::string failure = use.run(kRecorder, [](int) { current->ended(); });
    if (!failure.empty())
        ADD_FAILURE() << failure << "replay with TAVRIN_RANDOM_USE_SEED=" << seed
                      << " TAVRIN_RANDOM_USE_ACTIONS=" << actions;
    std::printf("%ld random actions from seed %u\n", actions, seed);
}

}  // namespace
