#include "WriteDialogTesting.h"
#include "frmEepWr.h"

using Calls = std::vector<LibCall>;

namespace
{

constexpr double kOrigin = 200;  // the word field's text origin

}  // namespace

// Chip 2's EEPROM dump: word a holds 0x0101 * a, word 5 holds 0x00A3.
class EepromWrite : public WriteDialogFixture
{
protected:
    Tavrinmain& startOnEepromDump()
    {
        for (int a = 0; a <= 63; ++a)
            lib().eep[2][a] = 0x0101 * a;
        lib().eep[2][5] = 0x00A3;
        lib().eep[2][6] = 0x0FA3;
        Tavrinmain& w = startProgram();
        clickChip(1);
        driver::chooseMenu(w.menuR_eep);
        EXPECT_EQ(app().dumpKind, 2);
        return w;
    }

    // Clicks the tab of words 20-3F.
    static void showSecondHalf()
    {
        driver::clickTab(Tavrinmain::instance().SSTab1, 1);
        EXPECT_EQ(Tavrinmain::instance().SSTab1->currentTab(), 1);
    }

    // Opens the dialog on `word` and runs `keys` in it, closing it afterwards
    // unless the keys pressed a button.
    void onWord(int word, std::function<void(frmEepWr&)> keys)
    {
        whenOpen<frmEepWr>(keys);
        doubleClickWord(word);
        EXPECT_TRUE(opened());
    }
};

TEST_F(EepromWrite, OpensOnTheCursorWordWithTwoAddressAndFourDataDigitsAndNoBox)
{
    startOnEepromDump();
    onWord(5,
           [](frmEepWr& f)
           {
               EXPECT_EQ(f.form().caption(), std::string("EEPROM書き込み"));
               EXPECT_TRUE(shows(f.picAdr, 300, std::string("05"), 0));
               EXPECT_TRUE(shows(f.picData, kOrigin, std::string("00A3"), 0));
               EXPECT_EQ(driver::focused(f.form()), f.picAdr);
               EXPECT_EQ(driver::geometry(f.btnCansel),
                         (driver::Rect{driver::px(f.form(), 2640), driver::px(f.form(), 720),
                                       driver::px(f.form(), 1095), driver::px(f.form(), 375)}));
               EXPECT_EQ(tabStops(f.form(), 4), (std::vector<const ui::Control*>{
                                                    f.picAdr, f.picData, f.btnWrite, f.btnCansel, f.picAdr}));
           });
}

TEST_F(EepromWrite, KeysBeforeAClickChangeNothing)
{
    startOnEepromDump();
    onWord(
        5,
        [](frmEepWr& f)
        {
            const ui::Picture before = f.picData->picture();
            driver::type(f.picData, std::string("5f"));
            for (driver::Key k : {driver::Key::Up, driver::Key::Down, driver::Key::Left, driver::Key::Right})
                driver::key(f.picData, k);
            EXPECT_EQ(f.picData->picture(), before);
            driver::click(f.btnWrite);
        });
    EXPECT_EQ(lib().callsTo("OrvelWriteEep"), (Calls{{"OrvelWriteEep", {2, 5, 0x00A3}}}));
}

TEST_F(EepromWrite, ClicksOutsideTheDigitsSelectTheNearestEnd)
{
    startOnEepromDump();
    onWord(5,
           [](frmEepWr& f)
           {
               clickTwips(f.picData, 20, 150);
               EXPECT_TRUE(shows(f.picData, kOrigin, std::string("00A3"), 1));
               clickTwips(f.picData, 820, 450, driver::Button::Right);
               EXPECT_TRUE(shows(f.picData, kOrigin, std::string("00A3"), 4));
               clickDigit(f.picData, kOrigin, 3);
               EXPECT_TRUE(shows(f.picData, kOrigin, std::string("00A3"), 3));
           });
}

