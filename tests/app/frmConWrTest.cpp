#include "WriteDialogTesting.h"
#include "frmConWr.h"

#include <QListWidget>

using Calls = std::vector<LibCall>;

namespace
{

constexpr double kOrigin = 300;  // the byte field's text origin

}  // namespace

// Chip 2 with recognisable registers, its configuration dump read at start.
class ConfigWrite : public WriteDialogFixture
{
protected:
    Tavrinmain& startOnChip2()
    {
        for (int i = 0; i <= 16; ++i)
            lib().config[2][4 * i] = 0x01010101 * (i + 1);
        lib().config[2][0x04] = 0x44332211;
        lib().config[2][0x3C] = 0x0000010A;
        lib().config[2][0x40] = 0x00C0FFEE;
        Tavrinmain& w = startProgram();
        clickChip(1);
        EXPECT_EQ(w.statusText(), QStringLiteral("コンフィグレジスタ読み込み成功"));
        return w;
    }

    // Opens the dialog on `offset`, selects the left digit and keys `digits`,
    // then presses 書き込み.
    void writeByte(int offset, const char* digits)
    {
        whenOpen<frmConWr>(
            [digits](frmConWr& f)
            {
                clickDigit(f.picData, kOrigin, 1);
                QTest::keyClicks(f.picData, QString::fromLatin1(digits));
                QTest::mouseClick(f.btnWrite, Qt::LeftButton);
            });
        doubleClickByte(offset);
        EXPECT_TRUE(opened());
    }

    std::vector<int64_t> readOffsetsAfterWrite()
    {
        std::vector<int64_t> offsets;
        bool written = false;
        for (const LibCall& c : lib().calls)
        {
            written = written || c.fn == "PciWriteConfigReg";
            if (written && c.fn == "PciReadConfigReg")
            {
                EXPECT_EQ(c.args.at(0), 2);
                offsets.push_back(c.args.at(1));
            }
        }
        return offsets;
    }
};

TEST_F(ConfigWrite, OpensOnTheCursorByteWithAddressAndValueAndNoDigitBox)
{
    startOnChip2();
    whenOpen<frmConWr>(
        [](frmConWr& f)
        {
            EXPECT_EQ(f.windowTitle(), QStringLiteral("コンフィグレジスタ書き込み"));
            EXPECT_EQ(f.parentWidget(), nullptr);
            EXPECT_TRUE(f.isModal());
            EXPECT_TRUE(shows(f.picAdr, kOrigin, QStringLiteral("3C"), 0));
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("0A"), 0));
            EXPECT_FALSE(cellHasColour(f.picData, 0, 0, 855, 495, 0x00FF00));
            EXPECT_EQ(f.focusWidget(), f.picAdr);
            EXPECT_EQ(f.field().digitPos(), 0);
            QTest::mouseClick(f.btnCansel, Qt::LeftButton);
        });
    doubleClickByte(0x3C);
    EXPECT_TRUE(opened());
    EXPECT_TRUE(dialogIsGone());
}

TEST_F(ConfigWrite, ControlsSitAtTheirTwipsAndTabFollowsTheTabIndex)
{
    startOnChip2();
    whenOpen<frmConWr>(
        [](frmConWr& f)
        {
            auto px = [&](int twips) { return twipsToPx(&f, twips); };
            EXPECT_EQ(f.size(), QSize(px(3900), px(1170)));
            EXPECT_EQ(f.Label1->geometry(), QRect(px(120), px(240), px(855), px(255)));
            EXPECT_EQ(f.picAdr->geometry(), QRect(px(960), px(120), px(855), px(495)));
            EXPECT_EQ(f.Label2->geometry(), QRect(px(2160), px(240), px(615), px(255)));
            EXPECT_EQ(f.picData->geometry(), QRect(px(2880), px(120), px(855), px(495)));
            EXPECT_EQ(f.btnWrite->geometry(), QRect(px(1320), px(720), px(1095), px(375)));
            EXPECT_EQ(f.btnCansel->geometry(), QRect(px(2640), px(720), px(1095), px(375)));
            EXPECT_EQ(f.Label1->text(), QStringLiteral("アドレス"));
            EXPECT_EQ(f.Label2->text(), QStringLiteral("データ"));
            EXPECT_EQ(f.btnWrite->text(), QStringLiteral("書き込み"));
            EXPECT_EQ(f.btnCansel->text(), QStringLiteral("キャンセル"));
            EXPECT_EQ(f.Label1->font().pointSizeF(), 11.25);
            EXPECT_EQ(f.picData->font().family(), QStringLiteral("ＭＳ ゴシック"));
            // The labels take no focus.
            EXPECT_EQ(tabStops(&f, 4),
                      (QList<QWidget*>{f.picAdr, f.btnWrite, f.btnCansel, f.picData, f.picAdr}));
            EXPECT_FALSE(f.btnWrite->isDefault());
        });
    doubleClickByte(0x00);
    EXPECT_TRUE(opened());
}

