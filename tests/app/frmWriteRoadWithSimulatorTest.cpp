#include "WriteDialogTesting.h"
#include "devctl/Loader.h"
#include "devctl/Module1.h"
#include "frmConWr.h"
#include "frmEepWr.h"
#include "frmOutpWr.h"

// The user's whole road from the chip list to a written byte, against the
// simulated board library bound by name as the program binds it.
class WriteRoad : public WriteDialogFixture
{
protected:
    void SetUp() override
    {
        WriteDialogFixture::SetUp();
        simReset();
        Module1::useLibrary();
    }

    void TearDown() override
    {
        if (Tavrinmain* w = programWindow())
            w->btnEnd_Click();
        simReset();
        WriteDialogFixture::TearDown();
    }

    // What is written to a simulated board lasts as long as the process.
    static void simReset()
    {
        using ResetFn = void(LUMBRA_CALL*)();
        std::string error;
        auto reset = reinterpret_cast<ResetFn>(
            Module1::loader::symbol(Module1::loader::open("lumbra", error), "LumbraSimReset"));
        ASSERT_NE(reset, nullptr);
        reset();
    }
};

TEST_F(WriteRoad, InterruptLineWrittenFromTheDumpShowsInTheReReadDump)
{
    Tavrinmain& w = startProgram();
    clickChip(1);
    ASSERT_EQ(w.statusText(), std::string("コンフィグレジスタ読み込み成功"));
    // Pin INTA, line 10 for the second board.
    ASSERT_EQ(app().dumpRows[15], std::string("00 00 01 0A"));

    whenOpen<frmConWr>(
        [](frmConWr& f)
        {
            EXPECT_TRUE(shows(f.picAdr, 300, std::string("3C"), 0));
            clickDigit(f.picData, 300, 1);
            driver::type(f.picData, std::string("2b"));
            saveShot(f.form(), "frmConWr");
            driver::click(f.btnWrite);
        });
    doubleClickByte(0x3C);
    ASSERT_TRUE(opened());

    EXPECT_EQ(w.statusText(), std::string("コンフィグレジスタ書き込み成功"));
    EXPECT_EQ(app().dumpRows[15], std::string("00 00 01 2B"));
    EXPECT_EQ(app().regData[0x3C], 0x2B);
    EXPECT_TRUE(w.lbloffset->text().empty());
    EXPECT_TRUE(dialogIsGone());
    // The board itself holds the new line; chip 1 kept its own.
    int32_t v = 0;
    EXPECT_NE(Module1::lib.PciReadConfigReg(2, 0x3C, &v), 0);
    EXPECT_EQ(v, 0x0000012B);
    EXPECT_NE(Module1::lib.PciReadConfigReg(1, 0x3C, &v), 0);
    EXPECT_EQ(v, 0x0000010B);
}

TEST_F(WriteRoad, ReadOnlyBitsComeBackAsTheBoardKeepsThem)
{
    Tavrinmain& w = startProgram();
    clickChip(1);
    // The interrupt pin byte is fixed on the board: the write goes out, the
    // re-read shows the byte unchanged.
    whenOpen<frmConWr>(
        [](frmConWr& f)
        {
            clickDigit(f.picData, 300, 1);
            driver::type(f.picData, std::string("07"));
            driver::click(f.btnWrite);
        });
    doubleClickByte(0x3D);
    ASSERT_TRUE(opened());
    EXPECT_EQ(w.statusText(), std::string("コンフィグレジスタ書き込み成功"));
    EXPECT_EQ(app().dumpRows[15], std::string("00 00 01 0A"));
}

TEST_F(WriteRoad, EepromWordWrittenFromTheSecondHalfShowsInItsDump)
{
    Tavrinmain& w = startProgram();
    clickChip(1);
    driver::chooseMenu(w.menuR_eep);
    ASSERT_EQ(w.statusText(), std::string("EEPROM読み込み成功"));
    driver::clickTab(w.SSTab1, 1);

    whenOpen<frmEepWr>(
        [](frmEepWr& f)
        {
            EXPECT_TRUE(shows(f.picData, 200, std::string("FFFF"), 0));
            clickDigit(f.picData, 200, 1);
            driver::type(f.picData, std::string("8a5"));
            saveShot(f.form(), "frmEepWr");
            driver::click(f.btnWrite);
        });
    doubleClickWord(0x30);
    ASSERT_TRUE(opened());

    EXPECT_EQ(w.statusText(), std::string("EEPROM読み込み成功"));
    // Words 0x31 and 0x30 share row 9 of the second half.
    EXPECT_EQ(app().dumpRows2[8], std::string("FF FF 8A 5F"));
    int32_t word = 0;
    EXPECT_NE(Module1::lib.OrvelReadEep(2, 0x30, &word), 0);
    EXPECT_EQ(word, 0x8A5F);
}

TEST_F(WriteRoad, OutputPortWriteReadsBackFromTheBoard)
{
    Tavrinmain& w = startProgram();
    clickChip(1);
    whenOpen<frmOutpWr>(
        [](frmOutpWr& f)
        {
            driver::keyToFocus(f.form(), driver::Key::Left);
            driver::typeToFocus(f.form(), std::string("c3"));
            saveShot(f.form(), "frmOutpWr");
            driver::click(f.btnWrite);
        });
    driver::doubleClick(w.picOutp);
    ASSERT_TRUE(opened());
    EXPECT_EQ(w.statusText(), std::string("出力ポート書き込み成功"));
    EXPECT_EQ(app().outpValue, 0xC3);
    uint8_t port = 0;
    EXPECT_NE(Module1::lib.TavrinReadOutport(2, &port), 0);
    EXPECT_EQ(port, 0xC3);
}
