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

#include "ListBox.h"
#include "PictureBox.h"
#include "SSTab.h"

#include <QMainWindow>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
struct RegisterDump;

// The program's only main window: device list, the two dump boxes on their
// tabs, the cursor readout, the board I/O panel, menus and status line.
class Tavrinmain : public QMainWindow
{
    Q_OBJECT
public:
    // The first reference creates the window, hidden. Only start-up reaches
    // the window this way; everything else is handed the window it works on.
    static Tavrinmain& instance();
    ~Tavrinmain() override;

    // Panel 1 of the status bar: each board operation's outcome.
    void setStatus(const QString& text);
    QString statusText() const;

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

    // Controls.
    QLabel* Label1;
    ListBox* lstOrvel;
    QWidget* Picture1;
    QLabel* Label3;
    QLabel* lbloffset;
    QLabel* Label4;
    QLabel* lbldata;
    QGroupBox* Frame1;
    PictureBox* picInp;
    QPushButton* btnInpRd;
    QGroupBox* Frame2;
    PictureBox* picOutp;
    QPushButton* btnOutpRd;
    QLabel* Label2;
    SSTab* SSTab1;
    PictureBox* picDump;
    PictureBox* picDump2;
    QGroupBox* Frame3;
    PictureBox* picCnt;
    QPushButton* btnCntRd;
    QGroupBox* Frame4;
    QPushButton* btnIntOpen;
    QPushButton* btnIntClose;
    QPushButton* btnIntSts;
    QLabel* Label5;
    QLineEdit* txtPls;
    QPushButton* btnEepInit;
    QPushButton* btnEnd;
    QStatusBar* StatusBar1;

    QAction* menuFile;
    QAction* menuF_End;
    QAction* menuEdit;
    QAction* menuRead;
    QAction* menuR_Config;
    QAction* menuR_Mode;
    QAction* menuR_eep;
    QAction* menuHelp;
    QAction* menuH_Ver;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    Tavrinmain();
    void buildMenus();
    void wire();
    void exitSequence();
    void readRegisters(const RegisterDump& dump);

    QLabel* statusPanel_;
    bool ending_ = false;
};
