#pragma once

#include "AppFixture.h"
#include "Module2.h"
#include "UiHelpers.h"
#include "WriteDialog.h"

#include <functional>
#include <memory>
#include <vector>

// Drives the write dialogs as a user does: clicks in the dump, double-clicks to
// open a dialog, clicks and keys in its entry field, presses its buttons.
class WriteDialogFixture : public AppFixture
{
protected:
    void TearDown() override
    {
        *live_ = false;
        AppFixture::TearDown();
    }

    // Runs `action` on the dialog once it is open. A dialog the action leaves
    // open is closed, so a failing test cannot hang; a watch whose dialog never
    // opened stays idle in later tests.
    template <class Form>
    void whenOpen(std::function<void(Form&)> action)
    {
        opened_ = false;
        driver::onNextModal(
            [this, live = live_, action](driver::Modal& m)
            {
                if (!*live)
                    return;
                if (Form* form = m.form() ? dynamic_cast<Form*>(m.form()->owner) : nullptr)
                {
                    opened_ = true;
                    // Keys typed "at the focus" need the dialog to be the active window.
                    EXPECT_TRUE(driver::waitActive(form->form()));
                    action(*form);
                }
                if (m.isOpen())
                    m.close();
            });
    }
    bool opened() const { return opened_; }

    static void clickTwips(const ui::Control* box, double x, double y,
                           driver::Button b = driver::Button::Left)
    {
        driver::click(box, x, y, b);
    }

    // Middle of digit `digit` (1 = leftmost) of a field printed from originX.
    static void clickDigit(const ui::PictureBox* box, double originX, int digit)
    {
        const AppState& s = app();
        clickTwips(box, originX + (digit - 0.5) * s.cellWidth, 100 + s.cellHeight / 2.0);
    }

    // A user's double-click on a dump cell: the press moves the cursor there,
    // the double-click opens the dialog.
    static void doubleClickCell(const ui::PictureBox* box, int row, int column, int cells)
    {
        const AppState& s = app();
        const double x = (column + cells / 2.0) * s.cellWidth, y = (row + 0.5) * s.cellHeight;
        driver::click(box, x, y);
        driver::doubleClick(box, x, y);
    }

    // The byte at `offset` of the configuration or mode register dump.
    static void doubleClickByte(int offset)
    {
        doubleClickCell(Tavrinmain::instance().picDump, offset / 4 + 1, 3 + 3 * (3 - offset % 4), 2);
    }

    // EEPROM word `word`: 00-1F on picDump, 20-3F on picDump2; the odd word of
    // each pair stands left.
    static void doubleClickWord(int word)
    {
        Tavrinmain& w = Tavrinmain::instance();
        doubleClickCell(word < 32 ? w.picDump : w.picDump2, (word % 32) / 2 + 1, word % 2 ? 3 : 9, 5);
    }

    // The picture a field must show: `text` printed from originX, with digit
    // `digit` boxed in green (0: none), drawn on a blank box of the same size.
    static ui::Picture fieldPicture(const ui::PictureBox* like, double originX, const std::string& text,
                                    int digit)
    {
        const AppState& s = app();
        const std::unique_ptr<ui::PictureBox> ref = driver::scratchLike(like);
        if (digit > 0)
        {
            const double left = originX + (digit - 1) * s.cellWidth;
            ref->FillBox(left, 100, left + s.cellWidth, 100 + s.cellHeight, 0x00FF00);
        }
        ref->setForeColor(kWhite);
        ref->PSet(originX, 100);
        ref->setForeColor(kBlack);
        ref->Print(text);
        return ref->picture();
    }

    static bool shows(const ui::PictureBox* box, double originX, const std::string& text, int digit)
    {
        return box->picture() == fieldPicture(box, originX, text, digit);
    }

    // Where the focus goes on each press of Tab, starting from the focus the
    // dialog opened with.
    static std::vector<const ui::Control*> tabStops(const ui::Form& dialog, int presses)
    {
        std::vector<const ui::Control*> stops{driver::focused(dialog)};
        for (int i = 0; i < presses; ++i)
        {
            driver::keyToFocus(dialog, driver::Key::Tab);
            stops.push_back(driver::focused(dialog));
        }
        return stops;
    }

    static bool dialogIsGone() { return driver::noDialogOpen(); }

private:
    std::shared_ptr<bool> live_ = std::make_shared<bool>(true);
    bool opened_ = false;
};
