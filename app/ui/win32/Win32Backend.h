#pragma once

#include "ui/Backend.h"
#include "ui/win32/WideText.h"

#include <windows.h>

#include <string>

namespace ui::win32
{

// The control layer as native windows: user32's and comctl32's controls, the
// picture boxes as GDI memory bitmaps.
class Win32Backend : public Backend
{
public:
    Win32Backend();
    std::unique_ptr<Form> createForm(const FormDesign& design, const Form* parent = nullptr) override;
    Answer messageBox(const MessageBoxSpec& box) override;
    void quit(int code) override;

    // Runs the program's message loop until quit; the exit code.
    int run();
};

// Twips to pixels of the screen's logical DPI.
int twipsToPx(double twips);
double twipsPerPixel();

// The form's faces at their sizes, made once and kept for the process.
HFONT fontFor(bool gothic, double points);

// Hands a child's WM_COMMAND or WM_NOTIFY to the control behind it; true when
// one took it. Every window that holds controls calls it.
bool dispatchToControl(UINT message, WPARAM wParam, LPARAM lParam);

// Keyboard navigation for the window a message is for.
bool translateDialogKeys(MSG& msg);
// One step of the program's message loop: the dialog keys first, then
// translation and dispatch.
void dispatch(MSG& msg);

// The way from the control layer to the windows behind it and back, for
// whatever drives the forms from outside (a test driver).
HWND windowOf(const Form* form);
// The form a top-level window shows; nullptr for any other window.
Form* formOf(HWND window);
HWND hwndOf(const Control* control);
Control* controlOf(HWND hwnd);
FormKind kindOf(const Form* form);
// True while the form runs its own modal loop.
bool isShownModally(const Form* form);
// The window a menu item's command goes to, and its command id.
bool commandOf(const MenuItem* item, HWND& window, UINT& id);

}  // namespace ui::win32
