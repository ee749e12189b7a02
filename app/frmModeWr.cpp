#include "frmModeWr.h"

#include "frmConWr.h"
#include "start.h"

namespace
{

// Sixteen registers: bytes 64 to 67 of regData are never read back here.
const RegisterBank kModeBank = {
    &Module1::Table::OrvelReadModeReg,
    &Module1::Table::OrvelWriteModeReg,
    16,
    1,
    "モードレジスタ読み込み失敗",
    "モードレジスタ書き込み失敗",
    "モードレジスタ書き込み成功",
};

}  // namespace

void frmModeWr::showModal(Tavrinmain& main) { runModal<frmModeWr>(main); }

// The labels come first in the tab order but take no focus, so picAdr has it.
frmModeWr::frmModeWr(Tavrinmain& main)
    : WriteDialog(main, "モードレジスタ書き込み", 3900, 1170, kAddressedWriteLayout, kByteField)
{
    setTabIndexOrder({picAdr, picData, btnWrite, btnCansel});
    wireWriteDialog(this);
}

void frmModeWr::Form_Load() { loadAddressAndValue(app().editAddr, app().editData); }

void frmModeWr::btnWrite_Click()
{
    writeRegisterByte(main_, kModeBank, field_.dataValue());
    unload();
}

void frmModeWr::btnCansel_Click() { unload(); }

void frmModeWr::picData_MouseDown(int, int, float x, float y) { selectDigit(x, y); }
void frmModeWr::picData_KeyDown(int keyCode, int) { field_.keyDown(keyCode); }
void frmModeWr::picData_KeyPress(int charCode) { field_.keyPress(charCode); }
void frmModeWr::selectDigit(float x, float) { field_.selectDigit(x); }
void frmModeWr::incDigit() { field_.incDigit(); }
void frmModeWr::decDigit() { field_.decDigit(); }
