#include "frmEepWr.h"

#include "Module2.h"
#include "RegisterBytes.h"
#include "Tavrinmain.h"
#include "devctl/Module1.h"
#include "start.h"

void frmEepWr::showModal(Tavrinmain& main) { runModal<frmEepWr>(main); }

// Laid out as frmConWr is; the keyboard follows the controls from left to right.
frmEepWr::frmEepWr(Tavrinmain& main)
    : WriteDialog(main, "EEPROM書き込み", 3900, 1170, kAddressedWriteLayout, kWordField)
{
    setTabIndexOrder({picAdr, picData, btnWrite, btnCansel});
    wireWriteDialog(this);
}

void frmEepWr::Form_Load() { loadAddressAndValue(app().editAddr, app().editData); }

// Words 0x00-0x1F go back into regData and 0x20-0x3F into eepData, low byte
// first, as the EEPROM reader lays them out. A word that fails to read back
// keeps its bytes rather than taking whatever the library left behind.
void frmEepWr::btnWrite_Click()
{
    AppState& s = app();
    const int32_t chip = main_.chipNumber();
    const bool written = Module1::lib.OrvelWriteEep(chip, s.editAddr, field_.dataValue()) != 0;

    bool allRead = true;
    for (int32_t a = 0; a <= 63; ++a)
    {
        int32_t word = 0;
        if (Module1::lib.OrvelReadEep(chip, a, &word) == 0)
        {
            main_.setStatus("EEPROM読み込み失敗");
            allRead = false;
            continue;
        }
        std::array<uint8_t, 68>& buffer = a < 32 ? s.regData : s.eepData;
        storeBytes(std::span(buffer).subspan(2 * (a % 32), 2), word);
    }
    drawEepromGrids(main_.picDump, main_.picDump2);
    reportWrite(main_, written, allRead, "EEPROM書き込み失敗", "EEPROM読み込み成功");
    unload();
}

void frmEepWr::btnCansel_Click() { unload(); }

void frmEepWr::picData_MouseDown(int, int, float x, float y) { selectDigit(x, y); }
void frmEepWr::picData_KeyDown(int keyCode, int) { field_.keyDown(keyCode); }
void frmEepWr::picData_KeyPress(int charCode) { field_.keyPress(charCode); }
void frmEepWr::selectDigit(float x, float) { field_.selectDigit(x); }
void frmEepWr::incDigit() { field_.incDigit(); }
void frmEepWr::decDigit() { field_.decDigit(); }