TEST_F(ConfigWrite, WriteRebuildsTheRegisterFromTheBufferWithTheEditedByte)
{
    Tavrinmain& w = startOnChip2();
    // The board changes behind the dump's back: the re-read must show it.
    lib().config[2][0x08] = 0x0BADF00D;
    writeByte(0x05, "ab");

    EXPECT_EQ(lib().callsTo("PciWriteConfigReg"), (Calls{{"PciWriteConfigReg", {2, 0x04, 0x4433AB11}}}));
    std::vector<int64_t> all;
    for (int i = 0; i <= 16; ++i)
        all.push_back(4 * i);
    EXPECT_EQ(readOffsetsAfterWrite(), all);
    EXPECT_EQ(app().dumpRows[1], QStringLiteral("44 33 AB 11"));
    EXPECT_EQ(app().dumpRows[2], QStringLiteral("0B AD F0 0D"));
    EXPECT_EQ(app().dumpRows[16], QStringLiteral("00 C0 FF EE"));
    EXPECT_EQ(w.statusText(), QStringLiteral("コンフィグレジスタ書き込み成功"));
    EXPECT_TRUE(w.lbloffset->text().isEmpty());
    EXPECT_TRUE(w.lbldata->text().isEmpty());
    EXPECT_TRUE(dialogIsGone());
    EXPECT_EQ(app().editAddr, 0x05);
}

TEST_F(ConfigWrite, LastByteGoesToBitsThirtyOneToTwentyFourAsANegativeValue)
{
    startOnChip2();
    writeByte(0x43, "9c");
    EXPECT_EQ(lib().callsTo("PciWriteConfigReg"),
              (Calls{{"PciWriteConfigReg", {2, 0x40, int64_t(int32_t(0x9CC0FFEEu))}}}));
    EXPECT_EQ(app().regData[67], 0x9C);
}

TEST_F(ConfigWrite, FailedWriteIsReportedAsAFailureAndTheDumpIsStillReRead)
{
    Tavrinmain& w = startOnChip2();
    lib().setStatus("PciWriteConfigReg", 0);
    writeByte(0x3C, "2b");
    EXPECT_EQ(w.statusText(), QStringLiteral("コンフィグレジスタ書き込み失敗"));
    EXPECT_EQ(readOffsetsAfterWrite().size(), 17u);
    EXPECT_EQ(app().regData[0x3C], 0x0A);
    EXPECT_TRUE(w.lbloffset->text().isEmpty());
    EXPECT_TRUE(dialogIsGone());
}

TEST_F(ConfigWrite, FailedReReadKeepsThatRegistersBytesAndItsTextStays)
{
    Tavrinmain& w = startOnChip2();
    // The sixth read-back (offset 0x14) fails and leaves junk in the variable.
    lib().failWhere("PciReadConfigReg", [](const LibCall& c) { return c.args.at(1) == 0x14; });
    lib().outOnFailure("PciReadConfigReg", 0x7E7E7E7E);
    lib().config[2][0x14] = 0x11111111;
    lib().config[2][0x18] = 0x22222222;
    writeByte(0x3C, "2b");

    EXPECT_EQ(app().dumpRows[5], QStringLiteral("06 06 06 06"));
    EXPECT_EQ(app().dumpRows[6], QStringLiteral("22 22 22 22"));
    EXPECT_EQ(app().regData[0x3C], 0x2B);
    EXPECT_EQ(w.statusText(), QStringLiteral("コンフィグレジスタ読み込み失敗"));
    EXPECT_EQ(readOffsetsAfterWrite().size(), 17u);
}

