#include "Tavrinmain.h"

#include "DumpCursor.h"
#include "Module2.h"
#include "RegisterBytes.h"
#include "devctl/Module1.h"
#include "frmConWr.h"
#include "frmEepWr.h"
#include "frmIntrStat.h"
#include "frmModeWr.h"
#include "frmOutpWr.h"
#include "numOnly.h"
#include "start.h"
#include "ui/Backend.h"
#include "version.h"

#include <algorithm>
#include <optional>
#include <string>

namespace
{

constexpr int kClientWidth = 6390;
constexpr int kClientHeight = 5820;

// clang-format off
constexpr ControlSpec kControls[] = {
    {"Label1",     Ctl::Label,      "",         240,  120, 1815,  255, "検索されたOrvel", Face::PGothic, 9},
    {"lstOrvel",   Ctl::ListBox,    "",         120,  360, 1815,  735, "",               Face::Gothic, 11.25},
    {"Picture1",   Ctl::Panel,      "",         120, 1200, 1815,  855, "",               Face::PGothic, 9},
    {"Label3",     Ctl::Label,      "Picture1", 120,  120,  975,  255, "アドレス",        Face::PGothic, 9},
    {"lbloffset",  Ctl::Label,      "Picture1", 1080, 120,  615,  255, "",               Face::Gothic, 11.25},
    {"Label4",     Ctl::Label,      "Picture1", 240,  480,  735,  255, "データ",          Face::PGothic, 9},
    {"lbldata",    Ctl::Label,      "Picture1", 1080, 480,  615,  255, "",               Face::Gothic, 11.25},
    {"Frame1",     Ctl::Frame,      "",         120, 2160, 1815, 1455, "入力ポート",      Face::PGothic, 9},
    {"picInp",     Ctl::PictureBox, "Frame1",   240,  360, 1335,  375, "",               Face::Gothic, 11.25},
    {"btnInpRd",   Ctl::Button,     "Frame1",   240,  840, 1335,  375, "読み込み",        Face::PGothic, 9},
    {"Frame2",     Ctl::Frame,      "",         120, 3720, 1815, 1455, "出力ポート",      Face::PGothic, 9},
    {"picOutp",    Ctl::PictureBox, "Frame2",   240,  360, 1335,  375, "",               Face::Gothic, 11.25},
    {"btnOutpRd",  Ctl::Button,     "Frame2",   240,  840, 1335,  375, "読み込み",        Face::PGothic, 9},
    {"Label2",     Ctl::Label,      "",        2400,  120, 1695,  255, "ダンプデータ",     Face::PGothic, 9},
    {"SSTab1",     Ctl::TabControl, "",        2160,  480, 2055, 4695, "",               Face::PGothic, 9},
    {"picDump",    Ctl::PictureBox, "SSTab1:0", 120,  480, 1815, 4095, "",               Face::Gothic, 11.25},
    {"picDump2",   Ctl::PictureBox, "SSTab1:1", 120,  480, 1815, 4095, "",               Face::Gothic, 11.25},
    {"Frame3",     Ctl::Frame,      "",        4440,  120, 1815, 1455, "カウンタ値",      Face::PGothic, 9},
    {"picCnt",     Ctl::PictureBox, "Frame3",   240,  360, 1335,  375, "",               Face::Gothic, 11.25},
    {"btnCntRd",   Ctl::Button,     "Frame3",   240,  840, 1335,  375, "読み込み",        Face::PGothic, 9},
    {"Frame4",     Ctl::Frame,      "",        4440, 1680, 1815, 2655, "割り込み",        Face::PGothic, 9},
    {"btnIntOpen", Ctl::Button,     "Frame4",   240,  360, 1335,  375, "オープン",        Face::PGothic, 9},
    {"btnIntClose",Ctl::Button,     "Frame4",   240,  840, 1335,  375, "クローズ",        Face::PGothic, 9},
    {"btnIntSts",  Ctl::Button,     "Frame4",   240, 1320, 1335,  375, "状態読出し",      Face::PGothic, 9},
    {"Label5",     Ctl::Label,      "Frame4",   360, 1800, 1095,  375, "割り込み発生パルス数", Face::PGothic, 9},
    {"txtPls",     Ctl::TextBox,    "Frame4",   240, 2160, 1335,  375, "100",            Face::Gothic, 14.25},
    {"btnEepInit", Ctl::Button,     "",        4560, 4440, 1575,  375, "EEPROM初期化",   Face::PGothic, 9},
    {"btnEnd",     Ctl::Button,     "",        4560, 4920, 1575,  375, "終了",           Face::PGothic, 9},
    {"StatusBar1", Ctl::StatusBar,  "",           0, 5445, 6390,  375, "",               Face::PGothic, 9},
};
// "編集" has no items: a bare menu-bar entry that opens and runs nothing.
constexpr MenuSpec kMenus[] = {
    {"menuFile",     "",         "ファイル(&F)"},
    {"menuF_End",    "menuFile", "終了(&X)"},
    {"menuEdit",     "",         "編集(&E)"},
    {"menuRead",     "",         "読み込み(&R)"},
    {"menuR_Config", "menuRead", "コンフィグレジスタ(&C)"},
    {"menuR_Mode",   "menuRead", "モードレジスタ(&M)"},
    {"menuR_eep",    "menuRead", "EEPROM(&E)"},
    {"menuHelp",     "",         "ヘルプ(&H)"},
    {"menuH_Ver",    "menuHelp", "バージョン情報(&A)"},
};
// clang-format on

Tavrinmain* s_instance = nullptr;

}  // namespace

