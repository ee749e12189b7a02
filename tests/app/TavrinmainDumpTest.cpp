#include "AppFixture.h"
#include "UiHelpers.h"

#include "Module2.h"

#include <functional>

namespace
{

constexpr unsigned kCursorGreen = 0x00FF00;

}  // namespace

// The three readers and what they leave on the window.
class Readers : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        for (int i = 0; i <= 16; ++i)
        {
            lib().config[1][4 * i] = 0x01010101 * (i + 1);
            lib().config[2][4 * i] = 0x10203000 + i;
        }
        for (int i = 0; i <= 15; ++i)
            lib().mode[2][4 * i] = 0x0A0B0C00 + i;
        for (int a = 0; a <= 63; ++a)
            lib().eep[2][a] = 0xB000 + a;
        w = &startProgram();
        clickChip(1);  // chip 2, configuration registers
        lib().calls.clear();
    }
    std::vector<int64_t> argsAt(const std::string& fn, size_t n, size_t arg) const
    {
        std::vector<int64_t> out;
        for (const LibCall& c : FakeLumbra::get().callsTo(fn))
            out.push_back(c.args.at(arg));
        (void)n;
        return out;
    }
    Tavrinmain* w = nullptr;
};

TEST_F(Readers, ConfigReadPassesChipAndEveryOffsetInOrder)
{
    driver::chooseMenu(w->menuR_Config);
    const auto calls = lib().callsTo("PciReadConfigReg");
    ASSERT_EQ(calls.size(), 17u);
    for (int i = 0; i <= 16; ++i)
    {
        EXPECT_EQ(calls[i].args, (std::vector<int64_t>{2, 4 * i}));
    }
    EXPECT_EQ(w->statusText(), std::string("コンフィグレジスタ読み込み成功"));
    EXPECT_EQ(app().dumpRows[16], std::string("10 20 30 10"));
}

TEST_F(Readers, ConfigReadFailingAtFirstRegisterChangesTitleButNotGridOrKind)
{
    driver::chooseMenu(w->menuR_Mode);
    ASSERT_EQ(app().dumpKind, 1);
    const ui::Picture before = w->picDump->picture();
    const auto rowsBefore = app().dumpRows;
    lib().failCall("PciReadConfigReg", 0);

    driver::chooseMenu(w->menuR_Config);

    EXPECT_EQ(w->statusText(), std::string("コンフィグレジスタ読み込み失敗"));
    EXPECT_EQ(w->Label2->text(), std::string("コンフィグレジスタ"));
    EXPECT_EQ(app().dumpKind, 1);
    EXPECT_EQ(app().dumpRows, rowsBefore);
    EXPECT_EQ(w->picDump->picture(), before);
    EXPECT_EQ(lib().count("PciReadConfigReg"), 1);
}

TEST_F(Readers, ConfigReadFailingAtRegisterFiveKeepsLaterBytesAndDrawsNothing)
{
    app().regData.fill(0xEE);
    w->lbloffset->setText(std::string("06"));
    const ui::Picture before = w->picDump->picture();
    lib().failCall("PciReadConfigReg", 5);

    driver::chooseMenu(w->menuR_Config);

    for (int b = 0; b < 20; ++b)
        EXPECT_EQ(app().regData[b], uint8_t((0x10203000 + b / 4) >> (8 * (b % 4)))) << "byte " << b;
    for (int b = 20; b < 68; ++b)
        EXPECT_EQ(app().regData[b], 0xEE) << "byte " << b;
    EXPECT_EQ(w->picDump->picture(), before);
    EXPECT_EQ(w->lbloffset->text(), std::string("06"));
    EXPECT_EQ(lib().count("PciReadConfigReg"), 6);
}

TEST_F(Readers, RegisterWithBitThirtyOneIsStoredAsItsBytePattern)
{
    lib().config[2][0] = int32_t(0x80000001u);
    driver::chooseMenu(w->menuR_Config);
    EXPECT_EQ(app().regData[0], 0x01);
    EXPECT_EQ(app().regData[1], 0x00);
    EXPECT_EQ(app().regData[2], 0x00);
    EXPECT_EQ(app().regData[3], 0x80);
    EXPECT_EQ(app().dumpRows[0], std::string("80 00 00 01"));
}

