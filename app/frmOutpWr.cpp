#include "frmOutpWr.h"

#include "Module2.h"
#include "Tavrinmain.h"
#include "devctl/Module1.h"
#include "start.h"

namespace
{

// clang-format off
constexpr ControlSpec kControls[] = {
    {"Label2",    Ctl::Label,      "",  480, 240,  615, 255, "データ",     Face::PGothic, 11.25},
    {"picData",   Ctl::PictureBox, "", 1440, 120,  855, 495, "",          Face::Gothic,  11.25},
    {"btnWrite",  Ctl::Button,     "",  120, 720, 1095, 375, "書き込み",   Face::PGothic, 9},
    {"btnCansel", Ctl::Button,     "", 1440, 720, 1095, 375, "キャンセル", Face::PGothic, 9},
};
// clang-format on

}  // namespace

void frmOutpWr::showModal(Tavrinmain& main) { runModal<frmOutpWr>(main); }

// picData comes first, so keys act on the field as soon as the dialog opens.
frmOutpWr::frmOutpWr(Tavrinmain& main)
    : WriteDialog(main, "出力ポート書き込み", 2640, 1170, kControls, kByteField)
{
    setTabIndexOrder({picData, btnCansel, btnWrite});
    wireWriteDialog(this);
}

void frmOutpWr::Form_Load() { field_.load(picData, app().outpValue); }

// The port is not read back: on success the readout shows what was written.
void frmOutpWr::btnWrite_Click()
{
    AppState& s = app();
    Tavrinmain& w = main_;
    const uint8_t value = uint8_t(field_.dataValue());
    if (Module1::lib.TavrinWriteOutport(w.chipNumber(), value) != 0)
    {
        w.setStatus("出力ポート書き込み成功");
        s.outpValue = value;
        printReadout(w.picOutp, 500, 50, hexPad(value, 2));
    }
    else
    {
        w.setStatus("出力ポート書き込み失敗");
    }
    unload();
}

void frmOutpWr::btnCansel_Click() { unload(); }

void frmOutpWr::picData_MouseDown(int, int, float x, float y) { selectDigit(x, y); }
void frmOutpWr::picData_KeyDown(int keyCode, int) { field_.keyDown(keyCode); }
void frmOutpWr::picData_KeyPress(int charCode) { field_.keyPress(charCode); }
void frmOutpWr::selectDigit(float x, float) { field_.selectDigit(x); }
void frmOutpWr::incDigit() { field_.incDigit(); }
void frmOutpWr::decDigit() { field_.decDigit(); }