Tavrinmain& Tavrinmain::instance()
{
    if (!s_instance)
        s_instance = new Tavrinmain;
    return *s_instance;
}

Tavrinmain::~Tavrinmain()
{
    if (s_instance == this)
        s_instance = nullptr;
}

Tavrinmain::Tavrinmain()
    : form_(ui::backend().createForm(
          {ui::FormKind::Main, "Tavrin", kClientWidth, kClientHeight, kControls, kMenus}))
{
    ui::Form& c = *form_;
    c.owner = this;
    Label1 = c.get<ui::Label>("Label1");
    lstOrvel = c.get<ui::ListBox>("lstOrvel");
    Picture1 = c.get<ui::Frame>("Picture1");
    Label3 = c.get<ui::Label>("Label3");
    lbloffset = c.get<ui::Label>("lbloffset");
    Label4 = c.get<ui::Label>("Label4");
    lbldata = c.get<ui::Label>("lbldata");
    Frame1 = c.get<ui::Frame>("Frame1");
    picInp = c.get<ui::PictureBox>("picInp");
    btnInpRd = c.get<ui::CommandButton>("btnInpRd");
    Frame2 = c.get<ui::Frame>("Frame2");
    picOutp = c.get<ui::PictureBox>("picOutp");
    btnOutpRd = c.get<ui::CommandButton>("btnOutpRd");
    Label2 = c.get<ui::Label>("Label2");
    SSTab1 = c.get<ui::TabControl>("SSTab1");
    picDump = c.get<ui::PictureBox>("picDump");
    picDump2 = c.get<ui::PictureBox>("picDump2");
    Frame3 = c.get<ui::Frame>("Frame3");
    picCnt = c.get<ui::PictureBox>("picCnt");
    btnCntRd = c.get<ui::CommandButton>("btnCntRd");
    Frame4 = c.get<ui::Frame>("Frame4");
    btnIntOpen = c.get<ui::CommandButton>("btnIntOpen");
    btnIntClose = c.get<ui::CommandButton>("btnIntClose");
    btnIntSts = c.get<ui::CommandButton>("btnIntSts");
    Label5 = c.get<ui::Label>("Label5");
    txtPls = c.get<ui::TextBox>("txtPls");
    btnEepInit = c.get<ui::CommandButton>("btnEepInit");
    btnEnd = c.get<ui::CommandButton>("btnEnd");
    StatusBar1 = c.get<ui::StatusBar>("StatusBar1");
    menuFile = c.menu("menuFile");
    menuF_End = c.menu("menuF_End");
    menuEdit = c.menu("menuEdit");
    menuRead = c.menu("menuRead");
    menuR_Config = c.menu("menuR_Config");
    menuR_Mode = c.menu("menuR_Mode");
    menuR_eep = c.menu("menuR_eep");
    menuHelp = c.menu("menuHelp");
    menuH_Ver = c.menu("menuH_Ver");

    SSTab1->setTabCaption(0, "レジスタ");
    SSTab1->setTabCaption(1, "Tab 1");

    wire();
    Form_Load();
}