TEST_F(Readers, EepromReadUsesBothTabsAndConfigReadHandsThemBack)
{
    driver::chooseMenu(w->menuR_eep);
    const auto reads = lib().callsTo("OrvelReadEep");
    ASSERT_EQ(reads.size(), 64u);
    for (int a = 0; a <= 63; ++a)
        EXPECT_EQ(reads[a].args, (std::vector<int64_t>{2, a}));
    EXPECT_EQ(w->statusText(), std::string("EEPROM読み込み成功"));
    EXPECT_EQ(w->Label2->text(), std::string("EEPROM"));
    EXPECT_EQ(w->SSTab1->tabCaption(0), std::string("EEPROM1"));
    EXPECT_EQ(w->SSTab1->tabCaption(1), std::string("EEPROM2"));
    EXPECT_TRUE(driver::shownInItsPage(w->picDump2));
    EXPECT_EQ(app().dumpKind, 2);
    // Word 0x21 = 0xB021 at eepData bytes 2 and 3, shown on picDump2's first row.
    EXPECT_EQ(app().eepData[2], 0x21);
    EXPECT_EQ(app().eepData[3], 0xB0);
    EXPECT_EQ(app().dumpRows2[0], std::string("B0 21 B0 20"));
    EXPECT_EQ(app().dumpRows[15], std::string("B0 1F B0 1E"));

    driver::chooseMenu(w->menuR_Config);
    EXPECT_FALSE(driver::shownInItsPage(w->picDump2));
    EXPECT_EQ(w->SSTab1->tabCaption(0), std::string("レジスタ"));
    EXPECT_EQ(w->SSTab1->tabCaption(1), std::string());
    EXPECT_EQ(app().dumpKind, 0);
}

TEST_F(Readers, EepromReadFailingHalfwayLeavesTabsChangedAndKindAlone)
{
    lib().failCall("OrvelReadEep", 40);
    driver::chooseMenu(w->menuR_eep);
    EXPECT_EQ(w->statusText(), std::string("EEPROM読み込み失敗"));
    EXPECT_EQ(w->SSTab1->tabCaption(0), std::string("EEPROM1"));
    EXPECT_TRUE(driver::shownInItsPage(w->picDump2));
    EXPECT_EQ(app().dumpKind, 0);
    EXPECT_EQ(lib().count("OrvelReadEep"), 41);
}

TEST_F(Readers, ModeReadNamesItsDumpStopsAtOffset3CAndDrawsNoRow40)
{
    driver::chooseMenu(w->menuR_Mode);
    const auto calls = lib().callsTo("OrvelReadModeReg");
    ASSERT_EQ(calls.size(), 16u);
    EXPECT_EQ(calls.back().args, (std::vector<int64_t>{2, 0x3C}));
    const AppState& s = app();
    EXPECT_EQ(cellShare(w->picDump, 0, 17 * s.cellHeight, 14 * s.cellWidth, s.cellHeight, kWhite), 1.0);
    EXPECT_EQ(w->statusText(), std::string("モードレジスタ読み込み成功"));
    EXPECT_EQ(w->Label2->text(), std::string("モードレジスタ"));

    driver::chooseMenu(w->menuR_Config);
    lib().failCall("OrvelReadModeReg", lib().count("OrvelReadModeReg") + 3);
    driver::chooseMenu(w->menuR_Mode);
    EXPECT_EQ(w->statusText(), std::string("モードレジスタ読み込み失敗"));
    EXPECT_EQ(w->Label2->text(), std::string("モードレジスタ"));
    EXPECT_EQ(app().dumpKind, 0);
}

TEST_F(Readers, ListClickRepeatsTheLastReaderThatSucceeded)
{
    driver::chooseMenu(w->menuR_Mode);
    lib().calls.clear();
    clickChip(0);
    EXPECT_EQ(lib().count("OrvelReadModeReg"), 16);
    ASSERT_FALSE(lib().calls.empty());
    EXPECT_EQ(lib().calls.front().args.front(), 1);

    driver::chooseMenu(w->menuR_eep);  // succeeds for chip 1 too (the model answers 0s)
    lib().failCall("OrvelReadEep", lib().count("OrvelReadEep"));
    driver::chooseMenu(w->menuR_eep);  // fails: the EEPROM is still the last success
    lib().calls.clear();
    clickChip(1);
    EXPECT_EQ(lib().count("OrvelReadEep"), 64);
    EXPECT_EQ(lib().count("OrvelReadModeReg"), 0);
    ASSERT_FALSE(lib().calls.empty());
    EXPECT_EQ(lib().calls.front().args.front(), 2);
}

