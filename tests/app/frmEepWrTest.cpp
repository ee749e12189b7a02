#include "WriteDialogTesting.h"
#include "frmEepWr.h"

#include <QAction>
#include <QTabBar>

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
        w.menuR_eep->trigger();
        EXPECT_EQ(app().dumpKind, 2);
        return w;
    }

    // Clicks the tab of words 20-3F.
    static void showSecondHalf()
    {
        QTabBar* bar = Tavrinmain::instance().SSTab1->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
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
               EXPECT_EQ(f.windowTitle(), QStringLiteral("EEPROM書き込み"));
               EXPECT_TRUE(shows(f.picAdr, 300, QStringLiteral("05"), 0));
               EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("00A3"), 0));
               EXPECT_EQ(f.focusWidget(), f.picAdr);
               EXPECT_EQ(f.btnCansel->geometry(), QRect(twipsToPx(&f, 2640), twipsToPx(&f, 720),
                                                        twipsToPx(&f, 1095), twipsToPx(&f, 375)));
               EXPECT_EQ(tabStops(&f, 4),
                         (QList<QWidget*>{f.picAdr, f.picData, f.btnWrite, f.btnCansel, f.picAdr}));
           });
}

TEST_F(EepromWrite, KeysBeforeAClickChangeNothing)
{
    startOnEepromDump();
    onWord(5,
           [](frmEepWr& f)
           {
               const QImage before = f.picData->image();
               QTest::keyClicks(f.picData, QStringLiteral("5f"));
               for (Qt::Key k : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right})
                   QTest::keyClick(f.picData, k);
               EXPECT_EQ(f.picData->image(), before);
               QTest::mouseClick(f.btnWrite, Qt::LeftButton);
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
               EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("00A3"), 1));
               clickTwips(f.picData, 820, 450, Qt::RightButton);
               EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("00A3"), 4));
               clickDigit(f.picData, kOrigin, 3);
               EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("00A3"), 3));
           });
}

TEST_F(EepromWrite, EachKeyMovesRightAndTheLastDigitTakesEveryFurtherKey)
{
    startOnEepromDump();
    onWord(5,
           [](frmEepWr& f)
           {
               clickDigit(f.picData, kOrigin, 1);
               QTest::keyClick(f.picData, 'f');
               EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("F0A3"), 2));
               QTest::keyClicks(f.picData, QStringLiteral("123"));
               EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("F123"), 4));
               QTest::keyClick(f.picData, '9');
               EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("F129"), 4));
               QTest::mouseClick(f.btnWrite, Qt::LeftButton);
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
               const QImage before = f.picData->image();
               QTest::keyClicks(f.picData, QStringLiteral("ABCDEFG"));
               EXPECT_EQ(f.picData->image(), before);
               QTest::keyClick(f.picData, 'e');
               EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("0EA3"), 3));
           });
}

TEST_F(EepromWrite, StepsWrapWithinTheDigitWithoutCarryOrBorrow)
{
    startOnEepromDump();
    onWord(6,
           [](frmEepWr& f)
           {
               clickDigit(f.picData, kOrigin, 2);
               QTest::keyClick(f.picData, Qt::Key_Up);
               EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("00A3"), 2));
               QTest::keyClick(f.picData, Qt::Key_Left);
               QTest::keyClick(f.picData, Qt::Key_Down);
               EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("F0A3"), 1));
               QTest::keyClick(f.picData, Qt::Key_Right);
               QTest::keyClick(f.picData, Qt::Key_Right);
               QTest::keyClick(f.picData, Qt::Key_Right);
               QTest::keyClick(f.picData, Qt::Key_Up);
               EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("F0A4"), 4));
           });
}