// The dump may hold another chip's bytes: here chip 1's, because chip 2's
// read failed at its first register. The register is read from chip 2 just
// before it is written, so only the edited byte comes from the dialog.
TEST_F(ConfigWrite, WriteBuildsTheRegisterFromTheChipNotFromAStaleDump)
{
    lib().config[1][0x04] = 0x11220101;
    lib().config[2][0x04] = 0x44332211;
    Tavrinmain& w = startProgram();
    clickChip(0);
    lib().failCall("PciReadConfigReg", lib().count("PciReadConfigReg"));
    clickChip(1);
    ASSERT_EQ(w.statusText(), QStringLiteral("コンフィグレジスタ読み込み失敗"));
    const size_t before = lib().calls.size();

    writeByte(0x06, "ab");

    ASSERT_GE(lib().calls.size(), before + 2);
    EXPECT_EQ(lib().calls[before], (LibCall{"PciReadConfigReg", {2, 0x04}}));
    EXPECT_EQ(lib().calls[before + 1], (LibCall{"PciWriteConfigReg", {2, 0x04, 0x44AB2211}}));
    EXPECT_EQ(readOffsetsAfterWrite().size(), 17u);
    EXPECT_EQ(app().dumpRows[1], QStringLiteral("44 AB 22 11"));
    EXPECT_EQ(w.statusText(), QStringLiteral("コンフィグレジスタ書き込み成功"));
}

TEST_F(ConfigWrite, RegisterThatCannotBeReadFirstIsNotWritten)
{
    Tavrinmain& w = startOnChip2();
    const QImage dump = w.picDump->image();
    lib().calls.clear();
    lib().failCall("PciReadConfigReg", 0);

    writeByte(0x3C, "2b");

    EXPECT_EQ(lib().calls, (Calls{{"PciReadConfigReg", {2, 0x3C}}}));
    EXPECT_EQ(w.statusText(), QStringLiteral("コンフィグレジスタ書き込み失敗"));
    EXPECT_TRUE(w.lbloffset->text().isEmpty());
    EXPECT_TRUE(w.lbldata->text().isEmpty());
    EXPECT_TRUE(dialogIsGone());
    EXPECT_EQ(app().regData[0x3C], 0x0A);
}

TEST_F(ConfigWrite, CancelTouchesNeitherTheChipNorTheWindow)
{
    Tavrinmain& w = startOnChip2();
    QTest::mouseClick(w.picDump, Qt::LeftButton, {},
                      atTwips(w.picDump, 9.5 * app().cellWidth, 2.5 * app().cellHeight));
    const size_t calls = lib().calls.size();
    const std::array<uint8_t, 68> regData = app().regData;
    const QImage dump = w.picDump->image();
    whenOpen<frmConWr>(
        [](frmConWr& f)
        {
            clickDigit(f.picData, kOrigin, 1);
            QTest::keyClicks(f.picData, QStringLiteral("ff"));
            QTest::mouseClick(f.btnCansel, Qt::LeftButton);
        });
    doubleClickByte(0x05);
    EXPECT_TRUE(opened());
    EXPECT_EQ(lib().calls.size(), calls);
    EXPECT_EQ(app().regData, regData);
    EXPECT_EQ(w.picDump->image(), dump);
    EXPECT_EQ(w.lbloffset->text(), QStringLiteral("05"));
    EXPECT_EQ(w.lbldata->text(), QStringLiteral("22"));
    EXPECT_EQ(w.statusText(), QStringLiteral("コンフィグレジスタ読み込み成功"));
    EXPECT_TRUE(dialogIsGone());
}

TEST_F(ConfigWrite, EveryOpeningStartsAgainFromTheCursorWithNoDigitSelected)
{
    startOnChip2();
    whenOpen<frmConWr>(
        [](frmConWr& f)
        {
            clickDigit(f.picData, kOrigin, 2);
            QTest::keyClick(f.picData, '7');
            QTest::mouseClick(f.btnCansel, Qt::LeftButton);
        });
    doubleClickByte(0x3C);
    whenOpen<frmConWr>(
        [](frmConWr& f)
        {
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("0A"), 0));
            EXPECT_EQ(f.field().digitPos(), 0);
            f.close();
        });
    doubleClickByte(0x3C);
    EXPECT_TRUE(opened());
}

// The two-digit field, the same in all three byte dialogs; driven here in frmConWr.
class ByteField : public ConfigWrite
{
protected:
    // Opens the dialog on the 0x0A byte at offset 0x3C and runs `keys` there.
    void onField(std::function<void(frmConWr&)> keys)
    {
        startOnChip2();
        whenOpen<frmConWr>(
            [keys](frmConWr& f)
            {
                keys(f);
                f.close();
            });
        doubleClickByte(0x3C);
        EXPECT_TRUE(opened());
    }
};