// Every way a user moves the list's selection picks a chip and reads it once;
// a click on the picked chip reads it again; nothing returns the list to
// "no chip" once one was picked.
TEST_F(Readers, EveryUserPickInTheListReadsThePickedChipOnce)
{
    using Act = std::function<void(const ui::ListBox*)>;
    const auto key = [](driver::Key k, unsigned m = driver::NoModifier) -> Act
    { return [k, m](const ui::ListBox* list) { driver::key(list, k, m); }; };
    const auto click = [](int row, unsigned m = driver::NoModifier) -> Act
    { return [=](const ui::ListBox* list) { clickRow(list, row, m); }; };
    const Act drag = [](const ui::ListBox* list)
    {
        const driver::TwipsPoint from = driver::rowCentre(list, 0), to = driver::rowCentre(list, 1);
        driver::press(list, from.x, from.y);
        driver::dragTo(list, to.x, to.y);
        driver::release(list, to.x, to.y);
    };
    struct Case
    {
        const char* what;
        int startRow;  // -1: nothing picked yet, the first entry current
        Act act;
        int chip;
        int reads;
    };
    const Case cases[] = {
        {"Down", 0, key(driver::Key::Down), 2, 17},
        {"Up", 1, key(driver::Key::Up), 1, 17},
        {"End", 0, key(driver::Key::End), 2, 17},
        {"Home", 1, key(driver::Key::Home), 1, 17},
        {"PageDown", 0, key(driver::Key::PageDown), 2, 17},
        {"PageUp", 1, key(driver::Key::PageUp), 1, 17},
        {"Space before any pick", -1, key(driver::Key::Space), 1, 17},
        {"drag from chip 1 to chip 2", 0, drag, 2, 17},
        {"click on another chip", 0, click(1), 2, 17},
        {"double-click on another chip", 0,
         [](const ui::ListBox* list)
         {
             const driver::TwipsPoint p = driver::rowCentre(list, 1);
             driver::doubleClick(list, p.x, p.y);
         },
         2, 17},
        {"click on the picked chip", 1, click(1), 2, 17},
        {"Ctrl+click on the picked chip", 1, click(1, driver::Ctrl), 2, 17},
        {"Ctrl+Space on the picked chip", 1, key(driver::Key::Space, driver::Ctrl), 2, 0},
        {"Down on the last chip", 1, key(driver::Key::Down), 2, 0},
        // After a pause: Space and typing add to the list's search text for a moment.
        {"typing 2", 0,
         [](const ui::ListBox* list)
         {
             driver::waitKeyboardSearchInterval();
             driver::key(list, driver::Key::Digit2);
         },
         2, 17},
    };
    for (const Case& c : cases)
    {
        const ui::ListBox* list = w->lstOrvel;
        if (c.startRow < 0)
        {
            driver::unpick(list);
        }
        else
        {
            clickChip(c.startRow);
        }
        app().regData.fill(0xEE);
        lib().calls.clear();

        c.act(list);

        EXPECT_EQ(w->chipNumber(), c.chip) << c.what;
        EXPECT_EQ(lib().count("PciReadConfigReg"), c.reads) << c.what;
        for (const LibCall& call : lib().calls)
            EXPECT_EQ(call.args.front(), c.chip) << c.what;
        if (c.reads > 0)
        {
            EXPECT_EQ(app().dumpRows[0],
                      c.chip == 1 ? std::string("01 01 01 01") : std::string("10 20 30 00"))
                << c.what;
        }
    }
}

TEST_F(Readers, FailedReaderIsNotRepeatedByTheList)
{
    driver::chooseMenu(w->menuR_Mode);
    lib().failCall("PciReadConfigReg", 0);
    driver::chooseMenu(w->menuR_Config);
    lib().calls.clear();
    clickChip(0);
    EXPECT_EQ(lib().count("OrvelReadModeReg"), 16);
    EXPECT_EQ(lib().count("PciReadConfigReg"), 0);
}

TEST_F(Readers, SuccessfulReadEmptiesTheReadout)
{
    w->lbloffset->setText(std::string("3E"));
    w->lbldata->setText(std::string("ABCD"));
    driver::chooseMenu(w->menuR_Config);
    EXPECT_TRUE(w->lbloffset->text().empty());
    EXPECT_TRUE(w->lbldata->text().empty());
}

TEST_F(Readers, ReaderWithNothingSelectedAsksForChipZero)
{
    driver::unpick(w->lstOrvel);
    driver::chooseMenu(w->menuR_Config);
    EXPECT_EQ(lib().callsTo("PciReadConfigReg").front().args.front(), 0);
}