// Every connection of the window, each forwarding to its named handler.
void Tavrinmain::wire()
{
    form_->onCloseBox = [this] { Form_QueryUnload(); };
    lstOrvel->onClick = [this] { lstOrvel_Click(); };
    menuR_Config->onClick = [this] { menuR_Config_Click(); };
    menuR_Mode->onClick = [this] { menuR_Mode_Click(); };
    menuR_eep->onClick = [this] { menuR_eep_Click(); };
    menuH_Ver->onClick = [this] { menuH_Ver_Click(); };
    menuF_End->onClick = [this] { menuF_End_Click(); };
    btnEnd->onClick = [this] { btnEnd_Click(); };

    SSTab1->onClick = [this](int previous) { SSTab1_Click(previous); };
    picDump->onMouseDown = [this](int b, int sh, float x, float y) { picDump_MouseDown(b, sh, x, y); };
    picDump2->onMouseDown = [this](int b, int sh, float x, float y) { picDump2_MouseDown(b, sh, x, y); };
    picDump->onKeyDown = [this](int k, int sh) { picDump_KeyDown(k, sh); };
    picDump2->onKeyDown = [this](int k, int sh) { picDump2_KeyDown(k, sh); };
    picDump->onDblClick = [this] { picDump_DblClick(); };
    picDump2->onDblClick = [this] { picDump2_DblClick(); };

    btnInpRd->onClick = [this] { btnInpRd_Click(); };
    btnOutpRd->onClick = [this] { btnOutpRd_Click(); };
    btnCntRd->onClick = [this] { btnCntRd_Click(); };
    picOutp->onDblClick = [this] { picOutp_DblClick(); };
    btnIntOpen->onClick = [this] { btnIntOpen_Click(); };
    btnIntClose->onClick = [this] { btnIntClose_Click(); };
    btnIntSts->onClick = [this] { btnIntSts_Click(); };
    btnEepInit->onClick = [this] { btnEepInit_Click(); };

    txtPls->setDigitsOnly(true);
    txtPls->onGotFocus = [this] { txtPls_GotFocus(); };
    txtPls->onLostFocus = [this] { txtPls_LostFocus(); };
    txtPls->onKeyPress = [this](int& k) { txtPls_KeyPress(k); };
}

void Tavrinmain::setStatus(const std::string& text) { StatusBar1->setText(text); }
std::string Tavrinmain::statusText() const { return StatusBar1->text(); }

int32_t Tavrinmain::chipNumber() const { return lstOrvel->selectedRow() + 1; }

void Tavrinmain::Form_Load() {}

void Tavrinmain::lstOrvel_Click()
{
    switch (app().dumpKind)
    {
        case 0:
            readConfigRegs();
            break;
        case 1:
            readModeRegs();
            break;
        case 2:
            readEeprom();
            break;
        default:
            break;
    }
}

void Tavrinmain::menuR_Config_Click() { readConfigRegs(); }
void Tavrinmain::menuR_Mode_Click() { readModeRegs(); }
void Tavrinmain::menuR_eep_Click() { readEeprom(); }

void Tavrinmain::menuH_Ver_Click()
{
    version about(form_.get());
    about.showModal();
}

void Tavrinmain::menuF_End_Click() { exitSequence(); }
void Tavrinmain::btnEnd_Click() { exitSequence(); }

// Results are not looked at: a failing call must not keep the program alive.
void Tavrinmain::exitSequence()
{
    ending_ = true;
    Module1::lib.TavrinMaskIntr();
    Module1::lib.TavrinCloseIntr(app().intrHandle);
    Module1::lib.PciCloseDevice();
    start::endProgram(0);
}

// Closing with the title-bar box leaves like "終了" does, so the board's
// interrupt is not left armed and the library not left open.
void Tavrinmain::Form_QueryUnload()
{
    if (!ending_)
        exitSequence();
}

// ---- Readers ---------------------------------------------------------------

// What tells the two register dumps apart; the reading itself is the same.
struct RegisterDump
{
    const char* title;
    int16_t (LUMBRA_CALL* Module1::Table::*read)(int32_t, int32_t, int32_t*);
    int registers;
    int16_t shortGrid;
    const char* failure;
    const char* success;
    int16_t kind;
};

