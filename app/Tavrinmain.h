#pragma once

// How the program fits together. start::Main (start.cpp) fills the
// process-wide state (AppState, reached through app()), creates this window,
// opens the board library through the table in devctl/Module1 and lists the
// chips; from then on everything runs from this window's events, one handler
// at a time on the window thread. The window owns the device list, the two
// dump boxes, the cursor readout, the board I/O panel and the status line; its
// readers fill regData/eepData and redraw the dumps with Module2's grid
// routines, and DumpCursor does the cursor arithmetic that its handlers then
// paint. The dialogs (the four write dialogs built on WriteDialog,
// frmIntrStat, version) are modal; each is handed this window to act on, and
// only start-up reaches the window through instance(). Every board operation
// is one library call whose outcome becomes one text on the status line.
//
// No form names a toolkit. Each is written against the control layer in ui/
// (labels, buttons, picture boxes... with callbacks for their events) and
// built from its table of ControlSpec rows by the back end that main() sets
// (ui::setBackend): ui/qt/ for Qt, one folder per back end. The tests drive
// the same forms through a test driver of that back end.

#include "ui/Form.h"

#include <cstdint>
#include <memory>
#include <string>

struct RegisterDump;

// The program's only main window: device list, the two dump boxes on their
// tabs, the cursor readout, the board I/O panel, menus and status line.
class Tavrinmain : public ui::FormOwner
{
public:
    // The first reference creates the window, hidden. Only start-up reaches
    // the window this way; everything else is handed the window it works on.
    static Tavrinmain& instance();
    ~Tavrinmain() override;

    // Panel 1 of the status bar: each board operation's outcome.
    void setStatus(const std::string& text);
    std::string statusText() const;

    ui::Form& form() const { return *form_; }
    void show() { form_->show(); }
    bool isVisible() const { return form_->isVisible(); }

    // The chip every board operation addresses: selected row + 1, 0 when none.
    int32_t chipNumber() const;

    // Handlers.
    void Form_Load();
    void lstOrvel_Click();
    void menuR_Config_Click();
    void menuR_Mode_Click();
    void menuR_eep_Click();
    void menuH_Ver_Click();
    void menuF_End_Click();
    void btnEnd_Click();

    // Dump tabs and cursor.
    void SSTab1_Click(int previousTab);
    void picDump_MouseDown(int button, int shift, float x, float y);
    void picDump2_MouseDown(int button, int shift, float x, float y);
    void picDump_KeyDown(int keyCode, int shift);
    void picDump2_KeyDown(int keyCode, int shift);
    void picDump_DblClick();
    void picDump2_DblClick();
    void moveDumpCursor(float x, float y, int16_t which);

    // Board I/O panel.
    void btnInpRd_Click();
    void btnOutpRd_Click();
    void btnCntRd_Click();
    void picOutp_DblClick();
    void btnIntOpen_Click();
    void btnIntClose_Click();
    void txtPls_GotFocus();
    void txtPls_KeyPress(int& keyAscii);
    void txtPls_LostFocus();
    void btnIntSts_Click();
    void btnEepInit_Click();

    // Readers of the three dumps.
    void readConfigRegs();
    void readModeRegs();
    void readEeprom();

    // The title-bar close box.
    void Form_QueryUnload();

    // Controls.
    ui::Label* Label1;
    ui::ListBox* lstOrvel;
    ui::Frame* Picture1;
    ui::Label* Label3;
    ui::Label* lbloffset;
    ui::Label* Label4;
    ui::Label* lbldata;
    ui::Frame* Frame1;
    ui::PictureBox* picInp;
    ui::CommandButton* btnInpRd;
    ui::Frame* Frame2;
    ui::PictureBox* picOutp;
    ui::CommandButton* btnOutpRd;
    ui::Label* Label2;
    ui::TabControl* SSTab1;
    ui::PictureBox* picDump;
    ui::PictureBox* picDump2;
    ui::Frame* Frame3;
    ui::PictureBox* picCnt;
    ui::CommandButton* btnCntRd;
    ui::Frame* Frame4;
    ui::CommandButton* btnIntOpen;
    ui::CommandButton* btnIntClose;
    ui::CommandButton* btnIntSts;
    ui::Label* Label5;
    ui::TextBox* txtPls;
    ui::CommandButton* btnEepInit;
    ui::CommandButton* btnEnd;
    ui::StatusBar* StatusBar1;

    ui::MenuItem* menuFile;
    ui::MenuItem* menuF_End;
    ui::MenuItem* menuEdit;
    ui::MenuItem* menuRead;
    ui::MenuItem* menuR_Config;
    ui::MenuItem* menuR_Mode;
    ui::MenuItem* menuR_eep;
    ui::MenuItem* menuHelp;
    ui::MenuItem* menuH_Ver;

private:
    Tavrinmain();
    void wire();
    void exitSequence();
    void readRegisters(const RegisterDump& dump);

    std::unique_ptr<ui::Form> form_;
    bool ending_ = false;
};
