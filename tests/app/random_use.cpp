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
#include "ui/qt/QtBackend.h"
#include "ui/qt/SSTab.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <tuple>

namespace
{

// A few seconds' use, in the sanitizer build too.
constexpr long kDefaultActions = 3000;

struct Key
{
    Qt::Key key;
    const char* text;
    const char* name;
    Qt::KeyboardModifiers mods = Qt::NoModifier;
};

// clang-format off
// Calls without a chip argument, and calls the recorder never makes fail
// (a failed open or count ends or empties the run, the masks are not looked at).
const std::string kChipless = " PciOpenDevice PciCloseDevice PciGetVxdVersion PciFindDevice TavrinUnmaskIntr TavrinMaskIntr TavrinReadIntrStat ";
const std::string kNeverFail = " PciOpenDevice PciCloseDevice PciFindDevice PciRegisterDevice TavrinUnmaskIntr TavrinMaskIntr ";

// Every text the program writes to its status line.
const QStringList kOwnTexts = {
    "Orvelを2個発見しました。",
    "コンフィグレジスタ読み込み成功", "コンフィグレジスタ読み込み失敗", "モードレジスタ読み込み成功", "モードレジスタ読み込み失敗",
    "EEPROM読み込み成功", "EEPROM読み込み失敗", "コンフィグレジスタ書き込み成功", "コンフィグレジスタ書き込み失敗",
    "モードレジスタ書き込み成功", "モードレジスタ書き込み失敗", "EEPROM書き込み失敗", "出力ポート書き込み成功", "出力ポート書き込み失敗",
    "入力ポート読み込み成功", "入力ポート読み込み失敗", "出力ポート読み込み成功", "出力ポート読み込み失敗",
    "カウンタ値読み込み成功", "カウンタ値読み込み失敗", "割り込みオープン成功", "割り込みオープン失敗",
    "割り込みクローズ成功", "割り込みクローズ失敗", "EEPROM初期化成功", "EEPROM初期化失敗",
};

// Keys as a real keyboard makes them, text included (Delete carries U+007F).
const Key kFocusKeys[] = {{Qt::Key_Tab, "\t", "Tab"}, {Qt::Key_Backtab, "", "Shift+Tab", Qt::ShiftModifier},
    {Qt::Key_Return, "\r", "Return"}, {Qt::Key_Enter, "\r", "Enter", Qt::KeypadModifier}, {Qt::Key_Space, " ", "Space"},
    {Qt::Key_Escape, "\x1b", "Esc"}, {Qt::Key_Up, "", "Up"}, {Qt::Key_Down, "", "Down"}};
const Key kListKeys[] = {{Qt::Key_Up, "", "Up"}, {Qt::Key_Down, "", "Down"}, {Qt::Key_Home, "", "Home"},
    {Qt::Key_End, "", "End"}, {Qt::Key_PageUp, "", "PageUp"}, {Qt::Key_PageDown, "", "PageDown"}, {Qt::Key_Space, " ", "Space"}};
const Key kArrowKeys[] = {{Qt::Key_Left, "", "Left"}, {Qt::Key_Right, "", "Right"}, {Qt::Key_Up, "", "Up"}, {Qt::Key_Down, "", "Down"}};
const Key kEditKeys[] = {{Qt::Key_Delete, "\x7f", "Delete"}, {Qt::Key_Backspace, "\b", "BackSpace"}, {Qt::Key_Home, "", "Home"},
    {Qt::Key_End, "", "End"}, {Qt::Key_Left, "", "Left"}, {Qt::Key_Right, "", "Right"}, {Qt::Key_A, "\x01", "Ctrl+A", Qt::ControlModifier}};
const char* const kPulseTexts[] = {"5", "0", "42", "100", "65535", "65536", "99999", "a", "1x", "-", ".", " 7"};
const char* const kPastes[] = {"123", "4a5", "", "65536", "7 7", "0x10", "２"};
const char kHexChars[] = "0123456789abcdefABCDEFgz";
// clang-format on

// "%1 %2" filled from the arguments in turn.
template <class... Args>
QString say(const char* format, const Args&... args)
{
    QString text = QString::fromUtf8(format);
    ((text = text.arg(args)), ...);
    return text;
}

QString hex(uint32_t v, int digits) { return QStringLiteral("%1").arg(v, digits, 16, QLatin1Char('0')); }

void sendKey(QWidget* w, const Key& k)
{
    QTest::sendKeyEvent(QTest::Click, w, k.key, QString::fromLatin1(k.text), k.mods);
}

// A dump row as printed: the register's bytes, most significant first.
QString rowText(uint32_t v)
{
    QString row;
    for (int shift = 24; shift >= 0; shift -= 8)
        row += QStringLiteral("%1 ").arg((v >> shift) & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
    return row.trimmed();
}

// The widget and the action behind the controls, for this program drives the
// real Qt widgets with the events a user makes.
template <class W = QWidget>
W* qt(const ui::Control* c)
{
    return dynamic_cast<W*>(ui::qt::widgetOf(c));
}
QAction* qt(const ui::MenuItem* item) { return ui::qt::actionOf(item); }
QString qs(const std::string& s) { return QString::fromStdString(s); }

void* simulator()
{
    std::string error;
    static void* sim = Module1::loader::open("lumbra", error);
    return sim;
}

QString nameOf(const QObject* o)
{
    return o->objectName().isEmpty() ? QString::fromLatin1(o->metaObject()->className()) : o->objectName();
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
        QTimer::singleShot(0, [this] { step(); });
        loop_.exec();
        return failure_;
    }

    template <class Member, class Args>
    auto call(const char* fn, Member member, Args args);

    void ended()
    {
        ++ends_;
        if (!exitExpected_)
            broken(QStringLiteral("the program ended outside its exit paths"));
    }

private:
    void broken(const QString& what)
    {
        if (!failure_.empty())
            return;
        failure_ = "seed " + std::to_string(seed_) + ", action " + std::to_string(index_) + " of " +
                   std::to_string(total_) + ": " + what.toStdString() + "\nactions up to there:\n";
        for (const QString& line : log_)
            failure_ += line.toStdString() + "\n";
        stopping_ = true;
    }

    void log(const QString& what)
    {
        const QWidget* modal = QApplication::activeModalWidget();
        lastCall_.clear();
        if (log_.size() > 300)
            log_.pop_front();
        log_.push_back(
            QStringLiteral("#%1 %2%3").arg(index_).arg(modal ? nameOf(modal) + ": " : QString(), what));
    }

    int pick(int n) { return int(rng_() % uint32_t(n)); }
    QWidget* mainWindow() const { return ui::qt::windowOf(&win_->form()); }
    QPoint somewhere(const QWidget* w) { return QPoint(pick(w->width()), pick(w->height())); }
    template <class T, size_t N>
    const T& any(const T (&table)[N])
    {
        return table[pick(int(N))];
    }

    int selectedChip() const { return win_->lstOrvel->selectedRow() + 1; }

    void startProgram()
    {
        win_ = nullptr;
        start::resetForTest();
        ends_ = 0;
        if (!start::Main())
            broken(QStringLiteral("the program did not start"));
        win_ = programWindow();
    }

    // Runs from the event loop of whichever window is modal, so an action that
    // opens a dialog is still running while the next actions work in the dialog.
    void step()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (busy_ && modal == busyModal_)  // an action is still at work in this window
            return QTimer::singleShot(1, [this] { step(); });
        if (stopping_ || index_ >= total_)
        {
            stopping_ = true;
            if (!modal)
                return loop_.quit();
            modal->close();
        }
        QTimer::singleShot(0, [this] { step(); });
        if (stopping_)
            return;
        ++index_;
        const auto outer = std::make_tuple(busy_, busyModal_, exitExpected_, dumpReads_);
        std::tie(busy_, busyModal_, exitExpected_, dumpReads_) = std::make_tuple(true, modal, false, 0);
        act(modal);
        if (!stopping_)
            afterAction();
        std::tie(busy_, busyModal_, exitExpected_, dumpReads_) = outer;
    }

