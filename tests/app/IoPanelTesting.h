#pragma once

#include "AppFixture.h"
#include "Module2.h"
#include "UiHelpers.h"

using driver::MessageBoxSeen;
using driver::ModalWatch;

// What a readout must look like: `text` alone, in black, printed at (x, 50)
// on a clean box of the same size and font.
inline ui::Picture readoutPicture(const ui::PictureBox* like, double x, const std::string& text)
{
    const std::unique_ptr<ui::PictureBox> ref = driver::scratchLike(like);
    ref->setForeColor(kBlack);
    ref->CurrentX = x;
    ref->CurrentY = 50;
    ref->Print(text);
    return ref->picture();
}

// The program started with two chips, the window active so that focus moves
// as a user's clicks and Tab presses move it.
class IoPanelFixture : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        w = &startProgram();
        driver::activate(w->form());
    }

    // Selects chip `chip` (1-based) and forgets the calls the selection made.
    void selectChip(int chip)
    {
        clickChip(chip - 1);
        lib().calls.clear();
    }

    Tavrinmain* w = nullptr;
};
