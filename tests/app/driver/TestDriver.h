#pragma once

// Drives the program's forms as a user does, whichever back end shows them:
// mouse at a point in twips of a control, keys and typed text, the close box;
// reads what a control shows; answers message boxes and acts on modal
// dialogs. The form suites speak only through this; each back end implements
// it once (driver/<back end>/).

#include "ui/Backend.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class Tavrinmain;

namespace driver
{

// The application and the back end the suites run on, for as long as it
// lives; one per process, made before the first form.
class Session
{
public:
    Session(int& argc, char** argv);
    ~Session();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

enum class Button
{
    Left,
    Right,
    Middle
};

enum Modifier : unsigned
{
    NoModifier = 0,
    Shift = 1,
    Ctrl = 2,
    Alt = 4,
    Keypad = 8,
};

enum class Key
{
    Enter,   // the keypad's
    Return,  // the main keyboard's
    Space,
    Tab,
    Backtab,
    Escape,
    Backspace,
    Delete,
    Left,
    Right,
    Up,
    Down,
    Home,
    End,
    PageUp,
    PageDown,
    Minus,
    Period,
    A,
    V,
    Digit2,
};

// ---- Mouse ---------------------------------------------------------------

// A press and release at (x, y) twips from the control's top-left corner.
void click(const ui::Control* c, double x, double y, Button b = Button::Left, unsigned mods = NoModifier);
// A click in the middle of the control.
void click(const ui::Control* c);
// The second click of a double-click at (x, y): the back end's double-click event.
void doubleClick(const ui::Control* c, double x, double y);
void doubleClick(const ui::Control* c);
void press(const ui::Control* c, double x, double y);
void release(const ui::Control* c, double x, double y);
// A mouse move with the left button held.
void dragTo(const ui::Control* c, double x, double y);

// The middle of row `row` of a list box, in twips from its corner.
struct TwipsPoint
{
    double x, y;
};
TwipsPoint rowCentre(const ui::ListBox* list, int row);
// The middle of tab `tab`'s strip button.
TwipsPoint tabCentre(const ui::TabControl* tabs, int tab);
void clickTab(const ui::TabControl* tabs, int tab);
// Takes the list back to no entry picked, the first one current, as it is
// after start-up: the state no user action returns to.
void unpick(const ui::ListBox* list);
// Moves the list's selection to `row` as the program itself would, also while
// a modal window keeps the user's input away from the list.
void selectRow(const ui::ListBox* list, int row);
// Selects the whole text of the box, as the user's select-all does.
void selectAllText(const ui::TextBox* box);
void chooseMenu(const ui::MenuItem* item);

// ---- Keyboard --------------------------------------------------------------

// A key press and release sent to the control.
void key(const ui::Control* c, Key k, unsigned mods = NoModifier);
// The key of one printable character, with its text, sent to the control.
void keyChar(const ui::Control* c, char ch, unsigned mods = NoModifier);
// Typed text, one key per character, sent to the control.
void type(const ui::Control* c, const std::string& text);
// A key sent to whatever has the focus in the form's window.
void keyToFocus(const ui::Form& f, Key k, unsigned mods = NoModifier);
// A key, or typed text, sent to whatever has the keyboard focus now.
void keyToFocus(Key k, unsigned mods = NoModifier);
void typeToFocus(const std::string& text);
// The control that has the keyboard focus now, nullptr when none.
const ui::Control* focusedControl();
// Typed text sent to whatever has the focus in the form's window.
void typeToFocus(const ui::Form& f, const std::string& text);
// A key whose event carries `text` as the platform would give it.
void keyWithText(const ui::Control* c, Key k, const std::string& text, unsigned mods = NoModifier);
// The pause after which the next typed character starts a new search.
void waitKeyboardSearchInterval();
// A key as a real keyboard makes it, its text included: Ctrl+A carries U+0001,
// Delete U+007F.
void keyAsTyped(const ui::Control* c, Key k, unsigned mods = NoModifier);
// A plain text box of the back end holding what `box` holds, its caret and
// selection too; it has no handlers and no filter: what a key does to any box.
std::unique_ptr<ui::TextBox> plainCopyOf(const ui::TextBox* box);
// Where the caret stands in the box, in characters from its start.
int caretOf(const ui::TextBox* box);
void setClipboardText(const std::string& text);

// ---- Windows and focus -------------------------------------------------

// The program's main window when start-up has made one, else nullptr.
Tavrinmain* programWindow();
// Waits until the form's window is on the screen (true), or gives up.
bool waitShown(const ui::Form& f);
// Makes the form's window the active one, so focus follows clicks and Tab.
void activate(const ui::Form& f);
bool waitActive(const ui::Form& f);
// Gives the control the focus as Tab would.
void focus(const ui::Control* c);
// Makes the control's window the active one and gives the control the focus.
void focusInItsWindow(const ui::Control* c);
bool hasFocus(const ui::Control* c);
// The control that has the focus in the form, nullptr when none of its own.
const ui::Control* focused(const ui::Form& f);
// The control's own visibility setting, whatever its window's state.
bool shownInItsPage(const ui::Control* c);
// The user switches to another window and back: the focus leaves and returns
// without the user leaving the control that has it.
void switchAwayAndBack(const ui::Form& f);
// The title-bar close box.
void closeBox(const ui::Form& f);
bool isModal(const ui::Form& f);
// The form whose window stays above `f`'s, nullptr for none.
const ui::Form* parentOf(const ui::Form& f);
// No form window is left open but the main window, and no modal window.
bool noDialogOpen();
// Runs the event loop for `ms` milliseconds.
void wait(int ms);
// Runs `fn` once from whichever event loop runs `ms` milliseconds from now, a
// modal window's own included.
void later(int ms, std::function<void()> fn);
// An event loop of the test's own, run until quit.
class EventLoop
{
public:
    EventLoop();
    ~EventLoop();
    void exec();
    void quit();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// ---- Geometry (back-end pixels) -------------------------------------------

struct Rect
{
    int left, top, width, height;
    bool operator==(const Rect&) const = default;
};
int px(const ui::Form& f, int twips);
// The form's client area.
Rect clientRect(const ui::Form& f);
// The control's rectangle in its container.
Rect geometry(const ui::Control* c);
// The control's top-left corner in the form's client area.
Rect inClient(const ui::Form& f, const ui::Control* c);

// ---- Picture boxes -------------------------------------------------------

// A blank box of the same size and font as `like`, for drawing what `like`
// should show.
std::unique_ptr<ui::PictureBox> scratchLike(const ui::PictureBox* like);

// ---- Modal windows -------------------------------------------------------

// What a message box showed, captured just before it is answered.
struct MessageBoxSeen
{
    bool shown = false;
    std::string title;
    std::string text;
    ui::Buttons buttons = ui::Buttons::Ok;
    ui::Answer defaultButton = ui::Answer::None;
    ui::Icon icon = ui::Icon::None;
};

// A modal window as a test sees it: a message box, or a form.
class Modal
{
public:
    virtual ~Modal() = default;
    // The form the window shows; nullptr for a message box.
    virtual ui::Form* form() const = 0;
    // What the message box shows; `shown` is false for a form.
    virtual MessageBoxSeen box() const = 0;
    // Presses the message box's button (closes it when it has none such).
    virtual void answer(ui::Answer a) = 0;
    // Closes the window as its close box does.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // What tells two modal windows apart.
    virtual const void* window() const = 0;
    // Makes it the active window; false when it did not become so.
    virtual bool activate() = 0;
    // Its client area, in back-end pixels.
    virtual Rect clientArea() const = 0;
    // A click on the window's own background at (x, y) of its client area.
    virtual void clickAt(int x, int y) = 0;
    // A key, or the key of a printable character, at whatever has the focus
    // in the window (the window itself when nothing has).
    virtual void key(Key k, unsigned mods = NoModifier) = 0;
    virtual void keyChar(char ch) = 0;
    // The form's control that has the focus in the window, nullptr when none
    // (a message box's buttons are none of the program's controls).
    virtual const ui::Control* focused() const = 0;
    // Its buttons that are shown and take input, by caption, in a fixed order;
    // a click on the n-th of them.
    virtual std::vector<std::string> buttons() const = 0;
    virtual void clickButton(int n) = 0;
    // Which of them has the focus, -1 for none.
    virtual int focusedButton() const = 0;
};

// The modal window that takes the input now, nullptr when none.
std::unique_ptr<Modal> frontModal();

// Runs `action` on the next modal window that opens (a message box or a form
// shown modally), from inside that window's own event loop.
void onNextModal(std::function<void(Modal&)> action);
// Forgets every watcher that has not found its window yet.
void cancelModalWatchers();
// Answers the next message box with `a`, recording what it showed; any other
// window that opens instead is closed.
void answerNextMessageBox(ui::Answer a, MessageBoxSeen* seen);

// While it lives, every modal window that opens is seen, handed to `onOpen`,
// and then answered: a message box with `answer`, any other window closed. A
// test that expects no window counts them; one that opens an unexpected
// window fails instead of hanging, and no watch outlives its test.
class ModalWatch
{
public:
    using Action = std::function<void(Modal&)>;
    explicit ModalWatch(ui::Answer answer = ui::Answer::Ok, Action onOpen = {});
    ~ModalWatch();

    std::vector<MessageBoxSeen> boxes;  // every message box, in order of opening
    int windows = 0;                    // every modal window, message boxes included

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Saves a picture of the form's window as <name>.png into the folder named by
// TAVRIN_SHOTS_DIR, when it is set (the screenshots in docs/); else nothing.
void saveShot(const ui::Form& f, const char* name);

}  // namespace driver
