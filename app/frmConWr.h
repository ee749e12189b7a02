#pragma once

#include "WriteDialog.h"
#include "devctl/Module1.h"

// Changes one byte of the selected chip's configuration registers.
class frmConWr : public WriteDialog
{
public:
    // Loads the dialog, runs it modally and unloads it when it closes.
    static void showModal(Tavrinmain& main);

    explicit frmConWr(Tavrinmain& main);

    void Form_Load();
    void btnWrite_Click();
    void btnCansel_Click();
    void picData_MouseDown(int button, int shift, float x, float y);
    void picData_KeyDown(int keyCode, int shift);
    void picData_KeyPress(int charCode);
    void selectDigit(float x, float y);
    void incDigit();
    void decDigit();
};

// A bank of 32-bit registers that the dump shows and edits byte by byte: the
// configuration registers here, the mode registers in frmModeWr.
struct RegisterBank
{
    PciReadConfigReg_fn Module1::Table::*read;
    PciWriteConfigReg_fn Module1::Table::*write;
    int registers;
    int16_t shortGrid;
    const char* readFailed;
    const char* writeFailed;
    const char* written;
};

// Reads the register that holds byte `editAddr` from the chip selected in `w`, writes it back
// with that byte replaced by `newByte`, reads the whole bank back into regData,
// redraws the dump and empties the cursor readout. When the first read fails
// nothing is written or re-read: the write is reported as failed.
void writeRegisterByte(Tavrinmain& w, const RegisterBank& bank, int32_t newByte);
