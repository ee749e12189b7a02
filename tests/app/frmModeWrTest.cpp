#include "WriteDialogTesting.h"
#include "frmModeWr.h"

using Calls = std::vector<LibCall>;

namespace
{

constexpr double kOrigin = 300;

}  // namespace

// Chip 2's configuration dump read first (it fills all 68 buffer bytes), then
// its mode registers.
class ModeWrite : public WriteDialogFixture
{
protected:
    Tavrinmain& startOnModeDump()
    {
        lib().config[2][0x40] = 0x00C0FFEE;
        for (int i = 0; i <= 15; ++i)
            lib().mode[2][4 * i] = int32_t(0x10101010u * uint32_t(i + 1));
        lib().mode[2][0x3C] = 0x11223344;
        Tavrinmain& w = startProgram();
        clickChip(1);
        driver::chooseMenu(w.menuR_Mode);
        EXPECT_EQ(app().dumpKind, 1);
        return w;
    }

    void writeByte(int offset, const char* digits, const char* shot = nullptr)
    {
        whenOpen<frmModeWr>(
            [digits, shot](frmModeWr& f)
            {
                clickDigit(f.picData, kOrigin, 1);
                driver::type(f.picData, std::string(digits));
                if (shot)
                    saveShot(f.form(), shot);
                driver::click(f.btnWrite);
            });
        doubleClickByte(offset);
        EXPECT_TRUE(opened());
    }
};

TEST_F(ModeWrite, OpensFromTheModeDumpWithItsCaptionAndFocusOnTheAddress)
{
    startOnModeDump();
    whenOpen<frmModeWr>(
        [](frmModeWr& f)
        {
            EXPECT_EQ(f.form().caption(), std::string("モードレジスタ書き込み"));
            const auto px = [&](int twips) { return driver::px(f.form(), twips); };
            EXPECT_EQ(driver::clientRect(f.form()), (driver::Rect{0, 0, px(3900), px(1170)}));
            EXPECT_EQ(driver::geometry(f.picData), (driver::Rect{px(2880), px(120), px(855), px(495)}));
            EXPECT_TRUE(shows(f.picAdr, kOrigin, std::string("3E"), 0));
            EXPECT_TRUE(shows(f.picData, kOrigin, std::string("22"), 0));
            // Tab indices: Label1, Label2, picAdr, picData, btnWrite, btnCansel.
            EXPECT_EQ(tabStops(f.form(), 4), (std::vector<const ui::Control*>{f.picAdr, f.picData, f.btnWrite,
                                                                              f.btnCansel, f.picAdr}));
            driver::click(f.btnCansel);
        });
    doubleClickByte(0x3E);
    EXPECT_TRUE(opened());
    EXPECT_TRUE(dialogIsGone());
}

TEST_F(ModeWrite, ThirdByteOfTheLastRegisterGoesToBitsTwentyThreeToSixteen)
{
    Tavrinmain& w = startOnModeDump();
    lib().mode[2][0x08] = 0x0BADF00D;
    writeByte(0x3E, "5a", "frmModeWr");

    EXPECT_EQ(lib().callsTo("OrvelWriteModeReg"), (Calls{{"OrvelWriteModeReg", {2, 0x3C, 0x115A3344}}}));
    const auto reads = lib().callsTo("OrvelReadModeReg");
    // The dump's 16, the target register just before the write, the 16 re-reads.
    ASSERT_EQ(reads.size(), 33u);
    EXPECT_EQ(reads[16], (LibCall{"OrvelReadModeReg", {2, 0x3C}}));
    for (int i = 0; i <= 15; ++i)
        EXPECT_EQ(reads[17 + i], (LibCall{"OrvelReadModeReg", {2, 4 * i}}));
    EXPECT_EQ(app().dumpRows[15], std::string("11 5A 33 44"));
    EXPECT_EQ(app().dumpRows[2], std::string("0B AD F0 0D"));
    EXPECT_EQ(w.statusText(), std::string("モードレジスタ書き込み成功"));
    EXPECT_TRUE(w.lbloffset->text().empty());
    EXPECT_TRUE(w.lbldata->text().empty());
    EXPECT_TRUE(dialogIsGone());
}

