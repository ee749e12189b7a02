#include "AppFixture.h"
#include "UiHelpers.h"

#include "Module2.h"

#include <cstdio>
#include <functional>

class DumpGrid : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        w = &startProgram();
    }
    void setRegister(int i, uint32_t v)
    {
        for (int k = 0; k < 4; ++k)
            app().regData[4 * i + k] = uint8_t(v >> (8 * k));
    }
    // Is anything drawn in data row `row` (1-based) of `box`?
    bool rowInked(const PictureBox* box, int row) const
    {
        const AppState& s = app();
        return cellShare(box, 0, row * s.cellHeight, 14 * s.cellWidth, s.cellHeight, kWhite) < 1.0;
    }
    Tavrinmain* w = nullptr;
};

TEST_F(DumpGrid, RegisterIsShownMostSignificantByteFirst)
{
    setRegister(0, 0x12345678);
    setRegister(1, 0x000000AB);
    drawRegisterGrid(w->picDump, 0);
    EXPECT_EQ(app().dumpRows[0], std::string("12 34 56 78"));
    EXPECT_EQ(app().dumpRows[1], std::string("00 00 00 AB"));
}

TEST_F(DumpGrid, ByteBelowSixteenKeepsItsLeadingZero)
{
    app().regData[0] = 0x0A;
    EXPECT_EQ(regByteHex(0), std::string("0A"));
    app().eepData[67] = 0x05;
    EXPECT_EQ(eepByteHex(67), std::string("05"));
    app().regData[1] = 0xFF;
    EXPECT_EQ(regByteHex(1), std::string("FF"));
}

TEST_F(DumpGrid, ShortGridDrawsSixteenRowsAndWipesTheOldSeventeenth)
{
    setRegister(16, 0xDEADBEEF);
    drawRegisterGrid(w->picDump, 0);
    ASSERT_TRUE(rowInked(w->picDump, 17));
    drawRegisterGrid(w->picDump, 1);
    EXPECT_TRUE(rowInked(w->picDump, 16));
    EXPECT_FALSE(rowInked(w->picDump, 17));
    // The text of the earlier 17-row drawing stays in the row store.
    EXPECT_EQ(app().dumpRows[16], std::string("DE AD BE EF"));
}

TEST_F(DumpGrid, HexPadShowsNegativeValuesAsTheirBitPattern)
{
    EXPECT_EQ(hexPad(-1, 6), std::string("FFFFFFFF"));
    EXPECT_EQ(hexPad(0x1234, 6), std::string("001234"));
    EXPECT_EQ(hexPad(0x1000000, 6), std::string("1000000"));
}

TEST_F(DumpGrid, EepromWordsShowHighByteFirstOddWordLeft)
{
    // word 0 = 0x0000, word 1 = 0xBEEF
    app().regData[2] = 0xEF;
    app().regData[3] = 0xBE;
    // word 0x3F = 0x1234 lives at the end of eepData
    app().eepData[62] = 0x34;
    app().eepData[63] = 0x12;
    drawEepromGrids(w->picDump, w->picDump2);
    EXPECT_EQ(app().dumpRows[0], std::string("BE EF 00 00"));
    EXPECT_EQ(app().dumpRows2[15], std::string("12 34 00 00"));
    EXPECT_TRUE(rowInked(w->picDump2, 16));
    EXPECT_FALSE(rowInked(w->picDump, 17));
}

TEST_F(DumpGrid, DrawingLeavesBlackCopyPenForTheCursor)
{
    drawEepromGrids(w->picDump, w->picDump2);
    EXPECT_EQ(w->picDump->foreColor() & 0xFFFFFF, kBlack);
    EXPECT_EQ(w->picDump2->foreColor() & 0xFFFFFF, kBlack);
    EXPECT_EQ(w->picDump->drawMode(), kCopyPen);
    drawRegisterGrid(w->picDump, 0);
    EXPECT_EQ(w->picDump->foreColor() & 0xFFFFFF, kBlack);
}

// The header on line 0 and the row addresses down column 0, in green, on each
// grid; no address below the last row.
TEST_F(DumpGrid, HeaderAndRowAddressesArePrintedGreenAtTheirLines)
{
    struct Grid
    {
        const char* what;
        std::function<void()> draw;
        PictureBox* box;
        const char* header;
        int rows, first, step;
    };
    const Grid grids[] = {
        {"registers", [this] { drawRegisterGrid(w->picDump, 0); }, w->picDump, "   +3 +2 +1 +0", 17, 0x00, 4},
        {"mode registers", [this] { drawRegisterGrid(w->picDump, 1); }, w->picDump, "   +3 +2 +1 +0", 16,
         0x00, 4},
        {"EEPROM lower", [this] { drawEepromGrids(w->picDump, w->picDump2); }, w->picDump, "    +1    +0  ",
         16, 0x00, 2},
        {"EEPROM upper", [this] { drawEepromGrids(w->picDump, w->picDump2); }, w->picDump2, "    +1    +0  ",
         16, 0x20, 2},
    };
    const AppState& s = app();
    for (const Grid& g : grids)
    {
        g.draw();
        EXPECT_TRUE(printedAt(g.box, 0, 0, std::string(g.header), kGreen)) << g.what;
        for (int r = 1; r <= g.rows; ++r)
        {
            char address[3];
            std::snprintf(address, sizeof address, "%02X", g.first + g.step * (r - 1));
            EXPECT_TRUE(printedAt(g.box, 0, r * s.cellHeight, address, kGreen)) << g.what << " row " << r;
        }
        EXPECT_EQ(cellShare(g.box, 0, (g.rows + 1) * s.cellHeight, 3 * s.cellWidth, s.cellHeight, kWhite),
                  1.0)
            << g.what;
    }
}
