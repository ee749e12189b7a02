#include "Tavrinmain.h"

#include "DumpCursor.h"
#include "FormLayout.h"
#include "Module2.h"
#include "PictureBox.h"
#include "RegisterBytes.h"
#include "SSTab.h"
#include "devctl/Module1.h"
#include "frmConWr.h"
#include "frmEepWr.h"
#include "frmIntrStat.h"
#include "frmModeWr.h"
#include "frmOutpWr.h"
#include "numOnly.h"
#include "start.h"
#include "version.h"

#include <QCloseEvent>
#include <QPointF>
#include <algorithm>
#include <optional>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

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
{
    setWindowTitle(QStringLiteral("Tavrin"));
    auto* client = new QWidget(this);
    setCentralWidget(client);
    setClientSizeTwips(client, kClientWidth, kClientHeight);

    const FormControls c(client, kControls);
    Label1 = c.get<QLabel>("Label1");
    lstOrvel = c.get<ListBox>("lstOrvel");
    Picture1 = c.get<QWidget>("Picture1");
    Label3 = c.get<QLabel>("Label3");
    lbloffset = c.get<QLabel>("lbloffset");
    Label4 = c.get<QLabel>("Label4");
    lbldata = c.get<QLabel>("lbldata");
    Frame1 = c.get<QGroupBox>("Frame1");
    picInp = c.get<PictureBox>("picInp");
    btnInpRd = c.get<QPushButton>("btnInpRd");
    Frame2 = c.get<QGroupBox>("Frame2");
    picOutp = c.get<PictureBox>("picOutp");
    btnOutpRd = c.get<QPushButton>("btnOutpRd");
    Label2 = c.get<QLabel>("Label2");
    SSTab1 = c.get<SSTab>("SSTab1");
    picDump = c.get<PictureBox>("picDump");
    picDump2 = c.get<PictureBox>("picDump2");
    Frame3 = c.get<QGroupBox>("Frame3");
    picCnt = c.get<PictureBox>("picCnt");
    btnCntRd = c.get<QPushButton>("btnCntRd");
    Frame4 = c.get<QGroupBox>("Frame4");
    btnIntOpen = c.get<QPushButton>("btnIntOpen");
    btnIntClose = c.get<QPushButton>("btnIntClose");
    btnIntSts = c.get<QPushButton>("btnIntSts");
    Label5 = c.get<QLabel>("Label5");
    txtPls = c.get<QLineEdit>("txtPls");
    btnEepInit = c.get<QPushButton>("btnEepInit");
    btnEnd = c.get<QPushButton>("btnEnd");
    StatusBar1 = c.get<QStatusBar>("StatusBar1");
    statusPanel_ = StatusBar1->findChild<QLabel*>(QStringLiteral("panel1"));

    SSTab1->setTabCaption(0, QStringLiteral("レジスタ"));
    SSTab1->setTabCaption(1, QStringLiteral("Tab 1"));

    buildMenus();
    wire();
    adjustSize();
    setFixedSize(sizeHint());
    Form_Load();
}

void Tavrinmain::buildMenus()
{
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("ファイル(&F)"));
    menuFile = file->menuAction();
    menuF_End = file->addAction(QStringLiteral("終了(&X)"));
    // "編集" has no items: a bare menu-bar entry that opens and runs nothing.
    menuEdit = bar->addAction(QStringLiteral("編集(&E)"));
    QMenu* read = bar->addMenu(QStringLiteral("読み込み(&R)"));
    menuRead = read->menuAction();
    menuR_Config = read->addAction(QStringLiteral("コンフィグレジスタ(&C)"));
    menuR_Mode = read->addAction(QStringLiteral("モードレジスタ(&M)"));
    menuR_eep = read->addAction(QStringLiteral("EEPROM(&E)"));
    QMenu* help = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    menuHelp = help->menuAction();
    menuH_Ver = help->addAction(QStringLiteral("バージョン情報(&A)"));
}