TEST_F(EepromWrite, EachKeyMovesRightAndTheLastDigitTakesEveryFurtherKey)
{
    startOnEepromDump();
    onWord(5,
           [](frmEepWr& f)
           {
               clickDigit(f.picData, kOrigin, 1);
               driver::keyChar(f.picData, 'f');
               EXPECT_TRUE(shows(f.picData, kOrigin, std::string("F0A3"), 2));
               driver::type(f.picData, std::string("123"));
               EXPECT_TRUE(shows(f.picData, kOrigin, std::string("F123"), 4));
               driver::keyChar(f.picData, '9');
               EXPECT_TRUE(shows(f.picData, kOrigin, std::string("F129"), 4));
               driver::click(f.btnWrite);
           });
    // 0xF129 as the word it is, not as a negative 16-bit number.
    EXPECT_EQ(lib().callsTo("OrvelWriteEep"), (Calls{{"OrvelWriteEep", {2, 5, 0xF129}}}));
}

TEST_F(EepromWrite, UpperCaseHexIsIgnored)
{
    startOnEepromDump();
    onWord(5,
           [](frmEepWr& f)
           {
               clickDigit(f.picData, kOrigin, 2);
               const ui::Picture before = f.picData->picture();
               driver::type(f.picData, std::string("ABCDEFG"));
               EXPECT_EQ(f.picData->picture(), before);
               driver::keyChar(f.picData, 'e');
               EXPECT_TRUE(shows(f.picData, kOrigin, std::string("0EA3"), 3));
           });
}

TEST_F(EepromWrite, StepsWrapWithinTheDigitWithoutCarryOrBorrow)
{
    startOnEepromDump();
    onWord(6,
           [](frmEepWr& f)
           {
               clickDigit(f.picData, kOrigin, 2);
               driver::key(f.picData, driver::Key::Up);
               EXPECT_TRUE(shows(f.picData, kOrigin, std::string("00A3"), 2));
               driver::key(f.picData, driver::Key::Left);
               driver::key(f.picData, driver::Key::Down);
               EXPECT_TRUE(shows(f.picData, kOrigin, std::string("F0A3"), 1));
               driver::key(f.picData, driver::Key::Right);
               driver::key(f.picData, driver::Key::Right);
               driver::key(f.picData, driver::Key::Right);
               driver::key(f.picData, driver::Key::Up);
               EXPECT_TRUE(shows(f.picData, kOrigin, std::string("F0A4"), 4));
           });
}

TEST_F(EepromWrite, LeftOnTheFirstDigitAndRightOnTheLastStay)
{
    startOnEepromDump();
    onWord(5,
           [](frmEepWr& f)
           {
               clickDigit(f.picData, kOrigin, 1);
               driver::key(f.picData, driver::Key::Left);
               EXPECT_TRUE(shows(f.picData, kOrigin, std::string("00A3"), 1));
               clickDigit(f.picData, kOrigin, 4);
               driver::key(f.picData, driver::Key::Right);
               EXPECT_TRUE(shows(f.picData, kOrigin, std::string("00A3"), 4));
           });
}

TEST_F(EepromWrite, WriteReReadsAllSixtyFourWordsIntoBothHalves)
{
    Tavrinmain& w = startOnEepromDump();
    // Changed behind the dump's back: the first and last word of each half.
    lib().eep[2][0x00] = 0x0BAD;
    lib().eep[2][0x1F] = 0xF00D;
    lib().eep[2][0x20] = 0x1F20;
    lib().eep[2][0x3F] = 0xBEEF;
    showSecondHalf();
    onWord(0x21,
           [](frmEepWr& f)
           {
               clickDigit(f.picData, kOrigin, 1);
               driver::type(f.picData, std::string("c0de"));
               driver::click(f.btnWrite);
           });
    EXPECT_EQ(lib().callsTo("OrvelWriteEep"), (Calls{{"OrvelWriteEep", {2, 0x21, 0xC0DE}}}));
    const auto reads = lib().callsTo("OrvelReadEep");
    ASSERT_EQ(reads.size(), 128u);
    for (int a = 0; a <= 63; ++a)
        EXPECT_EQ(reads[64 + a], (LibCall{"OrvelReadEep", {2, a}}));
    EXPECT_EQ(app().eepData[2], 0xDE);
    EXPECT_EQ(app().eepData[3], 0xC0);
    EXPECT_EQ(app().dumpRows[0], std::string("01 01 0B AD"));
    EXPECT_EQ(app().dumpRows[2], std::string("00 A3 04 04"));
    EXPECT_EQ(app().dumpRows[15], std::string("F0 0D 1E 1E"));
    EXPECT_EQ(app().dumpRows2[0], std::string("C0 DE 1F 20"));
    EXPECT_EQ(app().dumpRows2[15], std::string("BE EF 3E 3E"));
    EXPECT_EQ(w.statusText(), std::string("EEPROM読み込み成功"));
    EXPECT_TRUE(w.lbloffset->text().empty());
    EXPECT_TRUE(w.lbldata->text().empty());
    EXPECT_TRUE(dialogIsGone());
}

