// The test driver on the Qt back end: QTest's synthetic input on the real
// widgets, under the offscreen platform.
#include "driver/TestDriver.h"

#include "Tavrinmain.h"
#include "ui/qt/PictureBox.h"
#include "ui/qt/QtBackend.h"
#include "ui/qt/SSTab.h"
#include "ui/qt/fonts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QDialog>
#include <QDir>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMainWindow>
#include <QPushButton>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <cstdlib>

namespace driver
{
QString typedText(Key k, unsigned mods);

namespace
{

QWidget* widget(const ui::Control* c)
{
    QWidget* w = ui::qt::widgetOf(c);
    Q_ASSERT(w);
    return w;
}

double twipsPerPx(const QWidget* w) { return 1440.0 / w->logicalDpiX(); }

// Mouse events of a list go to its viewport; points are the list's own.
QWidget* mouseTarget(const ui::Control* c, double x, double y, QPoint& at)
{
    QWidget* w = widget(c);
    at = QPoint(int(x / twipsPerPx(w)), int(y / twipsPerPx(w)));
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w))
    {
        at = area->viewport()->mapFrom(w, at);
        return area->viewport();
    }
    return w;
}

Qt::MouseButton qtButton(Button b)
{
    switch (b)
    {
        case Button::Right:
            return Qt::RightButton;
        case Button::Middle:
            return Qt::MiddleButton;
        default:
            return Qt::LeftButton;
    }
}

Qt::KeyboardModifiers qtMods(unsigned m)
{
    Qt::KeyboardModifiers q;
    if (m & Shift)
        q |= Qt::ShiftModifier;
    if (m & Ctrl)
        q |= Qt::ControlModifier;
    if (m & Alt)
        q |= Qt::AltModifier;
    if (m & Keypad)
        q |= Qt::KeypadModifier;
    return q;
}

Qt::Key qtKey(Key k)
{
    switch (k)
    {
        case Key::Enter:
            return Qt::Key_Enter;
        case Key::Return:
            return Qt::Key_Return;
        case Key::Space:
            return Qt::Key_Space;
        case Key::Tab:
            return Qt::Key_Tab;
        case Key::Backtab:
            return Qt::Key_Backtab;
        case Key::Escape:
            return Qt::Key_Escape;
        case Key::Backspace:
            return Qt::Key_Backspace;
        case Key::Delete:
            return Qt::Key_Delete;
        case Key::Left:
            return Qt::Key_Left;
        case Key::Right:
            return Qt::Key_Right;
        case Key::Up:
            return Qt::Key_Up;
        case Key::Down:
            return Qt::Key_Down;
        case Key::Home:
            return Qt::Key_Home;
        case Key::End:
            return Qt::Key_End;
        case Key::PageUp:
            return Qt::Key_PageUp;
        case Key::PageDown:
            return Qt::Key_PageDown;
        case Key::Minus:
            return Qt::Key_Minus;
        case Key::Period:
            return Qt::Key_Period;
        case Key::A:
            return Qt::Key_A;
        case Key::V:
            return Qt::Key_V;
        case Key::Digit2:
            return Qt::Key_2;
    }
    return Qt::Key_unknown;
}

QWidget* windowOf(const ui::Form& f) { return ui::qt::windowOf(&f); }

QWidget* clientOf(const ui::Form& f)
{
    QWidget* w = windowOf(f);
    if (auto* main = qobject_cast<QMainWindow*>(w))
        return main->centralWidget();
    return w;
}

MessageBoxSeen seenIn(QMessageBox* box)
{
    MessageBoxSeen seen;
    seen.shown = true;
    seen.title = box->windowTitle().toStdString();
    seen.text = box->text().toStdString();
    seen.buttons = box->standardButtons() == (QMessageBox::Ok | QMessageBox::Cancel) ? ui::Buttons::OkCancel
                                                                                     : ui::Buttons::Ok;
    const QMessageBox::StandardButton d =
        box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
    seen.defaultButton = d == QMessageBox::Ok       ? ui::Answer::Ok
                         : d == QMessageBox::Cancel ? ui::Answer::Cancel
                                                    : ui::Answer::None;
    seen.icon = box->icon() == QMessageBox::Critical ? ui::Icon::Critical : ui::Icon::None;
    return seen;
}

