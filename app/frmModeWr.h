#pragma once

#include "WriteDialog.h"

// Changes one byte of the selected chip's mode registers.
class frmModeWr : public WriteDialog
{
public:
    // Loads the dialog, runs it modally and unloads it when it closes.
    static void showModal(Tavrinmain& main);

    explicit frmModeWr(Tavrinmain& main);

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