    void act(QWidget* modal);
    void afterAction();
    void checkDump(const QString& status);
    void usePulseBox();
    void keyAtFocus(QWidget* window);

    const uint32_t seed_;
    const long total_;
    std::mt19937 rng_;
    Module1::Table board_{};  // the simulated library itself, bound beside the recorder
    Tavrinmain* win_ = nullptr;
    QEventLoop loop_;
    long index_ = 0;
    bool stopping_ = false;
    bool busy_ = false;
    QWidget* busyModal_ = nullptr;
    bool exitExpected_ = false;
    int dumpReads_ = 0;
    int ends_ = 0;
    int32_t openInterrupt_ = 0;
    std::string failure_;
    std::deque<QString> log_;
    std::string lastCall_;
    QString firstCallLine_;
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
    QString text = QString::fromLatin1(fn);
    for (int64_t a : v)
        text += QStringLiteral(" 0x%1").arg(uint32_t(a), 0, 16);
    // A reader's pass over a dump takes one line of the log, and counts as one
    // dump read once it goes past the first register.
    const bool reader = name == "PciReadConfigReg" || name == "OrvelReadModeReg" || name == "OrvelReadEep";
    if (name == lastCall_ && !(reader && v[1] == 0))
    {
        log_.back() = QStringLiteral("%1 .. %2 (%3 calls)").arg(firstCallLine_, text).arg(++sameCalls_);
        if (reader && sameCalls_ == 2 && fromFirst_ && ++dumpReads_ > 1)
            broken(say("one action read a dump %1 times", dumpReads_));
    }
    else
    {
        log(QStringLiteral("   call ") + text);
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
                       hex(held, 8)));
    }

    using Result = decltype(std::apply(board_.*member, args));
    if (kNeverFail.find(" " + name + " ") == std::string::npos && pick(150) == 0)
    {
        log(QStringLiteral("   (made to fail)"));
        return Result{};
    }
    const Result status = std::apply(board_.*member, args);
    if (status != 0 && name == "TavrinOpenIntr")
        openInterrupt_ = int32_t(v[0]);
    if ((status != 0 && name == "TavrinCloseIntr") || name == "PciCloseDevice")
        openInterrupt_ = 0;
    return status;
}

