#pragma once

#include "driver/TestDriver.h"
#include "ui/Form.h"

#include <string>

class Tavrinmain;
namespace ui
{
class PictureBox;
}

using driver::programWindow;
using driver::saveShot;

namespace start
{
// Deletes the main window and gives the application state its zero values, so
// a test can start the program again in the same process.
void resetForTest();
}  // namespace start

// Text printed on a picture box row, recovered from its pixels is out of reach;
// these look at the drawing instead: does the cell hold any pixel of `rgb`?
bool cellHasColour(const ui::PictureBox* box, double x, double y, double w, double h, unsigned rgb);
// Share of the cell's pixels that are exactly `rgb`.
double cellShare(const ui::PictureBox* box, double x, double y, double w, double h, unsigned rgb);
// Does `box` show `text` in `rgb` with its top-left corner at (x, y)? Compares
// the text's own cell band with the same text printed there on a blank box of
// the same size and font.
bool printedAt(const ui::PictureBox* box, double x, double y, const std::string& text, unsigned rgb);
// The whole box's share of `rgb`.
double boxShare(const ui::PictureBox* box, unsigned rgb);

// The form object behind a modal window, when it is an `Owner`.
template <class Owner>
Owner* ownerOf(const driver::Modal& m)
{
    const ui::Form* f = m.form();
    return f ? dynamic_cast<Owner*>(f->owner) : nullptr;
}

// A click in the middle of row `row` of the list.
inline void clickRow(const ui::ListBox* list, int row, unsigned mods = driver::NoModifier)
{
    const driver::TwipsPoint p = driver::rowCentre(list, row);
    driver::click(list, p.x, p.y, driver::Button::Left, mods);
}