// The dump cursor: mouse, arrows, tabs, and what is drawn.
class DumpCursor : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        for (int i = 0; i <= 16; ++i)
            lib().config[1][4 * i] = int32_t(0x03020100u + 0x04040404u * i);  // byte b holds b
        for (int i = 0; i <= 15; ++i)
            lib().mode[1][4 * i] = int32_t(0x83828180u + 0x04040404u * i);
        for (int a = 0; a <= 63; ++a)
            lib().eep[1][a] = 0x0100 * a + a;  // high byte = low byte = address
        lib().eep[1][0x3F] = 0x000A;
        w = &startProgram();
    }
    void read(int kind)
    {
        clickChip(0);
        if (kind == 1)
            driver::chooseMenu(w->menuR_Mode);
        if (kind == 2)
            driver::chooseMenu(w->menuR_eep);
        ASSERT_EQ(app().dumpKind, kind);
    }
    ui::PictureBox* box(int which) const { return which ? w->picDump2 : w->picDump; }
    void clickCell(int which, double col, double row)
    {
        const AppState& s = app();
        if (which)
            w->SSTab1->setCurrentTab(1);
        driver::click(box(which), (col + 0.5) * s.cellWidth, (row + 0.5) * s.cellHeight);
    }
    void key(int which, driver::Key k, unsigned m = driver::NoModifier) { driver::key(box(which), k, m); }
    int col() const { return int(app().cursorX / app().cellWidth); }
    int row() const { return int(app().cursorY / app().cellHeight); }
    bool greenAt(int which, int c, int r, int cells) const
    {
        const AppState& s = app();
        return cellShare(box(which), c * s.cellWidth + 2, r * s.cellHeight + 2, cells * s.cellWidth - 4,
                         s.cellHeight - 4, kCursorGreen) > 0.5;
    }
    bool blackAt(int which, int c, int r, int cells) const
    {
        const AppState& s = app();
        return cellHasColour(box(which), c * s.cellWidth, r * s.cellHeight, cells * s.cellWidth, s.cellHeight,
                             kBlack);
    }
    bool anyGreen(int which) const
    {
        PictureBox* b = box(which);
        return cellHasColour(b, 0, 0, b->pixelWidth() * b->twipsPerPixelX(),
                             b->pixelHeight() * b->twipsPerPixelY(), kCursorGreen);
    }
    Tavrinmain* w = nullptr;
};

TEST_F(DumpCursor, ClickInRowTwoColumnSevenSnapsToByteSix)
{
    read(0);
    clickCell(0, 7, 2);
    EXPECT_EQ(col(), 6);
    EXPECT_EQ(row(), 2);
    EXPECT_EQ(app().editAddr, 6);
    EXPECT_EQ(app().editData, 6);
    EXPECT_EQ(w->lbloffset->text(), std::string("06"));
    EXPECT_EQ(w->lbldata->text(), std::string("06"));
    EXPECT_EQ(app().firstCursor, 0);
}

TEST_F(DumpCursor, CursorIsAGreenCellWithBlackDigitsAndEraseRestoresWhite)
{
    read(0);
    clickCell(0, 7, 2);
    EXPECT_TRUE(greenAt(0, 6, 2, 2));
    EXPECT_TRUE(blackAt(0, 6, 2, 2));
    EXPECT_FALSE(greenAt(0, 3, 2, 2));

    clickCell(0, 3, 5);
    EXPECT_FALSE(greenAt(0, 6, 2, 2));
    EXPECT_TRUE(blackAt(0, 6, 2, 2)) << "the row is printed again after the erase";
    EXPECT_TRUE(greenAt(0, 3, 5, 2));
    saveShot(w->form(), "main-config-cursor");
}

TEST_F(DumpCursor, ArrowKeysStopAtEveryEdgeWithoutWrapping)
{
    read(0);
    clickCell(0, 3, 1);
    key(0, driver::Key::Left);
    EXPECT_EQ(col(), 3);
    key(0, driver::Key::Up);
    EXPECT_EQ(row(), 1);
    for (int i = 0; i < 5; ++i)
        key(0, driver::Key::Right);
    EXPECT_EQ(col(), 12);
    EXPECT_EQ(row(), 1);
    key(0, driver::Key::Left);
    EXPECT_EQ(col(), 9) << "Left steps one whole cursor column";
    for (int i = 0; i < 20; ++i)
        key(0, driver::Key::Down);
    EXPECT_EQ(row(), 17);
    EXPECT_EQ(col(), 9);
    key(0, driver::Key::Down, driver::Shift);
    EXPECT_EQ(row(), 17);
    key(0, driver::Key::Up, driver::Shift);
    EXPECT_EQ(row(), 16) << "the shift state is ignored";
}