TEST_F(ModeWrite, BufferBytesBeyondTheSixteenRegistersAreNeitherReadNorShown)
{
    Tavrinmain& w = startOnModeDump();
    writeByte(0x00, "77");
    EXPECT_EQ(app().regData[64], 0xEE);
    EXPECT_EQ(app().regData[65], 0xFF);
    EXPECT_EQ(app().regData[66], 0xC0);
    EXPECT_EQ(app().regData[67], 0x00);
    const AppState& s = app();
    EXPECT_TRUE(
        cellHasColour(w.picDump, 3 * s.cellWidth, 16 * s.cellHeight, 11 * s.cellWidth, s.cellHeight, kBlack));
    EXPECT_FALSE(cellHasColour(w.picDump, 0, 17 * s.cellHeight, 14 * s.cellWidth, s.cellHeight, kBlack));
    EXPECT_FALSE(cellHasColour(w.picDump, 0, 17 * s.cellHeight, 14 * s.cellWidth, s.cellHeight, kGreen));
}

TEST_F(ModeWrite, FailedWriteIsReportedAsAFailure)
{
    Tavrinmain& w = startOnModeDump();
    lib().setStatus("OrvelWriteModeReg", 0);
    writeByte(0x3E, "5a");
    EXPECT_EQ(w.statusText(), std::string("モードレジスタ書き込み失敗"));
    EXPECT_EQ(app().dumpRows[15], std::string("11 22 33 44"));
    EXPECT_TRUE(dialogIsGone());
}

TEST_F(ModeWrite, FailedReReadKeepsThatRegistersBytesAndItsTextStays)
{
    Tavrinmain& w = startOnModeDump();
    lib().failWhere("OrvelReadModeReg", [](const LibCall& c) { return c.args.at(1) == 0x20; });
    lib().outOnFailure("OrvelReadModeReg", 0x7E7E7E7E);
    lib().mode[2][0x20] = 0x12345678;
    writeByte(0x3E, "5a");
    EXPECT_EQ(app().dumpRows[8], std::string("90 90 90 90"));
    EXPECT_EQ(app().dumpRows[15], std::string("11 5A 33 44"));
    EXPECT_EQ(w.statusText(), std::string("モードレジスタ読み込み失敗"));
}

// The other three bytes come from the chip as it is now, read just before the
// write; when that read fails nothing is written and the write counts as failed.
TEST_F(ModeWrite, WriteReadsItsRegisterFromTheChipFirstAndWritesNothingWhenThatFails)
{
    Tavrinmain& w = startOnModeDump();
    lib().mode[2][0x3C] = 0x55667788;
    lib().calls.clear();
    writeByte(0x3E, "5a");
    ASSERT_GE(lib().calls.size(), 2u);
    EXPECT_EQ(lib().calls[0], (LibCall{"OrvelReadModeReg", {2, 0x3C}}));
    EXPECT_EQ(lib().calls[1], (LibCall{"OrvelWriteModeReg", {2, 0x3C, 0x555A7788}}));

    lib().calls.clear();
    lib().failCall("OrvelReadModeReg", 0);
    writeByte(0x3E, "12");
    EXPECT_EQ(lib().calls, (Calls{{"OrvelReadModeReg", {2, 0x3C}}}));
    EXPECT_EQ(w.statusText(), std::string("モードレジスタ書き込み失敗"));
    EXPECT_TRUE(w.lbloffset->text().empty());
    EXPECT_TRUE(w.lbldata->text().empty());
    EXPECT_TRUE(dialogIsGone());
}

TEST_F(ModeWrite, CancelChangesNothing)
{
    Tavrinmain& w = startOnModeDump();
    driver::click(w.picDump, 6.5 * app().cellWidth, 16.5 * app().cellHeight);
    const size_t calls = lib().calls.size();
    const std::array<uint8_t, 68> regData = app().regData;
    const ui::Picture dump = w.picDump->picture();
    const std::string status = w.statusText();
    whenOpen<frmModeWr>(
        [](frmModeWr& f)
        {
            driver::type(f.picData, std::string("99"));
            driver::click(f.btnCansel);
        });
    doubleClickByte(0x3E);
    EXPECT_TRUE(opened());
    EXPECT_EQ(lib().calls.size(), calls);
    EXPECT_EQ(app().regData, regData);
    EXPECT_EQ(w.picDump->picture(), dump);
    EXPECT_EQ(w.lbloffset->text(), std::string("3E"));
    EXPECT_EQ(w.statusText(), status);
}