namespace
{

constexpr RegisterDump kConfigDump = {"コンフィグレジスタ",
                                      &Module1::Table::PciReadConfigReg,
                                      17,
                                      0,
                                      "コンフィグレジスタ読み込み失敗",
                                      "コンフィグレジスタ読み込み成功",
                                      0};
constexpr RegisterDump kModeDump = {"モードレジスタ",
                                    &Module1::Table::OrvelReadModeReg,
                                    16,
                                    1,
                                    "モードレジスタ読み込み失敗",
                                    "モードレジスタ読み込み成功",
                                    1};

}  // namespace

void Tavrinmain::readConfigRegs() { readRegisters(kConfigDump); }
void Tavrinmain::readModeRegs() { readRegisters(kModeDump); }

// The grid is redrawn, and the dump recorded as shown, only once every
// register was read: a failure leaves the previous drawing in place.
void Tavrinmain::readRegisters(const RegisterDump& dump)
{
    AppState& s = app();
    Label2->setText(dump.title);
    picDump2->setVisible(false);
    SSTab1->setTabCaption(1, std::string());
    SSTab1->setTabCaption(0, "レジスタ");
    const int32_t chip = chipNumber();
    for (int i = 0; i < dump.registers; ++i)
    {
        int32_t v = 0;
        if ((Module1::lib.*dump.read)(chip, 4 * i, &v) == 0)
        {
            setStatus(dump.failure);
            return;
        }
        storeBytes(std::span(s.regData).subspan(4 * i, 4), v);
    }
    drawRegisterGrid(picDump, dump.shortGrid);
    setStatus(dump.success);
    lbloffset->clear();
    lbldata->clear();
    s.dumpKind = dump.kind;
}

void Tavrinmain::readEeprom()
{
    AppState& s = app();
    Label2->setText("EEPROM");
    SSTab1->setTabsPerRow(2);
    picDump2->setVisible(true);
    SSTab1->setTabCaption(0, "EEPROM1");
    SSTab1->setTabCaption(1, "EEPROM2");
    const int32_t chip = chipNumber();
    for (int i = 0; i <= 63; ++i)
    {
        int32_t v = 0;
        if (Module1::lib.OrvelReadEep(chip, i, &v) == 0)
        {
            setStatus("EEPROM読み込み失敗");
            return;
        }
        if (i < 32)
            storeBytes(std::span(s.regData).subspan(2 * i, 2), v);
        else
            storeBytes(std::span(s.eepData).subspan(2 * (i - 32), 2), v);
    }
    drawEepromGrids(picDump, picDump2);
    setStatus("EEPROM読み込み成功");
    lbloffset->clear();
    lbldata->clear();
    s.dumpKind = 2;
}

// ---- Dump tabs and cursor --------------------------------------------------

namespace
{

constexpr uint32_t kCursorFill = 0x00FF00;

// The cursor arithmetic for the dump that is shown now.
DumpCursor shownCursor()
{
    const AppState& s = app();
    return DumpCursor{s.dumpKind, s.cellWidth, s.cellHeight};
}

// Paints the cursor cell white again and, when `reprint`, prints the row it
// covered once more.
void eraseCursor(ui::PictureBox* box, const std::array<std::string, 18>& rows, bool reprint)
{
    const AppState& s = app();
    const int width = shownCursor().boxCells();
    box->setForeColor(kWhite);
    box->FillBox(s.cursorX, s.cursorY, s.cursorX + width * s.cellWidth, s.cursorY + s.cellHeight, kWhite);
    if (!reprint)
        return;
    printAt(box, 3.0 * s.cellWidth, s.cursorY, rows[int(s.cursorY / s.cellHeight) - 1]);
}

}  // namespace

void Tavrinmain::SSTab1_Click(int previousTab)
{
    const AppState& s = app();
    if (s.firstCursor == 0)
    {
        if (previousTab == 0)
            eraseCursor(picDump, s.dumpRows, shownCursor().reprintsRowAt(s.cursorY));
        else
            eraseCursor(picDump2, s.dumpRows2, true);
    }
    lbloffset->clear();
    lbldata->clear();
}

void Tavrinmain::picDump_MouseDown(int, int, float x, float y) { moveDumpCursor(x, y, 0); }
void Tavrinmain::picDump2_MouseDown(int, int, float x, float y) { moveDumpCursor(x, y, 1); }

