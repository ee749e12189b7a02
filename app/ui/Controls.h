#pragma once

// The controls the forms are written against. A back end implements each one;
// nothing here names a toolkit. Text is UTF-8, colours 0xRRGGBB, positions and
// sizes twips. Events are callbacks a form sets once, in its wiring.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ui
{

class Control
{
public:
    virtual ~Control() = default;

    virtual void setVisible(bool visible) = 0;
    virtual bool isVisible() const = 0;
    virtual void setFocus() = 0;
    // Panels that only frame other controls take no focus.
    virtual void setTakesFocus(bool takes) = 0;
};

class Label : public Control
{
public:
    virtual void setText(const std::string& text) = 0;
    virtual std::string text() const = 0;
    void clear() { setText(std::string()); }
};

// Enter, like Space, presses the button that has the focus; the default
// button of a dialog is pressed by Enter wherever the focus is.
class CommandButton : public Control
{
public:
    virtual void setText(const std::string& text) = 0;
    virtual std::string text() const = 0;
    virtual void setDefault(bool isDefault) = 0;
    virtual bool isDefault() const = 0;

    std::function<void()> onClick;
};

class Frame : public Control
{
};

// Its click event means "the user picked an entry": once for every change of
// the selection, whatever moved it, and once for a click on the entry that is
// already selected. Once picked, an entry can be moved but not removed.
class ListBox : public Control
{
public:
    virtual void addItem(const std::string& text) = 0;
    virtual int count() const = 0;
    virtual std::string itemText(int row) const = 0;
    // The selected row, -1 when none.
    virtual int selectedRow() const = 0;

    std::function<void()> onClick;
};

// The text box's classic events. onKeyPress sees each typed character and may
// set it to 0 to swallow it, or to another code to type that instead.
class TextBox : public Control
{
public:
    virtual void setText(const std::string& text) = 0;
    virtual std::string text() const = 0;
    void clear() { setText(std::string()); }
    // Keeps the box to digits whatever road text takes into it (paste, drop,
    // input methods): only typed characters reach onKeyPress.
    virtual void setDigitsOnly(bool digitsOnly) = 0;

    std::function<void()> onGotFocus;
    std::function<void()> onLostFocus;
    std::function<void(int& keyAscii)> onKeyPress;
};

// A picture box's pixels, 0xRRGGBB row by row.
struct Picture
{
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    bool operator==(const Picture&) const = default;
};

// The one canvas every picture box of the program is made of. Coordinates are
// twips from the top-left corner of the box; what is drawn stays on a backing
// image until the box is cleared, also while the box is hidden or not yet shown.
class PictureBox : public Control
{
public:
    virtual void Cls() = 0;                       // white box, print position (0, 0)
    virtual void setForeColor(uint32_t rgb) = 0;  // colour of later text and points
    virtual uint32_t foreColor() const = 0;
    virtual void setDrawMode(int mode) = 0;  // 13: the pen replaces the pixel
    virtual int drawMode() const = 0;
    virtual void Print(const std::string& text) = 0;  // at the print position, then next line
    virtual void PSet(double x, double y) = 0;        // one point; moves the print position
    virtual void FillBox(double x1, double y1, double x2, double y2, uint32_t rgb) = 0;
    virtual void Refresh() = 0;

    // Metrics of the box's font in twips: the advance of a text, and the line
    // advance of Print (the font's em height, so a 17-row grid fits the box).
    virtual double TextWidth(const std::string& text) const = 0;
    virtual double TextHeight() const = 0;

    // The backing image as it stands: its size in pixels, one pixel, and all
    // of them.
    virtual int pixelWidth() const = 0;
    virtual int pixelHeight() const = 0;
    virtual uint32_t pixel(int x, int y) const = 0;
    virtual Picture picture() const = 0;
    virtual double twipsPerPixelX() const = 0;
    virtual double twipsPerPixelY() const = 0;
    // The pixel under a point in twips; 0 outside the box.
    uint32_t pixelAtTwips(double x, double y) const;

    double CurrentX = 0;
    double CurrentY = 0;

    std::function<void(int button, int shift, float x, float y)> onMouseDown;
    std::function<void()> onDblClick;
    std::function<void(int keyCode, int shift)> onKeyDown;
    std::function<void(int charCode)> onKeyPress;
    std::function<void()> onGotFocus;
};

// A tab control whose pages cover the whole control, tab strip included, so a
// control placed on a tab is positioned from the control's own top-left corner.
class TabControl : public Control
{
public:
    virtual void setTabCaption(int tab, const std::string& caption) = 0;
    virtual std::string tabCaption(int tab) const = 0;
    virtual int currentTab() const = 0;
    virtual void setCurrentTab(int tab) = 0;
    // Kept for the readers, which set it to 2; the control always has two tabs
    // on one row, so it changes nothing that is drawn.
    void setTabsPerRow(int n) { tabsPerRow_ = n; }
    int tabsPerRow() const { return tabsPerRow_; }

    // Raised after the selected tab changed, with the tab that was left.
    std::function<void(int previousTab)> onClick;

private:
    int tabsPerRow_ = 2;
};

// A status bar whose panel 1 carries the text.
class StatusBar : public Control
{
public:
    virtual void setText(const std::string& text) = 0;
    virtual std::string text() const = 0;
};

class MenuItem
{
public:
    virtual ~MenuItem() = default;
    std::function<void()> onClick;
};

// Key codes of the arrow keys as the handlers receive them.
enum KeyCode : int
{
    vbKeyLeft = 37,
    vbKeyUp = 38,
    vbKeyRight = 39,
    vbKeyDown = 40
};

}  // namespace ui