TEST_F(DumpCursor, OtherKeysDoNothing)
{
    read(0);
    clickCell(0, 6, 3);
    key(0, driver::Key::Home);
    key(0, driver::Key::A);
    key(0, driver::Key::Return);
    EXPECT_EQ(col(), 6);
    EXPECT_EQ(row(), 3);
}

TEST_F(DumpCursor, RightInTheEepromDumpJumpsToTheEvenWordAndLeftBack)
{
    read(2);
    clickCell(0, 3, 2);
    EXPECT_EQ(app().editAddr, 3);
    EXPECT_EQ(w->lbldata->text(), std::string("0303"));
    key(0, driver::Key::Right);
    EXPECT_EQ(col(), 9);
    EXPECT_EQ(app().editAddr, 2);
    EXPECT_TRUE(greenAt(0, 9, 2, 5));
    key(0, driver::Key::Right);
    EXPECT_EQ(col(), 9);
    key(0, driver::Key::Left);
    EXPECT_EQ(col(), 3);
    EXPECT_EQ(app().editAddr, 3);
}

TEST_F(DumpCursor, EepromWordsOnTheSecondTabCountFrom32)
{
    read(2);
    clickCell(1, 10, 16);  // snaps to column 9: word 62
    EXPECT_EQ(app().editAddr, 62);
    EXPECT_EQ(w->lbloffset->text(), std::string("3E"));
    EXPECT_EQ(app().editData, app().eepData[61] * 256 + app().eepData[60]);
    EXPECT_EQ(w->lbldata->text(), std::string("3E3E"));
    EXPECT_TRUE(greenAt(1, 9, 16, 5));

    clickCell(1, 3, 16);
    EXPECT_EQ(app().editAddr, 0x3F);
    EXPECT_EQ(app().editData, app().eepData[63] * 256 + app().eepData[62]);
    EXPECT_EQ(w->lbldata->text(), std::string("000A"));
    saveShot(w->form(), "main-eeprom-cursor");
}

TEST_F(DumpCursor, FirstArrowBeforeAnyClickLandsOnRowOneColumnThree)
{
    read(0);
    for (driver::Key k : {driver::Key::Left, driver::Key::Up, driver::Key::Right, driver::Key::Down})
    {
        start::resetForTest();
        FakeLumbra::get().install();
        for (int i = 0; i <= 16; ++i)
            lib().config[1][4 * i] = int32_t(0x03020100u + 0x04040404u * i);
        w = &startProgram();
        read(0);
        ASSERT_EQ(app().firstCursor, -1);
        w->picDump->setFocus();
        key(0, k);
        EXPECT_EQ(col(), 3) << "key " << int(k);
        EXPECT_EQ(row(), 1) << "key " << int(k);
        EXPECT_EQ(app().editAddr, 3);
        EXPECT_TRUE(greenAt(0, 3, 1, 2));
    }
}

TEST_F(DumpCursor, TabChangeBeforeAnyCursorOnlyBlanksTheLabels)
{
    read(2);
    w->lbloffset->setText(std::string("xx"));
    w->lbldata->setText(std::string("yy"));
    const ui::Picture before = w->picDump->picture();
    w->SSTab1->setCurrentTab(1);
    EXPECT_TRUE(w->lbloffset->text().empty());
    EXPECT_TRUE(w->lbldata->text().empty());
    EXPECT_EQ(w->picDump->picture(), before);
}

TEST_F(DumpCursor, TabChangeErasesTheCursorFromTheTabThatWasLeft)
{
    read(2);
    clickCell(0, 9, 4);
    ASSERT_TRUE(anyGreen(0));
    const int x = col(), y = row();
    w->SSTab1->setCurrentTab(1);
    EXPECT_FALSE(anyGreen(0));
    EXPECT_TRUE(blackAt(0, 9, 4, 5));
    EXPECT_TRUE(w->lbloffset->text().empty());
    EXPECT_EQ(col(), x);
    EXPECT_EQ(row(), y);

    clickCell(1, 3, 2);
    EXPECT_TRUE(anyGreen(1));
    w->SSTab1->setCurrentTab(0);
    EXPECT_FALSE(anyGreen(1));
}

TEST_F(DumpCursor, ModeReadAfterRowSeventeenCursorDoesNotPrintAStaleRow)
{
    read(0);
    clickCell(0, 3, 17);
    read(1);
    const AppState& s = app();
    clickCell(0, 3, 1);
    EXPECT_EQ(cellShare(w->picDump, 0, 17 * s.cellHeight, 14 * s.cellWidth, s.cellHeight, kWhite), 1.0);
}