TEST_F(EepromWrite, EarlierReReadFailureIsNotCoveredBySuccessAndKeepsThatWord)
{
    Tavrinmain& w = startOnEepromDump();
    lib().failWhere("OrvelReadEep", [](const LibCall& c) { return c.args.at(1) == 10; });
    lib().outOnFailure("OrvelReadEep", 0x7E7E);
    lib().eep[2][10] = 0x1234;
    onWord(5, [](frmEepWr& f) { driver::click(f.btnWrite); });
    EXPECT_EQ(app().regData[20], 0x0A);
    EXPECT_EQ(app().regData[21], 0x0A);
    EXPECT_EQ(lib().count("OrvelReadEep"), 64 + 64);
    EXPECT_EQ(w.statusText(), std::string("EEPROM読み込み失敗"));
}

TEST_F(EepromWrite, FailedWriteIsReportedAsAFailure)
{
    Tavrinmain& w = startOnEepromDump();
    lib().setStatus("OrvelWriteEep", 0);
    onWord(5, [](frmEepWr& f) { driver::click(f.btnWrite); });
    EXPECT_EQ(w.statusText(), std::string("EEPROM書き込み失敗"));
    EXPECT_EQ(lib().count("OrvelReadEep"), 64 + 64);
    EXPECT_TRUE(dialogIsGone());
}

TEST_F(EepromWrite, CancelLeavesTheEepromTheDumpAndTheStatusAlone)
{
    Tavrinmain& w = startOnEepromDump();
    driver::click(w.picDump, 3.5 * app().cellWidth, 3.5 * app().cellHeight);
    const size_t calls = lib().calls.size();
    const ui::Picture dump = w.picDump->picture();
    const ui::Picture dump2 = w.picDump2->picture();
    const auto regData = app().regData;
    const auto eepData = app().eepData;
    onWord(5,
           [](frmEepWr& f)
           {
               clickDigit(f.picData, kOrigin, 1);
               driver::type(f.picData, std::string("ffff"));
               driver::click(f.btnCansel);
           });
    EXPECT_EQ(lib().calls.size(), calls);
    EXPECT_EQ(w.picDump->picture(), dump);
    EXPECT_EQ(w.picDump2->picture(), dump2);
    EXPECT_EQ(app().regData, regData);
    EXPECT_EQ(app().eepData, eepData);
    EXPECT_EQ(w.statusText(), std::string("EEPROM読み込み成功"));
    EXPECT_EQ(w.lbldata->text(), std::string("00A3"));
}

TEST_F(EepromWrite, SecondHalfOpensFromItsOwnBox)
{
    startOnEepromDump();
    showSecondHalf();
    onWord(0x3E,
           [](frmEepWr& f)
           {
               EXPECT_TRUE(shows(f.picAdr, 300, std::string("3E"), 0));
               EXPECT_TRUE(shows(f.picData, kOrigin, std::string("3E3E"), 0));
               driver::closeBox(f.form());
           });
}

class EepromLaunch : public WriteDialogFixture
{
};

TEST_F(EepromLaunch, SecondBoxOpensNothingOutsideTheEepromDump)
{
    startProgram();
    clickChip(1);
    ASSERT_EQ(app().dumpKind, 0);
    const size_t calls = lib().calls.size();
    whenOpen<WriteDialog>([](WriteDialog& f) { driver::closeBox(f.form()); });
    Tavrinmain::instance().picDump2->onDblClick();
    EXPECT_FALSE(opened());
    EXPECT_EQ(lib().calls.size(), calls);
}