class QtModal : public Modal
{
public:
    explicit QtModal(QWidget* w) : w_(w) {}
    ui::Form* form() const override { return w_ ? ui::qt::formOf(w_) : nullptr; }
    MessageBoxSeen box() const override
    {
        auto* b = qobject_cast<QMessageBox*>(w_.data());
        return b ? seenIn(b) : MessageBoxSeen{};
    }
    void answer(ui::Answer a) override
    {
        auto* b = qobject_cast<QMessageBox*>(w_.data());
        if (!b || a == ui::Answer::None)
        {
            close();
            return;
        }
        const QMessageBox::StandardButton which =
            a == ui::Answer::Cancel ? QMessageBox::Cancel : QMessageBox::Ok;
        if (QAbstractButton* button = b->button(which))
            button->click();
        else
            b->reject();
    }
    void close() override
    {
        if (w_)
            w_->close();
    }
    bool isOpen() const override { return w_ && w_->isVisible(); }
    const void* window() const override { return w_.data(); }
    bool activate() override
    {
        if (!w_)
            return false;
        if (QApplication::activeWindow() != w_)
            w_->activateWindow();
        return QTest::qWaitForWindowActive(w_, 1000);
    }
    Rect clientArea() const override { return w_ ? Rect{0, 0, w_->width(), w_->height()} : Rect{}; }
    void clickAt(int x, int y) override
    {
        if (w_)
            QTest::mouseClick(w_, Qt::LeftButton, {}, QPoint(x, y));
    }
    void key(Key k, unsigned mods) override
    {
        if (QWidget* t = target())
            QTest::sendKeyEvent(QTest::Click, t, qtKey(k), typedText(k, mods), qtMods(mods));
    }
    void keyChar(char ch) override
    {
        if (QWidget* t = target())
            QTest::keyClick(t, ch);
    }
    const ui::Control* focused() const override
    {
        return w_ && w_->focusWidget() ? dynamic_cast<const ui::Control*>(w_->focusWidget()) : nullptr;
    }
    std::vector<std::string> buttons() const override
    {
        std::vector<std::string> captions;
        for (QAbstractButton* b : shownButtons())
            captions.push_back(b->text().toStdString());
        return captions;
    }
    void clickButton(int n) override
    {
        const QList<QAbstractButton*> all = shownButtons();
        if (n >= 0 && n < all.size())
            QTest::mouseClick(all[n], Qt::LeftButton);
    }

    int focusedButton() const override
    {
        return w_ ? int(shownButtons().indexOf(qobject_cast<QAbstractButton*>(w_->focusWidget()))) : -1;
    }

private:
    QWidget* target() const { return !w_ ? nullptr : w_->focusWidget() ? w_->focusWidget() : w_.data(); }
    QList<QAbstractButton*> shownButtons() const
    {
        QList<QAbstractButton*> shown;
        if (w_)
            for (QAbstractButton* b : w_->findChildren<QAbstractButton*>())
                if (b->isVisible() && b->isEnabled())
                    shown << b;
        return shown;
    }

    QPointer<QWidget> w_;
};

// Bumped at the end of every test, so a watcher whose window never came does
// not answer a window of a later test.
int watchGeneration = 0;

// Polls for the modal window; gives up after a generous number of tries so a
// test whose window never opens fails instead of hanging.
void poll(std::function<void(Modal&)> action, int triesLeft, int generation)
{
    if (generation != watchGeneration)
        return;
    QWidget* w = QApplication::activeModalWidget();
    if (w && w->isVisible())
    {
        QtModal modal(w);
        action(modal);
        return;
    }
    if (triesLeft > 0)
        QTimer::singleShot(5, [action, triesLeft, generation] { poll(action, triesLeft - 1, generation); });
}

}  // namespace

// A widget that ignores a key makes the test library warn; thousands of such
// keys are the point of random use, not news.
QtMessageHandler otherMessages = nullptr;
void quietKeyWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.contains(QStringLiteral("event not accepted")) && otherMessages)
        otherMessages(type, context, message);
}

// Test discovery runs the program outside ctest's environment; the forms
// are driven off-screen either way.
static int& offscreen(int& argc)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return argc;
}

