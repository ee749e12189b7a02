#include "frmConWr.h"

#include "Module2.h"
#include "RegisterBytes.h"
#include "Tavrinmain.h"
#include "start.h"

#include <array>

namespace
{

const RegisterBank kConfigBank = {
    &Module1::Table::PciReadConfigReg,
    &Module1::Table::PciWriteConfigReg,
    17,
    0,
    "コンフィグレジスタ読み込み失敗",
    "コンフィグレジスタ書き込み失敗",
    "コンフィグレジスタ書き込み成功",
};

}  // namespace

void frmConWr::showModal(Tavrinmain& main) { runModal<frmConWr>(main); }

frmConWr::frmConWr(Tavrinmain& main)
    : WriteDialog(main, "コンフィグレジスタ書き込み", 3900, 1170, kAddressedWriteLayout, kByteField)
{
    setTabIndexOrder({picAdr, btnWrite, btnCansel, picData});
    wireWriteDialog(this);
}

void frmConWr::Form_Load() { loadAddressAndValue(app().editAddr, app().editData); }

void frmConWr::btnWrite_Click()
{
    writeRegisterByte(main_, kConfigBank, field_.dataValue());
    unload();
}

void frmConWr::btnCansel_Click() { unload(); }

void frmConWr::picData_MouseDown(int, int, float x, float y) { selectDigit(x, y); }
void frmConWr::picData_KeyDown(int keyCode, int) { field_.keyDown(keyCode); }
void frmConWr::picData_KeyPress(int charCode) { field_.keyPress(charCode); }
void frmConWr::selectDigit(float x, float) { field_.selectDigit(x); }
void frmConWr::incDigit() { field_.incDigit(); }
void frmConWr::decDigit() { field_.decDigit(); }

// The other three bytes of the register come from the chip itself, read just
// before the write: the dump buffer may still hold another chip's bytes (after
// a read that failed part-way), and writing those back would corrupt the chip.
// A register that fails to read back keeps the bytes it had: whatever the
// library left in the out-variable belongs to no register, and storing it
// would show another register's value in that row.
void writeRegisterByte(Tavrinmain& w, const RegisterBank& bank, int32_t newByte)
{
    AppState& s = app();
    const int32_t chip = w.chipNumber();
    const int32_t base = s.editAddr - s.editAddr % 4;

    int32_t current = 0;
    if ((Module1::lib.*bank.read)(chip, base, &current) == 0)
    {
        reportWrite(w, false, false, bank.writeFailed, bank.written);
        return;
    }
    std::array<uint8_t, 4> bytes;
    storeBytes(bytes, current);
    bytes[s.editAddr % 4] = uint8_t(newByte);
    const uint32_t value = packBytes(bytes);
    const bool written = (Module1::lib.*bank.write)(chip, base, int32_t(value)) != 0;

    bool allRead = true;
    for (int i = 0; i < bank.registers; ++i)
    {
        int32_t r = 0;
        if ((Module1::lib.*bank.read)(chip, 4 * i, &r) == 0)
        {
            w.setStatus(bank.readFailed);
            allRead = false;
            continue;
        }
        storeBytes(std::span(s.regData).subspan(4 * i, 4), r);
    }
    drawRegisterGrid(w.picDump, bank.shortGrid);
    reportWrite(w, written, allRead, bank.writeFailed, bank.written);
}