TEST_F(EepromWrite, LeftOnTheFirstDigitAndRightOnTheLastStay)
{
    startOnEepromDump();
    onWord(5,
           [](frmEepWr& f)
           {
               clickDigit(f.picData, kOrigin, 1);
               QTest::keyClick(f.picData, Qt::Key_Left);
               EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("00A3"), 1));
               clickDigit(f.picData, kOrigin, 4);
               QTest::keyClick(f.picData, Qt::Key_Right);
               EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("00A3"), 4));
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
               QTest::keyClicks(f.picData, QStringLiteral("c0de"));
               QTest::mouseClick(f.btnWrite, Qt::LeftButton);
           });
    EXPECT_EQ(lib().callsTo("OrvelWriteEep"), (Calls{{"OrvelWriteEep", {2, 0x21, 0xC0DE}}}));
    const auto reads = lib().callsTo("OrvelReadEep");
    ASSERT_EQ(reads.size(), 128u);
    for (int a = 0; a <= 63; ++a)
        EXPECT_EQ(reads[64 + a], (LibCall{"OrvelReadEep", {2, a}}));
    EXPECT_EQ(app().eepData[2], 0xDE);
    EXPECT_EQ(app().eepData[3], 0xC0);
    EXPECT_EQ(app().dumpRows[0], QStringLiteral("01 01 0B AD"));
    EXPECT_EQ(app().dumpRows[2], QStringLiteral("00 A3 04 04"));
    EXPECT_EQ(app().dumpRows[15], QStringLiteral("F0 0D 1E 1E"));
    EXPECT_EQ(app().dumpRows2[0], QStringLiteral("C0 DE 1F 20"));
    EXPECT_EQ(app().dumpRows2[15], QStringLiteral("BE EF 3E 3E"));
    EXPECT_EQ(w.statusText(), QStringLiteral("EEPROM読み込み成功"));
    EXPECT_TRUE(w.lbloffset->text().isEmpty());
    EXPECT_TRUE(w.lbldata->text().isEmpty());
    EXPECT_TRUE(dialogIsGone());
}

TEST_F(EepromWrite, EarlierReReadFailureIsNotCoveredBySuccessAndKeepsThatWord)
{
    Tavrinmain& w = startOnEepromDump();
    lib().failWhere("OrvelReadEep", [](const LibCall& c) { return c.args.at(1) == 10; });
    lib().outOnFailure("OrvelReadEep", 0x7E7E);
    lib().eep[2][10] = 0x1234;
    onWord(5, [](frmEepWr& f) { QTest::mouseClick(f.btnWrite, Qt::LeftButton); });
    EXPECT_EQ(app().regData[20], 0x0A);
    EXPECT_EQ(app().regData[21], 0x0A);
    EXPECT_EQ(lib().count("OrvelReadEep"), 64 + 64);
    EXPECT_EQ(w.statusText(), QStringLiteral("EEPROM読み込み失敗"));
}

TEST_F(EepromWrite, FailedWriteIsReportedAsAFailure)
{
    Tavrinmain& w = startOnEepromDump();
    lib().setStatus("OrvelWriteEep", 0);
    onWord(5, [](frmEepWr& f) { QTest::mouseClick(f.btnWrite, Qt::LeftButton); });
    EXPECT_EQ(w.statusText(), QStringLiteral("EEPROM書き込み失敗"));
    EXPECT_EQ(lib().count("OrvelReadEep"), 64 + 64);
    EXPECT_TRUE(dialogIsGone());
}

TEST_F(EepromWrite, CancelLeavesTheEepromTheDumpAndTheStatusAlone)
{
    Tavrinmain& w = startOnEepromDump();
    QTest::mouseClick(w.picDump, Qt::LeftButton, {},
                      atTwips(w.picDump, 3.5 * app().cellWidth, 3.5 * app().cellHeight));
    const size_t calls = lib().calls.size();
    const QImage dump = w.picDump->image();
    const QImage dump2 = w.picDump2->image();
    const auto regData = app().regData;
    const auto eepData = app().eepData;
    onWord(5,
           [](frmEepWr& f)
           {
               clickDigit(f.picData, kOrigin, 1);
               QTest::keyClicks(f.picData, QStringLiteral("ffff"));
               QTest::mouseClick(f.btnCansel, Qt::LeftButton);
           });
    EXPECT_EQ(lib().calls.size(), calls);
    EXPECT_EQ(w.picDump->image(), dump);
    EXPECT_EQ(w.picDump2->image(), dump2);
    EXPECT_EQ(app().regData, regData);
    EXPECT_EQ(app().eepData, eepData);
    EXPECT_EQ(w.statusText(), QStringLiteral("EEPROM読み込み成功"));
    EXPECT_EQ(w.lbldata->text(), QStringLiteral("00A3"));
}

TEST_F(EepromWrite, SecondHalfOpensFromItsOwnBox)
{
    startOnEepromDump();
    showSecondHalf();
    onWord(0x3E,
           [](frmEepWr& f)
           {
               EXPECT_TRUE(shows(f.picAdr, 300, QStringLiteral("3E"), 0));
               EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("3E3E"), 0));
               f.close();
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
    whenOpen<WriteDialog>([](WriteDialog& f) { f.close(); });
    emit Tavrinmain::instance().picDump2->dblClick();
    EXPECT_FALSE(opened());
    EXPECT_EQ(lib().calls.size(), calls);
}