TEST_F(ByteField, FirstKeyWithNoDigitSelectedOnlySelectsTheRightDigit)
{
    onField(
        [](frmConWr& f)
        {
            QTest::keyClick(f.picData, '5');
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("0A"), 2));
            QTest::keyClick(f.picData, '5');
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("05"), 2));
            EXPECT_EQ(f.field().dataValue(), 0x05);
        });
}

TEST_F(ByteField, LowerCaseHexReplacesTheDigitAndUpperCaseIsIgnored)
{
    onField(
        [](frmConWr& f)
        {
            clickDigit(f.picData, kOrigin, 1);
            QTest::keyClick(f.picData, 'c');
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("CA"), 2));
            const QImage before = f.picData->image();
            QTest::keyClick(f.picData, 'C', Qt::ShiftModifier);
            QTest::keyClick(f.picData, 'g');
            QTest::keyClick(f.picData, ' ');
            EXPECT_EQ(f.picData->image(), before);
            EXPECT_EQ(f.field().dataValue(), 0xCA);
            QTest::keyClick(f.picData, 'f');
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("CF"), 2));
            QTest::keyClick(f.picData, '0');
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("C0"), 2));
        });
}

TEST_F(ByteField, SelectedDigitStandsBlackOnAGreenCell)
{
    onField(
        [](frmConWr& f)
        {
            clickDigit(f.picData, kOrigin, 1);
            const AppState& s = app();
            const double w = s.cellWidth, h = s.cellHeight;
            EXPECT_GT(cellShare(f.picData, kOrigin, 100, w, h, 0x00FF00), 0.5);
            EXPECT_TRUE(cellHasColour(f.picData, kOrigin, 100, w, h, kBlack));
            EXPECT_FALSE(cellHasColour(f.picData, kOrigin + w, 100, w, h, 0x00FF00));
            EXPECT_TRUE(cellHasColour(f.picData, kOrigin + w, 100, w, h, kBlack));
        });
}

TEST_F(ByteField, StepsWrapWithinTheDigitWithoutCarry)
{
    onField(
        [](frmConWr& f)
        {
            clickDigit(f.picData, kOrigin, 1);
            QTest::keyClicks(f.picData, QStringLiteral("f3"));
            clickDigit(f.picData, kOrigin, 1);
            QTest::keyClick(f.picData, Qt::Key_Up);
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("03"), 1));
            QTest::keyClick(f.picData, Qt::Key_Down);
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("F3"), 1));

            QTest::keyClicks(f.picData, QStringLiteral("30"));
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("30"), 2));
            QTest::keyClick(f.picData, Qt::Key_Down);
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("3F"), 2));
            QTest::keyClick(f.picData, Qt::Key_Up);
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("30"), 2));
        });
}

TEST_F(ByteField, ArrowsStopAtTheEndsAndShiftIsIgnored)
{
    onField(
        [](frmConWr& f)
        {
            clickDigit(f.picData, kOrigin, 2);
            QTest::keyClick(f.picData, Qt::Key_Right);
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("0A"), 2));
            QTest::keyClick(f.picData, Qt::Key_Left, Qt::ShiftModifier);
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("0A"), 1));
            QTest::keyClick(f.picData, Qt::Key_Left);
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("0A"), 1));
            QTest::keyClick(f.picData, Qt::Key_Right, Qt::ShiftModifier);
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("0A"), 2));
        });
}

TEST_F(ByteField, ClicksLeftOfTheBoundarySelectTheLeftDigitAndRightOfItTheRight)
{
    onField(
        [](frmConWr& f)
        {
            const double w = app().cellWidth;
            clickTwips(f.picData, 30, 60, Qt::RightButton);
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("0A"), 1));
            clickTwips(f.picData, 800, 400);
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("0A"), 2));
            clickTwips(f.picData, kOrigin + w - 20, 150, Qt::MiddleButton);
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("0A"), 1));
            clickTwips(f.picData, kOrigin + w + 20, 150);
            EXPECT_TRUE(shows(f.picData, kOrigin, QStringLiteral("0A"), 2));
        });
}

TEST_F(ByteField, PunctuationSharingAnArrowsCodeDoesNotMoveOrStep)
{
    onField(
        [](frmConWr& f)
        {
            clickDigit(f.picData, kOrigin, 2);
            const QImage before = f.picData->image();
            // '%', '&', '\'' and '(' carry the numbers the arrow keys have.
            QTest::keyClicks(f.picData, QStringLiteral("%&'("));
            EXPECT_EQ(f.picData->image(), before);
            EXPECT_EQ(f.field().dataValue(), 0x0A);
        });
}
