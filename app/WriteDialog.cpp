#include "WriteDialog.h"

#include "Module2.h"
#include "Tavrinmain.h"
#include "start.h"
#include "ui/Backend.h"

#include <algorithm>

void printAtOrigin(PictureBox* box, double x, const std::string& text) { printAt(box, x, 100, text); }

void HexField::load(PictureBox* box, int32_t value)
{
    box_ = box;
    box_->setDrawMode(kCopyPen);
    dataValue_ = value;
    dataText_ = hexPad(dataValue_, shape_.digits);
    printAtOrigin(box_, shape_.originX, dataText_);
    digitPos_ = 0;
}

double HexField::cellLeft(int digit) const { return shape_.originX + (digit - 1) * double(app().cellWidth); }

void HexField::selectDigit(float x)
{
    const AppState& s = app();
    box_->Cls();
    // Left of the digits counts as the first one, right of them as the last.
    int digit = 1;
    while (digit < shape_.digits && x >= float(cellLeft(digit + 1)))
        ++digit;
    box_->FillBox(cellLeft(digit), 100, cellLeft(digit) + s.cellWidth, 100 + s.cellHeight, kDigitBoxFill);
    digitPos_ = int16_t(digit);
    dataText_ = hexPad(dataValue_, shape_.digits);
    printAtOrigin(box_, shape_.originX, dataText_);
}

void HexField::showDigit(int digit) { selectDigit(float(cellLeft(digit))); }

void HexField::keyDown(int keyCode)
{
    if (waitsForClick())
        return;
    switch (keyCode)
    {
        case ui::vbKeyLeft:
            showDigit(std::max(1, digitPos_ - 1));
            break;
        case ui::vbKeyRight:
            showDigit(digitPos_ == 0 ? shape_.digits : std::min<int>(shape_.digits, digitPos_ + 1));
            break;
        case ui::vbKeyUp:
            incDigit();
            break;
        case ui::vbKeyDown:
            decDigit();
            break;
        default:
            break;
    }
}

void HexField::keyPress(int charCode)
{
    int d;
    if (charCode >= '0' && charCode <= '9')
        d = charCode - '0';
    else if (charCode >= 'a' && charCode <= 'f')
        d = charCode - 'a' + 10;
    else
        return;
    if (waitsForClick())
        return;
    // The first key with no digit chosen yet only chooses the last digit.
    if (digitPos_ == 0)
    {
        showDigit(shape_.digits);
        return;
    }
    const int shift = 4 * (shape_.digits - digitPos_);
    dataValue_ = (dataValue_ & ~(0xF << shift)) | (d << shift);
    showDigit(std::min<int>(shape_.digits, digitPos_ + 1));
}

void HexField::incDigit() { stepDigit(1); }
void HexField::decDigit() { stepDigit(-1); }

// A digit wraps within itself and never carries into its neighbour. With no
// digit chosen yet a step would change a digit the user cannot see marked,
// so it only marks the leftmost one.
void HexField::stepDigit(int by)
{
    if (waitsForClick())
        return;
    if (digitPos_ == 0)
    {
        showDigit(1);
        return;
    }
    const int shift = 4 * (shape_.digits - digitPos_);
    const int digit = (((dataValue_ >> shift) & 0xF) + by) & 0xF;
    dataValue_ = (dataValue_ & ~(0xF << shift)) | (digit << shift);
    showDigit(digitPos_);
}

void reportWrite(Tavrinmain& w, bool written, bool allReadBack, const char* writeFailed,
                 const char* succeeded)
{
    if (!written)
        w.setStatus(writeFailed);
    else if (allReadBack)
        w.setStatus(succeeded);
    w.lbloffset->clear();
    w.lbldata->clear();
}

// clang-format off
const ControlSpec kAddressedWriteLayout[6] = {
    {"Label1",    Ctl::Label,      "",  120, 240,  855, 255, "アドレス",   Face::PGothic, 11.25},
    {"picAdr",    Ctl::PictureBox, "",  960, 120,  855, 495, "",          Face::Gothic,  11.25},
    {"Label2",    Ctl::Label,      "", 2160, 240,  615, 255, "データ",     Face::PGothic, 11.25},
    {"picData",   Ctl::PictureBox, "", 2880, 120,  855, 495, "",          Face::Gothic,  11.25},
    {"btnWrite",  Ctl::Button,     "", 1320, 720, 1095, 375, "書き込み",   Face::PGothic, 9},
    {"btnCansel", Ctl::Button,     "", 2640, 720, 1095, 375, "キャンセル", Face::PGothic, 9},
};
// clang-format on

WriteDialog::WriteDialog(Tavrinmain& main, const char* caption, int clientWidth, int clientHeight,
                         std::span<const ControlSpec> layout, FieldShape shape)
    : form_(ui::backend().createForm({ui::FormKind::Dialog, caption, clientWidth, clientHeight, layout})),
      main_(main), field_(shape)
{
    ui::Form& c = *form_;
    c.owner = this;
    Label1 = dynamic_cast<ui::Label*>(c.find("Label1"));
    picAdr = dynamic_cast<PictureBox*>(c.find("picAdr"));
    Label2 = c.get<ui::Label>("Label2");
    picData = c.get<PictureBox>("picData");
    btnWrite = c.get<ui::CommandButton>("btnWrite");
    btnCansel = c.get<ui::CommandButton>("btnCansel");
    // None of the forms has a default button: Enter presses only the button
    // that has the focus, never 書き込み behind the user's back.
}

void WriteDialog::setTabIndexOrder(std::initializer_list<ui::Control*> order) { form_->setTabOrder(order); }

void WriteDialog::loadAddressAndValue(int32_t address, int32_t value)
{
    printAtOrigin(picAdr, kAddressOriginX, hexPad(address, 2));
    field_.load(picData, value);
}

void WriteDialog::unload() { form_->close(); }