void RandomUse::act(QWidget* modal)
{
    // As a window manager does when a dialog opens or closes: the window the
    // user works in is the active one, so focus moves raise their events.
    QWidget* front = modal ? modal : mainWindow();
    if (QApplication::activeWindow() != front)
    {
        front->activateWindow();
        if (!QTest::qWaitForWindowActive(front, 1000))
            log(say("%1 did not become active", nameOf(front)));
    }
    using Action = void (*)(RandomUse&, QWidget*);
    struct Choice
    {
        int weight;
        Action run;
    };
    static const Choice kInDialog[] = {
        {3,
         [](RandomUse& r, QWidget* d)
         {
             const ui::Form* form = ui::qt::formOf(d);
             auto* write = form ? dynamic_cast<WriteDialog*>(form->owner) : nullptr;
             QWidget* target =
                 write ? qt(write->picAdr && r.pick(4) == 0 ? write->picAdr : write->picData) : d;
             const QPoint p = r.somewhere(target);
             r.log(say("click %1 at %2,%3", nameOf(target), p.x(), p.y()));
             QTest::mouseClick(target, Qt::LeftButton, {}, p);
         }},
        {4,
         [](RandomUse& r, QWidget* d)
         {
             QWidget* target = d->focusWidget() ? d->focusWidget() : d;
             const char c = kHexChars[r.pick(int(std::strlen(kHexChars)))];
             const Key& k = r.any(kArrowKeys);
             const bool arrow = r.pick(3) == 0;
             r.log(say("key %1 at %2", arrow ? k.name : QString(QLatin1Char(c)), nameOf(target)));
             if (arrow)
                 return sendKey(target, k);
             QTest::keyClick(target, c);
         }},
        {3, [](RandomUse& r, QWidget* d) { r.keyAtFocus(d); }},
        {2,
         [](RandomUse& r, QWidget* d)
         {
             QList<QAbstractButton*> buttons;
             for (QAbstractButton* b : d->findChildren<QAbstractButton*>())
                 if (b->isVisible() && b->isEnabled())
                     buttons << b;
             QAbstractButton* b = buttons[r.pick(int(buttons.size()))];
             r.log(say("click the button %1", b->text()));
             QTest::mouseClick(b, Qt::LeftButton);
         }},
        {1,
         [](RandomUse& r, QWidget* d)
         {
             r.log(QStringLiteral("close box"));
             d->close();
         }},
    };
    static const Choice kInMain[] = {
        {8,
         [](RandomUse& r, QWidget*)
         {
             auto* list = qt<QListWidget>(r.win_->lstOrvel);
             const int row = r.pick(list->count());
             const Qt::KeyboardModifiers mods = r.pick(6) == 0 ? Qt::ControlModifier : Qt::NoModifier;
             r.log(say("click chip %1%2", row + 1, mods ? QStringLiteral(" with Ctrl") : QString()));
             QTest::mouseClick(list->viewport(), Qt::LeftButton, mods,
                               list->visualItemRect(list->item(row)).center());
         }},
        {6,
         [](RandomUse& r, QWidget*)
         {
             const Key& k = r.any(kListKeys);
             r.log(say("key %1 on the chip list", k.name));
             qt(r.win_->lstOrvel)->setFocus(Qt::TabFocusReason);
             sendKey(qt(r.win_->lstOrvel), k);
         }},
        {15,
         [](RandomUse& r, QWidget*)
         {
             QWidget* box = qt(r.win_->SSTab1->currentTab() == 1 ? r.win_->picDump2 : r.win_->picDump);
             if (!box->isVisible())
                 return r.log(QStringLiteral("no dump on this tab"));
             const QPoint p = r.somewhere(box);
             const int how = r.pick(3);
             const Key& k = r.any(kArrowKeys);
             const char* const hows[] = {"click", "double-click", "key "};
             r.log(say("%1%2 on %3 at %4,%5", hows[how], how == 2 ? k.name : "", box->objectName(), p.x(),
                       p.y()));
             if (how == 2)
                 return sendKey(box, k);
             QTest::mouseClick(box, Qt::LeftButton, {}, p);
             if (how == 1)
                 QTest::mouseDClick(box, Qt::LeftButton, {}, p);
         }},
        {2,
         [](RandomUse& r, QWidget*)
         {
             QTabBar* bar = qt<ui::qt::SSTab>(r.win_->SSTab1)->tabBar();
             const int tab = r.pick(2);
             r.log(say("click tab %1", tab));
             QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
         }},
        {7,
         [](RandomUse& r, QWidget*)
         {
             Tavrinmain& w = *r.win_;
             QAbstractButton* const buttons[] = {
                 qt<QAbstractButton>(w.btnInpRd),    qt<QAbstractButton>(w.btnOutpRd),
                 qt<QAbstractButton>(w.btnCntRd),    qt<QAbstractButton>(w.btnIntOpen),
                 qt<QAbstractButton>(w.btnIntClose), qt<QAbstractButton>(w.btnIntSts),
                 qt<QAbstractButton>(w.btnEepInit)};
             if (r.pick(4) == 0)
             {
                 r.log(QStringLiteral("double-click picOutp"));
                 return QTest::mouseDClick(qt(w.picOutp), Qt::LeftButton, {}, r.somewhere(qt(w.picOutp)));
             }
             QAbstractButton* b = r.any(buttons);
             r.log(say("click %1", b->objectName()));
             QTest::mouseClick(b, Qt::LeftButton);
         }},
        {5,
         [](RandomUse& r, QWidget*)
         {
             Tavrinmain& w = *r.win_;
             QAction* const items[] = {qt(w.menuR_Config), qt(w.menuR_Mode), qt(w.menuR_eep), qt(w.menuH_Ver),
                                       qt(w.menuEdit)};
             QAction* a = r.any(items);
             r.log(say("menu %1", a->text()));
             a->trigger();
         }},
        {1,
         [](RandomUse& r, QWidget*)
         {
             r.exitExpected_ = true;
             const int way = r.pick(3);
             const char* const ways[] = {"click btnEnd", "menu 終了", "close box of the main window"};
             r.log(QString::fromUtf8(ways[way]));
             if (way == 0)
                 QTest::mouseClick(qt(r.win_->btnEnd), Qt::LeftButton);
             else if (way == 1)
                 qt(r.win_->menuF_End)->trigger();
             else
                 r.mainWindow()->close();
         }},
        {8, [](RandomUse& r, QWidget*) { r.usePulseBox(); }},
        {5, [](RandomUse& r, QWidget*) { r.keyAtFocus(r.mainWindow()); }},
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
// unless it has the focus already. Editing keys act on it as on any line edit;
// only typed characters are filtered.
void RandomUse::usePulseBox()
{
    auto* box = qt<QLineEdit>(win_->txtPls);
    if (mainWindow()->focusWidget() != box || pick(2))
    {
        const QPoint p(pick(box->width()), box->height() / 2);
        log(say("click txtPls at %1", p.x()));
        QTest::mouseClick(box, Qt::LeftButton, {}, p);
    }
    if (const int use = pick(8); use < 3)
    {
        const char* text = any(kPulseTexts);
        log(say("type \"%1\"", text));
        return QTest::keyClicks(box, QString::fromLatin1(text));
    }
    else if (use < 5)
    {
        const QString text = QString::fromUtf8(any(kPastes));
        log(say("paste \"%1\"", text));
        QGuiApplication::clipboard()->setText(text);
        return sendKey(box, {Qt::Key_V, "\x16", "Ctrl+V", Qt::ControlModifier});
    }
    const Key& k = any(kEditKeys);
    QLineEdit plain;
    plain.setText(box->text());
    plain.setCursorPosition(box->cursorPosition());
    if (box->hasSelectedText())
        plain.setSelection(box->selectionStart(), int(box->selectedText().size()));
    log(say("key %1 in txtPls \"%2\" at %3", k.name, box->text(), box->cursorPosition()));
    sendKey(&plain, k);
    sendKey(box, k);
    if (box->text() != plain.text())
        broken(say("%1 left the pulse box at \"%2\", a line edit gets \"%3\"", k.name, box->text(),
                   plain.text()));
}

// A key at the focus; Enter and Space on a focused button press it.
void RandomUse::keyAtFocus(QWidget* window)
{
    QWidget* target = window->focusWidget() ? window->focusWidget() : window;
    const Key& k = any(kFocusKeys);
    log(say("key %1 at %2", k.name, nameOf(target)));
    QPointer<QAbstractButton> button = qobject_cast<QAbstractButton*>(target);
    const bool presses =
        button && (k.key == Qt::Key_Return || k.key == Qt::Key_Enter || k.key == Qt::Key_Space);
    int clicks = 0;
    QMetaObject::Connection c;
    if (presses)
        c = QObject::connect(button, &QAbstractButton::clicked, [&clicks] { ++clicks; });
    exitExpected_ = presses && button.data() == qt<QAbstractButton>(win_->btnEnd);
    sendKey(target, k);
    QObject::disconnect(c);
    if (presses && clicks != 1 && !stopping_)
        broken(say("%1 on the focused button %2 pressed it %3 times", k.name, button ? button->text() : "",
                   clicks));
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
    const QString status = qs(win_->statusText());
    if (!kOwnTexts.contains(status))
        broken(say("the status line holds a text of no operation: \"%1\"", status));
    const QString pulses = qs(win_->txtPls->text());
    if (!std::all_of(pulses.begin(), pulses.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        broken(say("the pulse box holds \"%1\"", pulses));
    checkDump(status);
}

// While the status line reports a dump read or re-read in full, the dump shows
// the selected chip's registers as the board holds them.
void RandomUse::checkDump(const QString& status)
{
    const bool done = status.endsWith(QStringLiteral("成功"));
    const bool config = done && status.startsWith(QStringLiteral("コンフィグレジスタ"));
    const bool mode = done && status.startsWith(QStringLiteral("モードレジスタ"));
    const bool eeprom = status == QStringLiteral("EEPROM読み込み成功");
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
            const QString shown = qs((half ? app().dumpRows2 : app().dumpRows)[r]);
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

// A widget that ignores a key makes the test library warn; thousands of such
// keys are the point here, not news.
QtMessageHandler otherMessages = nullptr;
void quietKeyWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.contains(QStringLiteral("event not accepted")) && otherMessages)
        otherMessages(type, context, message);
}

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
    otherMessages = qInstallMessageHandler(quietKeyWarnings);
    RandomUse use(seed, actions);
    current = &use;
    const std::string failure = use.run(kRecorder, [](int) { current->ended(); });
    qInstallMessageHandler(otherMessages);
    if (!failure.empty())
        ADD_FAILURE() << failure << "replay with TAVRIN_RANDOM_USE_SEED=" << seed
                      << " TAVRIN_RANDOM_USE_ACTIONS=" << actions;
    std::printf("%ld random actions from seed %u\n", actions, seed);
}

}  // namespace
