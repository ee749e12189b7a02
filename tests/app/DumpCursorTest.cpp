#include "DumpCursor.h"
#include "ui/Controls.h"

#include <gtest/gtest.h>

namespace
{

// Cells of 100 x 200 twips keep the coordinates readable.
DumpCursor grid(int16_t kind) { return DumpCursor{kind, 100, 200}; }

}  // namespace

TEST(DumpCursorArithmetic, PointsSnapToTheStartOfTheirCursorColumnAndClampToTheGrid)
{
    const struct
    {
        int16_t kind;
        float x, y;
        GridCell cell;
    } cases[] = {
        {0, 750, 500, {6, 2}},        // column 7 snaps back to 6
        {0, 0, 800, {3, 4}},          // the address column
        {0, 150, 800, {3, 4}},        // column 1: the remainder is negative, never snaps right
        {0, 1440, 800, {12, 4}},      // right of the last byte
        {0, 1300, 800, {12, 4}},      // column 13, the second digit of the last byte
        {0, 900, 100, {9, 1}},        // the header row
        {0, 900, 3520, {9, 17}},      // below the last row
        {1, 400, 3520, {3, 16}},      // the mode dump has no row 17
        {2, 1240, 3520, {9, 16}},     // the EEPROM dump neither; column 12 snaps to 9
        {2, 850, 400, {3, 2}},        // column 8 snaps back to 3
        {2, 250, 400, {3, 2}},        // column 2
        {0, 599.5f, 399.5f, {6, 2}},  // halves round to even: 600 and 400
        {0, 598.5f, 397.5f, {3, 1}},  // 598 and 398
    };
    for (const auto& c : cases)
        EXPECT_EQ(grid(c.kind).cellAt(c.x, c.y), c.cell) << "kind " << c.kind << " at " << c.x << ", " << c.y;
}

// Arrow keys from a cursor cell, through the snapping: Left steps a whole
// cursor column, Right jumps one, and no key wraps at an edge.
TEST(DumpCursorArithmetic, ArrowKeysMoveOneCursorCellAndStopAtTheEdges)
{
    const struct
    {
        int16_t kind;
        GridCell from;
        int key;
        GridCell to;
    } cases[] = {
        {0, {6, 2}, ui::vbKeyLeft, {3, 2}},   {0, {3, 2}, ui::vbKeyLeft, {3, 2}},
        {0, {9, 2}, ui::vbKeyRight, {12, 2}}, {0, {12, 2}, ui::vbKeyRight, {12, 2}},
        {0, {6, 1}, ui::vbKeyUp, {6, 1}},     {0, {6, 2}, ui::vbKeyUp, {6, 1}},
        {0, {6, 16}, ui::vbKeyDown, {6, 17}}, {0, {6, 17}, ui::vbKeyDown, {6, 17}},
        {1, {6, 16}, ui::vbKeyDown, {6, 16}}, {2, {3, 5}, ui::vbKeyRight, {9, 5}},
        {2, {9, 5}, ui::vbKeyRight, {9, 5}},  {2, {9, 5}, ui::vbKeyLeft, {3, 5}},
        {2, {3, 16}, ui::vbKeyDown, {3, 16}},
    };
    for (const auto& c : cases)
    {
        const DumpCursor g = grid(c.kind);
        const std::optional<TwipsPoint> target =
            g.arrowTarget(c.key, float(c.from.x * 100), float(c.from.y * 200));
        ASSERT_TRUE(target) << "key " << c.key;
        EXPECT_EQ(g.cellAt(target->x, target->y), c.to)
            << "kind " << c.kind << " key " << c.key << " from " << c.from.x << ", " << c.from.y;
    }
    for (int other : {0, 32, int('A'), int('1')})
        EXPECT_FALSE(grid(0).arrowTarget(other, 300, 200)) << "key " << other;
}

TEST(DumpCursorArithmetic, CellsStandForByteOffsetsOrEepromWordsHighestFirst)
{
    const struct
    {
        int16_t kind;
        GridCell cell;
        bool upper;
        int address;
    } cases[] = {
        {0, {3, 1}, false, 0x03},  {0, {12, 1}, false, 0x00},  {0, {6, 2}, false, 0x06},
        {0, {3, 17}, false, 0x43}, {1, {12, 16}, false, 0x3C}, {1, {3, 16}, true, 0x3F},
        {2, {3, 1}, false, 0x01},  {2, {9, 1}, false, 0x00},   {2, {3, 16}, false, 0x1F},
        {2, {9, 16}, true, 0x3E},  {2, {3, 16}, true, 0x3F},
    };
    for (const auto& c : cases)
        EXPECT_EQ(grid(c.kind).editAddress(c.cell, c.upper), c.address)
            << "kind " << c.kind << " cell " << c.cell.x << ", " << c.cell.y;
}

TEST(DumpCursorArithmetic, OnlyTheConfigurationDumpHasARowSeventeenToReprint)
{
    EXPECT_TRUE(grid(0).reprintsRowAt(17 * 200));
    EXPECT_FALSE(grid(1).reprintsRowAt(17 * 200));
    EXPECT_FALSE(grid(2).reprintsRowAt(17 * 200));
    EXPECT_TRUE(grid(1).reprintsRowAt(16 * 200));
    EXPECT_EQ(grid(0).maxRow(), 17);
    EXPECT_EQ(grid(2).maxRow(), 16);
    EXPECT_EQ(grid(1).boxCells(), 2);
    EXPECT_EQ(grid(2).boxCells(), 5);
}
