#pragma once

#include "ui/Controls.h"

#include <cassert>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>

// A form's controls as data: one row per control, read by the back end that
// shows the form. Positions and sizes are twips relative to the container's
// top-left corner.
enum class Ctl
{
    Label,
    ListBox,
    PictureBox,
    Panel,
    Frame,
    Button,
    TabControl,
    TextBox,
    StatusBar
};
enum class Face
{
    PGothic,
    Gothic
};

struct ControlSpec
{
    const char* name;
    Ctl kind;
    const char* container;  // "" for the form itself; "SSTab1:0" for a tab's page
    int left, top, width, height;
    const char* caption;
    Face face;
    double points;
};

// A form's menus as data: a row whose parent is "" is an entry of the menu
// bar, the rows naming it as parent are its items, in order. An entry without
// items opens nothing.
struct MenuSpec
{
    const char* name;
    const char* parent;
    const char* caption;
};

namespace ui
{

// What a form is to the code that runs it; the back end's window keeps a
// pointer back to it, so a test driver can find the form behind a window.
class FormOwner
{
public:
    virtual ~FormOwner() = default;
};

enum class FormKind
{
    Main,    // the program's main window: menus, title-bar close box
    Dialog,  // a dialog, shown modally
};

struct FormDesign
{
    FormKind kind;
    std::string caption;
    int clientWidth, clientHeight;  // twips
    std::span<const ControlSpec> controls;
    std::span<const MenuSpec> menus = {};
};

class Form
{
public:
    virtual ~Form() = default;

    virtual Control* find(std::string_view name) const = 0;
    virtual MenuItem* menu(std::string_view name) const = 0;
    template <class T>
    T* get(std::string_view name) const
    {
        T* c = dynamic_cast<T*>(find(name));
        assert(c && "a control the form's table does not have");
        return c;
    }

    virtual std::string caption() const = 0;
    virtual void show() = 0;
    virtual bool isVisible() const = 0;
    // Shows the form modally, the other windows taking no input meanwhile, and
    // returns once it is closed.
    virtual void showModal() = 0;
    virtual void close() = 0;
    // Keyboard order, lowest tab index first; the first control gets the focus.
    virtual void setTabOrder(std::initializer_list<Control*> order) = 0;

    // The user closed the window with its title-bar box.
    std::function<void()> onCloseBox;

    FormOwner* owner = nullptr;
};

}  // namespace ui