void Tavrinmain::picDump_KeyDown(int keyCode, int)
{
    if (const std::optional<TwipsPoint> to = shownCursor().arrowTarget(keyCode, app().cursorX, app().cursorY))
        moveDumpCursor(to->x, to->y, 0);
}

void Tavrinmain::picDump2_KeyDown(int keyCode, int)
{
    if (const std::optional<TwipsPoint> to = shownCursor().arrowTarget(keyCode, app().cursorX, app().cursorY))
        moveDumpCursor(to->x, to->y, 1);
}

void Tavrinmain::moveDumpCursor(float x, float y, int16_t which)
{
    AppState& s = app();
    const DumpCursor cursor = shownCursor();
    ui::PictureBox* box = which != 0 ? picDump2 : picDump;
    const bool eeprom = s.dumpKind == 2;
    const std::array<std::string, 18>& rows = (eeprom && which != 0) ? s.dumpRows2 : s.dumpRows;
    const int width = cursor.boxCells();

    if (s.firstCursor == 0)
        eraseCursor(box, rows, cursor.reprintsRowAt(s.cursorY));

    const GridCell cell = cursor.cellAt(x, y);
    const int row = cell.y;
    s.cursorX = float(cell.x * s.cellWidth);
    s.cursorY = float(row * s.cellHeight);

    box->setForeColor(kGreen);
    box->FillBox(s.cursorX, s.cursorY, s.cursorX + width * s.cellWidth, s.cursorY + s.cellHeight,
                 kCursorFill);
    printAt(box, 3.0 * s.cellWidth, s.cursorY, rows[row - 1]);

    s.editAddr = cursor.editAddress(cell, which != 0);
    if (!eeprom)
    {
        s.editData = s.regData[s.editAddr];
        lbloffset->setText(hexPad(s.editAddr, 2));
        lbldata->setText(hexPad(s.editData, 2));
    }
    else
    {
        const int word = s.editAddr;
        const int value = which != 0 ? s.eepData[2 * word + 1 - 64] * 256 + s.eepData[2 * word - 64]
                                     : s.regData[2 * word + 1] * 256 + s.regData[2 * word];
        s.editData = value;
        lbloffset->setText(hexPad(word, 2));
        lbldata->setText(hexPad(value, 4));
    }
    s.firstCursor = 0;
}

void Tavrinmain::picDump_DblClick()
{
    switch (app().dumpKind)
    {
        case 0:
            frmConWr::showModal(*this);
            break;
        case 1:
            frmModeWr::showModal(*this);
            break;
        case 2:
            frmEepWr::showModal(*this);
            break;
        default:
            break;
    }
}

void Tavrinmain::picDump2_DblClick()
{
    if (app().dumpKind == 2)
        frmEepWr::showModal(*this);
}

// ---- Board I/O panel -------------------------------------------------------

namespace
{

constexpr double kPortTextX = 500;
constexpr double kCounterTextX = 300;
constexpr double kReadoutTextY = 50;

// A good read is printed into its box; a failed one leaves the box as it was
// and only changes the status line. A white point moves the print position
// without showing on the white box.
void showRead(Tavrinmain& w, int16_t status, ui::PictureBox* box, double x, const std::string& text,
              const char* success, const char* failure)
{
    if (status == 0)
    {
        w.setStatus(failure);
        return;
    }
    printReadout(box, x, kReadoutTextY, text);
    w.setStatus(success);
}

// The pulse count in the box, when the box holds one: 0 to 65535 in digits.
// The key filter keeps letters out, but the box can still be emptied.
std::optional<uint16_t> pulseCountIn(const ui::TextBox* box)
{
    const std::string text = box->text();
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (text.empty() || !std::all_of(text.begin(), text.end(), isDigit))
        return std::nullopt;
    // Leading zeros may make the text long; the value is what counts.
    const std::size_t first = text.find_first_not_of('0');
    const std::string digits = first == std::string::npos ? "0" : text.substr(first);
    if (digits.size() > 5 || std::stoul(digits) > 65535)
        return std::nullopt;
    return uint16_t(std::stoul(digits));
}

// Tells the user the range and puts back the count the box had when it got the focus.
void rejectPulseCount(const ui::Form& window, ui::TextBox* box)
{
    ui::backend().messageBox({start::kTitle, "65535までの値を入力して下さい．", ui::Buttons::Ok,
                              ui::Icon::None, ui::Answer::None, &window});
    box->setText(std::to_string(app().pulseCount));
}

}  // namespace