struct Session::Impl
{
    Impl(int& argc, char** argv) : app(offscreen(argc), argv)
    {
        ui::qt::installFontSubstitutes();
        if (translations.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            app.installTranslator(&translations);
        ui::setBackend(&backend);
        otherMessages = qInstallMessageHandler(quietKeyWarnings);
    }
    ~Impl()
    {
        qInstallMessageHandler(otherMessages);
        ui::setBackend(nullptr);
    }

    QApplication app;
    QTranslator translations;
    ui::qt::QtBackend backend;
};

Session::Session(int& argc, char** argv) : impl_(std::make_unique<Impl>(argc, argv)) {}
Session::~Session() = default;

void click(const ui::Control* c, double x, double y, Button b, unsigned mods)
{
    QPoint at;
    QWidget* w = mouseTarget(c, x, y, at);
    QTest::mouseClick(w, qtButton(b), qtMods(mods), at);
}

void click(const ui::Control* c) { QTest::mouseClick(widget(c), Qt::LeftButton); }

void doubleClick(const ui::Control* c, double x, double y)
{
    QPoint at;
    QWidget* w = mouseTarget(c, x, y, at);
    QTest::mouseDClick(w, Qt::LeftButton, {}, at);
}

void doubleClick(const ui::Control* c) { QTest::mouseDClick(widget(c), Qt::LeftButton); }

void press(const ui::Control* c, double x, double y)
{
    QPoint at;
    QWidget* w = mouseTarget(c, x, y, at);
    QTest::mousePress(w, Qt::LeftButton, {}, at);
}

void release(const ui::Control* c, double x, double y)
{
    QPoint at;
    QWidget* w = mouseTarget(c, x, y, at);
    QTest::mouseRelease(w, Qt::LeftButton, {}, at);
}

void dragTo(const ui::Control* c, double x, double y)
{
    QPoint at;
    QWidget* w = mouseTarget(c, x, y, at);
    QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(w, &move);
}

TwipsPoint rowCentre(const ui::ListBox* list, int row)
{
    auto* w = static_cast<QListWidget*>(widget(list));
    const QPoint p = w->viewport()->mapTo(w, w->visualItemRect(w->item(row)).center());
    return {p.x() * twipsPerPx(w), p.y() * twipsPerPx(w)};
}

TwipsPoint tabCentre(const ui::TabControl* tabs, int tab)
{
    auto* w = dynamic_cast<const ui::qt::SSTab*>(tabs);
    const QPoint p = w->tabBar()->mapTo(w, w->tabBar()->tabRect(tab).center());
    return {p.x() * twipsPerPx(w), p.y() * twipsPerPx(w)};
}

void clickTab(const ui::TabControl* tabs, int tab)
{
    auto* w = dynamic_cast<const ui::qt::SSTab*>(tabs);
    QTest::mouseClick(w->tabBar(), Qt::LeftButton, {}, w->tabBar()->tabRect(tab).center());
}

void unpick(const ui::ListBox* list)
{
    auto* w = static_cast<QListWidget*>(widget(list));
    w->clearSelection();
    w->selectionModel()->setCurrentIndex(w->model()->index(0, 0), QItemSelectionModel::NoUpdate);
}

void selectRow(const ui::ListBox* list, int row)
{
    static_cast<QListWidget*>(widget(list))->setCurrentRow(row);
}

void selectAllText(const ui::TextBox* box) { static_cast<QLineEdit*>(widget(box))->selectAll(); }

void chooseMenu(const ui::MenuItem* item) { ui::qt::actionOf(item)->trigger(); }

void key(const ui::Control* c, Key k, unsigned mods) { QTest::keyClick(widget(c), qtKey(k), qtMods(mods)); }

void keyChar(const ui::Control* c, char ch, unsigned mods) { QTest::keyClick(widget(c), ch, qtMods(mods)); }

void type(const ui::Control* c, const std::string& text)
{
    QTest::keyClicks(widget(c), QString::fromStdString(text));
}

void keyToFocus(const ui::Form& f, Key k, unsigned mods)
{
    QWidget* target = windowOf(f)->focusWidget();
    QTest::keyClick(target ? target : windowOf(f), qtKey(k), qtMods(mods));
}

void keyToFocus(Key k, unsigned mods)
{
    QTest::keyClick(QApplication::focusWidget(), qtKey(k), qtMods(mods));
}

void typeToFocus(const std::string& text)
{
    QTest::keyClicks(QApplication::focusWidget(), QString::fromStdString(text));
}

const ui::Control* focusedControl()
{
    QWidget* w = QApplication::focusWidget();
    return w ? dynamic_cast<const ui::Control*>(w) : nullptr;
}

void typeToFocus(const ui::Form& f, const std::string& text)
{
    QWidget* target = windowOf(f)->focusWidget();
    QTest::keyClicks(target ? target : windowOf(f), QString::fromStdString(text));
}

void keyWithText(const ui::Control* c, Key k, const std::string& text, unsigned mods)
{
    QTest::sendKeyEvent(QTest::Click, widget(c), qtKey(k), QString::fromStdString(text), qtMods(mods));
}

// The text a keyboard gives each key; Ctrl with a letter gives its control
// character.
QString typedText(Key k, unsigned mods)
{
    switch (k)
    {
        case Key::Enter:
        case Key::Return:
            return QStringLiteral("\r");
        case Key::Space:
            return QStringLiteral(" ");
        case Key::Tab:
            return QStringLiteral("\t");
        case Key::Escape:
            return QStringLiteral("\x1b");
        case Key::Backspace:
            return QStringLiteral("\b");
        case Key::Delete:
            return QStringLiteral("\x7f");
        case Key::Minus:
            return QStringLiteral("-");
        case Key::Period:
            return QStringLiteral(".");
        case Key::Digit2:
            return QStringLiteral("2");
        case Key::A:
            return (mods & Ctrl) ? QString(QChar(1)) : QStringLiteral("a");
        case Key::V:
            return (mods & Ctrl) ? QString(QChar(0x16)) : QStringLiteral("v");
        default:
            return QString();
    }
}

void keyAsTyped(const ui::Control* c, Key k, unsigned mods)
{
    QTest::sendKeyEvent(QTest::Click, widget(c), qtKey(k), typedText(k, mods), qtMods(mods));
}

namespace
{

class PlainTextBox : public QLineEdit, public ui::TextBox
{
public:
    void setVisible(bool visible) override { QLineEdit::setVisible(visible); }
    bool isVisible() const override { return QLineEdit::isVisible(); }
    void setFocus() override { QLineEdit::setFocus(); }
    void setTakesFocus(bool) override {}
    void setText(const std::string& text) override { QLineEdit::setText(QString::fromStdString(text)); }
    std::string text() const override { return QLineEdit::text().toStdString(); }
    void setDigitsOnly(bool) override {}
};

}  // namespace

std::unique_ptr<ui::TextBox> plainCopyOf(const ui::TextBox* box)
{
    auto* from = static_cast<QLineEdit*>(widget(box));
    auto copy = std::make_unique<PlainTextBox>();
    copy->QLineEdit::setText(from->text());
    copy->setCursorPosition(from->cursorPosition());
    if (from->hasSelectedText())
        copy->setSelection(from->selectionStart(), int(from->selectedText().size()));
    return copy;
}

int caretOf(const ui::TextBox* box) { return static_cast<QLineEdit*>(widget(box))->cursorPosition(); }

void setClipboardText(const std::string& text)
{
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void waitKeyboardSearchInterval() { QTest::qWait(QApplication::keyboardInputInterval() + 50); }

Tavrinmain* programWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (ui::Form* f = ui::qt::formOf(w))
            if (auto* main = dynamic_cast<Tavrinmain*>(f->owner))
                return main;
    return nullptr;
}

bool waitShown(const ui::Form& f) { return QTest::qWaitForWindowExposed(windowOf(f)); }
void activate(const ui::Form& f) { QApplication::setActiveWindow(windowOf(f)); }
bool waitActive(const ui::Form& f) { return QTest::qWaitForWindowActive(windowOf(f)); }
void focus(const ui::Control* c) { widget(c)->setFocus(Qt::TabFocusReason); }
void focusInItsWindow(const ui::Control* c)
{
    QApplication::setActiveWindow(widget(c)->window());
    widget(c)->setFocus(Qt::TabFocusReason);
}

bool hasFocus(const ui::Control* c) { return widget(c)->hasFocus(); }

const ui::Control* focused(const ui::Form& f)
{
    QWidget* w = windowOf(f)->focusWidget();
    return w ? dynamic_cast<const ui::Control*>(w) : nullptr;
}

bool shownInItsPage(const ui::Control* c)
{
    QWidget* w = widget(c);
    return w->isVisibleTo(w->parentWidget());
}

void switchAwayAndBack(const ui::Form& f)
{
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(windowOf(f));
}

void closeBox(const ui::Form& f) { windowOf(f)->close(); }
bool isModal(const ui::Form& f) { return windowOf(f)->isModal(); }

const ui::Form* parentOf(const ui::Form& f)
{
    QWidget* p = windowOf(f)->parentWidget();
    return p ? ui::qt::formOf(p->window()) : nullptr;
}

bool noDialogOpen()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (ui::qt::formOf(w) && qobject_cast<QDialog*>(w))
            return false;
    return QApplication::activeModalWidget() == nullptr;
}