// Every connection of the window, each forwarding to its named handler.
void Tavrinmain::wire()
{
    connect(lstOrvel, &ListBox::click, this, [this] { lstOrvel_Click(); });
    connect(menuR_Config, &QAction::triggered, this, [this] { menuR_Config_Click(); });
    connect(menuR_Mode, &QAction::triggered, this, [this] { menuR_Mode_Click(); });
    connect(menuR_eep, &QAction::triggered, this, [this] { menuR_eep_Click(); });
    connect(menuH_Ver, &QAction::triggered, this, [this] { menuH_Ver_Click(); });
    connect(menuF_End, &QAction::triggered, this, [this] { menuF_End_Click(); });
    connect(btnEnd, &QPushButton::clicked, this, [this] { btnEnd_Click(); });

    connect(SSTab1, &SSTab::tabClicked, this, [this](int previous) { SSTab1_Click(previous); });
    connect(picDump, &PictureBox::mouseDown, this,
            [this](int b, int sh, float x, float y) { picDump_MouseDown(b, sh, x, y); });
    connect(picDump2, &PictureBox::mouseDown, this,
            [this](int b, int sh, float x, float y) { picDump2_MouseDown(b, sh, x, y); });
    connect(picDump, &PictureBox::keyDown, this, [this](int k, int sh) { picDump_KeyDown(k, sh); });
    connect(picDump2, &PictureBox::keyDown, this, [this](int k, int sh) { picDump2_KeyDown(k, sh); });
    connect(picDump, &PictureBox::dblClick, this, [this] { picDump_DblClick(); });
    connect(picDump2, &PictureBox::dblClick, this, [this] { picDump2_DblClick(); });

    connect(btnInpRd, &QPushButton::clicked, this, [this] { btnInpRd_Click(); });
    connect(btnOutpRd, &QPushButton::clicked, this, [this] { btnOutpRd_Click(); });
    connect(btnCntRd, &QPushButton::clicked, this, [this] { btnCntRd_Click(); });
    connect(picOutp, &PictureBox::dblClick, this, [this] { picOutp_DblClick(); });
    connect(btnIntOpen, &QPushButton::clicked, this, [this] { btnIntOpen_Click(); });
    connect(btnIntClose, &QPushButton::clicked, this, [this] { btnIntClose_Click(); });
    connect(btnIntSts, &QPushButton::clicked, this, [this] { btnIntSts_Click(); });
    connect(btnEepInit, &QPushButton::clicked, this, [this] { btnEepInit_Click(); });

    auto* pulseBox = new numOnly::NumBoxEvents(txtPls);
    connect(pulseBox, &numOnly::NumBoxEvents::gotFocus, this, [this] { txtPls_GotFocus(); });
    connect(pulseBox, &numOnly::NumBoxEvents::lostFocus, this, [this] { txtPls_LostFocus(); });
    connect(pulseBox, &numOnly::NumBoxEvents::keyPress, this, [this](int& k) { txtPls_KeyPress(k); });
}

void Tavrinmain::setStatus(const QString& text) { statusPanel_->setText(text); }
QString Tavrinmain::statusText() const { return statusPanel_->text(); }

// The list's current row follows the keyboard focus even with nothing
// selected, so the chip comes from the selection alone.
int32_t Tavrinmain::chipNumber() const
{
    const QList<QListWidgetItem*> selected = lstOrvel->selectedItems();
    return selected.isEmpty() ? 0 : lstOrvel->row(selected.first()) + 1;
}

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
    version about(this);
    about.exec();
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
void Tavrinmain::closeEvent(QCloseEvent* e)
{
    if (!ending_)
        exitSequence();
    e->accept();
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
    Label2->setText(QString::fromUtf8(dump.title));
    picDump2->setVisible(false);
    SSTab1->setTabCaption(1, QString());
    SSTab1->setTabCaption(0, QStringLiteral("レジスタ"));
    const int32_t chip = chipNumber();
    for (int i = 0; i < dump.registers; ++i)
    {
        int32_t v = 0;
        if ((Module1::lib.*dump.read)(chip, 4 * i, &v) == 0)
        {
            setStatus(QString::fromUtf8(dump.failure));
            return;
        }
        storeBytes(std::span(s.regData).subspan(4 * i, 4), v);
    }
    drawRegisterGrid(picDump, dump.shortGrid);
    setStatus(QString::fromUtf8(dump.success));
    lbloffset->clear();
    lbldata->clear();
    s.dumpKind = dump.kind;
}

void Tavrinmain::readEeprom()
{
    AppState& s = app();
    Label2->setText(QStringLiteral("EEPROM"));
    SSTab1->setTabsPerRow(2);
    picDump2->setVisible(true);
    SSTab1->setTabCaption(0, QStringLiteral("EEPROM1"));
    SSTab1->setTabCaption(1, QStringLiteral("EEPROM2"));
    const int32_t chip = chipNumber();
    for (int i = 0; i <= 63; ++i)
    {
        int32_t v = 0;
        if (Module1::lib.OrvelReadEep(chip, i, &v) == 0)
        {
            setStatus(QStringLiteral("EEPROM読み込み失敗"));
            return;
        }
        if (i < 32)
            storeBytes(std::span(s.regData).subspan(2 * i, 2), v);
        else
            storeBytes(std::span(s.eepData).subspan(2 * (i - 32), 2), v);
    }
    drawEepromGrids(picDump, picDump2);
    setStatus(QStringLiteral("EEPROM読み込み成功"));
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
void eraseCursor(PictureBox* box, const std::array<QString, 18>& rows, bool reprint)
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
    if (const std::optional<QPointF> to = shownCursor().arrowTarget(keyCode, app().cursorX, app().cursorY))
        moveDumpCursor(float(to->x()), float(to->y()), 0);
}

