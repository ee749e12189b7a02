#pragma once

#include "WriteDialog.h"

// Writes a new byte to the selected board's output port.
class frmOutpWr : public WriteDialog
{
public:
    // Loads the dialog, runs it modally and unloads it when it closes.
    static void showModal(Tavrinmain& main);

    explicit frmOutpWr(Tavrinmain& main);

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