void wait(int ms) { QTest::qWait(ms); }

void later(int ms, std::function<void()> fn) { QTimer::singleShot(ms, std::move(fn)); }

struct EventLoop::Impl
{
    QEventLoop loop;
};
EventLoop::EventLoop() : impl_(std::make_unique<Impl>()) {}
EventLoop::~EventLoop() = default;
void EventLoop::exec() { impl_->loop.exec(); }
void EventLoop::quit() { impl_->loop.quit(); }

std::unique_ptr<Modal> frontModal()
{
    QWidget* w = QApplication::activeModalWidget();
    return w ? std::make_unique<QtModal>(w) : nullptr;
}

int px(const ui::Form& f, int twips) { return ui::qt::twipsToPx(windowOf(f), twips); }

Rect clientRect(const ui::Form& f)
{
    const QWidget* c = clientOf(f);
    return {0, 0, c->width(), c->height()};
}

Rect geometry(const ui::Control* c)
{
    const QRect r = widget(c)->geometry();
    return {r.left(), r.top(), r.width(), r.height()};
}

Rect inClient(const ui::Form& f, const ui::Control* c)
{
    QWidget* w = widget(c);
    const QPoint p = w->mapTo(clientOf(f), QPoint(0, 0));
    return {p.x(), p.y(), w->width(), w->height()};
}