void Tavrinmain::picDump2_KeyDown(int keyCode, int)
{
    if (const std::optional<QPointF> to = shownCursor().arrowTarget(keyCode, app().cursorX, app().cursorY))
        moveDumpCursor(float(to->x()), float(to->y()), 1);
}

void Tavrinmain::moveDumpCursor(float x, float y, int16_t which)
{
    AppState& s = app();
    const DumpCursor cursor = shownCursor();
    PictureBox* box = which != 0 ? picDump2 : picDump;
    const bool eeprom = s.dumpKind == 2;
    const std::array<QString, 18>& rows = (eeprom && which != 0) ? s.dumpRows2 : s.dumpRows;
    const int width = cursor.boxCells();

    if (s.firstCursor == 0)
        eraseCursor(box, rows, cursor.reprintsRowAt(s.cursorY));

    const QPoint cell = cursor.cellAt(x, y);
    const int row = cell.y();
    s.cursorX = float(cell.x() * s.cellWidth);
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
void showRead(Tavrinmain& w, int16_t status, PictureBox* box, double x, const QString& text,
              const QString& success, const QString& failure)
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
std::optional<uint16_t> pulseCountIn(const QLineEdit* box)
{
    const QString text = box->text();
    const auto isDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), isDigit))
        return std::nullopt;
    const double value = text.toDouble();
    if (value > 65535)
        return std::nullopt;
    return uint16_t(value);
}

// Tells the user the range and puts back the count the box had when it got the focus.
void rejectPulseCount(QLineEdit* box)
{
    QMessageBox message(QMessageBox::NoIcon, start::kTitle, QStringLiteral("65535までの値を入力して下さい．"),
                        QMessageBox::Ok, box->window());
    message.exec();
    box->setText(QString::number(app().pulseCount));
}

}  // namespace

void Tavrinmain::btnInpRd_Click()
{
    uint8_t value = 0;
    const int16_t status = Module1::lib.TavrinReadInport(chipNumber(), &value);
    showRead(*this, status, picInp, kPortTextX, hexPad(value, 2), QStringLiteral("入力ポート読み込み成功"),
             QStringLiteral("入力ポート読み込み失敗"));
}

void Tavrinmain::btnOutpRd_Click()
{
    uint8_t value = 0;
    const int16_t status = Module1::lib.TavrinReadOutport(chipNumber(), &value);
    // The write dialog starts from the last value known good.
    if (status != 0)
        app().outpValue = value;
    showRead(*this, status, picOutp, kPortTextX, hexPad(value, 2), QStringLiteral("出力ポート読み込み成功"),
             QStringLiteral("出力ポート読み込み失敗"));
}

void Tavrinmain::btnCntRd_Click()
{
    int32_t value = 0;
    const int16_t status = Module1::lib.CadmirReadCounter(chipNumber(), &value);
    showRead(*this, status, picCnt, kCounterTextX, hexPad(value, 6), QStringLiteral("カウンタ値読み込み成功"),
             QStringLiteral("カウンタ値読み込み失敗"));
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
        rejectPulseCount(txtPls);
        return;
    }
    Module1::lib.TavrinInitCadmir(chip, 0, 0);
    const int16_t status = Module1::lib.TavrinOpenIntr(chip, *pulses);
    Module1::lib.TavrinUnmaskIntr();
    if (status == 0)
    {
        setStatus(QStringLiteral("割り込みオープン失敗"));
        return;
    }
    s.intrHandle = chip;
    setStatus(QStringLiteral("割り込みオープン成功"));
}

// Closes the chip whose interrupt was opened, not the one selected now; with
// none open the library is still asked, with 0, and its answer is shown.
void Tavrinmain::btnIntClose_Click()
{
    AppState& s = app();
    Module1::lib.TavrinMaskIntr();
    if (Module1::lib.TavrinCloseIntr(s.intrHandle) == 0)
    {
        setStatus(QStringLiteral("割り込みクローズ失敗"));
        return;
    }
    setStatus(QStringLiteral("割り込みクローズ成功"));
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
        rejectPulseCount(txtPls);
}

void Tavrinmain::btnIntSts_Click()
{
    if (app().intrHandle == 0)
        return;
    frmIntrStat status;
    status.exec();
}

void Tavrinmain::btnEepInit_Click()
{
    // The chip is fixed before the question, so the answer applies to the chip
    // that was selected when the button was pressed.
    const int32_t chip = chipNumber();
    QMessageBox ask(QMessageBox::NoIcon, start::kTitle, QStringLiteral("EEPROMを初期化しても良いですか？"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    ask.setDefaultButton(QMessageBox::Ok);
    if (ask.exec() != QMessageBox::Ok)
        return;
    if (Module1::lib.TavrinInitEep(chip) == 0)
    {
        setStatus(QStringLiteral("EEPROM初期化失敗"));
        return;
    }
    readEeprom();
    setStatus(QStringLiteral("EEPROM初期化成功"));
}