void Tavrinmain::btnInpRd_Click()
{
    uint8_t value = 0;
    const int16_t status = Module1::lib.TavrinReadInport(chipNumber(), &value);
    showRead(*this, status, picInp, kPortTextX, hexPad(value, 2), "入力ポート読み込み成功",
             "入力ポート読み込み失敗");
}

void Tavrinmain::btnOutpRd_Click()
{
    uint8_t value = 0;
    const int16_t status = Module1::lib.TavrinReadOutport(chipNumber(), &value);
    // The write dialog starts from the last value known good.
    if (status != 0)
        app().outpValue = value;
    showRead(*this, status, picOutp, kPortTextX, hexPad(value, 2), "出力ポート読み込み成功",
             "出力ポート読み込み失敗");
}

void Tavrinmain::btnCntRd_Click()
{
    int32_t value = 0;
    const int16_t status = Module1::lib.CadmirReadCounter(chipNumber(), &value);
    showRead(*this, status, picCnt, kCounterTextX, hexPad(value, 6), "カウンタ値読み込み成功",
             "カウンタ値読み込み失敗");
}

void Tavrinmain::picOutp_DblClick() { frmOutpWr::showModal(*this); }

// The interrupt is unmasked whatever the open returned: the library masks it
// only on close and at exit, so a failed reopen must not leave a running
// interrupt masked.
void Tavrinmain::btnIntOpen_Click()
{
    AppState& s = app();
    const int32_t chip = chipNumber();
    // An emptied box has no count to open with; nothing goes to the board then.
    const std::optional<uint16_t> pulses = pulseCountIn(txtPls);
    if (!pulses)
    {
        rejectPulseCount(*form_, txtPls);
        return;
    }
    Module1::lib.TavrinInitCadmir(chip, 0, 0);
    const int16_t status = Module1::lib.TavrinOpenIntr(chip, *pulses);
    Module1::lib.TavrinUnmaskIntr();
    if (status == 0)
    {
        setStatus("割り込みオープン失敗");
        return;
    }
    s.intrHandle = chip;
    setStatus("割り込みオープン成功");
}

// Closes the chip whose interrupt was opened, not the one selected now; with
// none open the library is still asked, with 0, and its answer is shown.
void Tavrinmain::btnIntClose_Click()
{
    AppState& s = app();
    Module1::lib.TavrinMaskIntr();
    if (Module1::lib.TavrinCloseIntr(s.intrHandle) == 0)
    {
        setStatus("割り込みクローズ失敗");
        return;
    }
    setStatus("割り込みクローズ成功");
    s.intrHandle = 0;
}

// Only a count the box may be left with is remembered, so a rejected entry is
// always undone to a usable value.
void Tavrinmain::txtPls_GotFocus()
{
    if (const std::optional<uint16_t> count = pulseCountIn(txtPls))
        app().pulseCount = *count;
}

void Tavrinmain::txtPls_KeyPress(int& keyAscii)
{
    app().keyFilterBox = txtPls;
    numOnly::filterNumKey(keyAscii, 0);
}

void Tavrinmain::txtPls_LostFocus()
{
    if (!pulseCountIn(txtPls))
        rejectPulseCount(*form_, txtPls);
}

void Tavrinmain::btnIntSts_Click()
{
    if (app().intrHandle == 0)
        return;
    frmIntrStat status;
    status.showModal();
}

void Tavrinmain::btnEepInit_Click()
{
    // The chip is fixed before the question, so the answer applies to the chip
    // that was selected when the button was pressed.
    const int32_t chip = chipNumber();
    const ui::Answer answer =
        ui::backend().messageBox({start::kTitle, "EEPROMを初期化しても良いですか？", ui::Buttons::OkCancel,
                                  ui::Icon::None, ui::Answer::Ok, form_.get()});
    if (answer != ui::Answer::Ok)
        return;
    if (Module1::lib.TavrinInitEep(chip) == 0)
    {
        setStatus("EEPROM初期化失敗");
        return;
    }
    readEeprom();
    setStatus("EEPROM初期化成功");
}