std::unique_ptr<ui::PictureBox> scratchLike(const ui::PictureBox* like)
{
    auto box = std::make_unique<ui::qt::PictureBox>();
    box->setFont(widget(like)->font());
    box->resize(widget(like)->size());
    box->Cls();
    return box;
}

void onNextModal(std::function<void(Modal&)> action)
{
    const int generation = watchGeneration;
    QTimer::singleShot(0, [action, generation] { poll(action, 2000, generation); });
}

void cancelModalWatchers() { ++watchGeneration; }

struct ModalWatch::Impl
{
    QTimer timer;
};

ModalWatch::ModalWatch(ui::Answer answer, Action onOpen) : impl_(std::make_unique<Impl>())
{
    QObject::connect(&impl_->timer, &QTimer::timeout,
                     [this, answer, onOpen]
                     {
                         QPointer<QWidget> w = QApplication::activeModalWidget();
                         if (!w || !w->isVisible())
                             return;
                         ++windows;
                         QtModal modal(w);
                         const bool isBox = qobject_cast<QMessageBox*>(w.data()) != nullptr;
                         if (isBox)
                             boxes.push_back(modal.box());
                         if (onOpen)
                             onOpen(modal);
                         if (!w || !w->isVisible())
                             return;
                         if (isBox)
                             modal.answer(answer);
                         else
                             modal.close();
                     });
    impl_->timer.start(2);
}

ModalWatch::~ModalWatch() = default;

void saveShot(const ui::Form& f, const char* name)
{
    const char* dir = std::getenv("TAVRIN_SHOTS_DIR");
    if (!dir || !*dir)
        return;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    windowOf(f)->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QString::fromLatin1(name) +
                             QStringLiteral(".png"));
}

}  // namespace driver
