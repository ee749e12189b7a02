#include "DumpCursor.h"

#include "ui/Controls.h"

#include <algorithm>
#include <cmath>

namespace
{

// Integer division of a coordinate by a cell, the coordinate first rounded
// to the nearest whole number with halves to even.
int cellOf(float v, int cell) { return int(std::nearbyint(v)) / cell; }

}  // namespace

GridCell DumpCursor::cellAt(float x, float y) const
{
    const bool eeprom = dumpKind == 2;
    int col = cellOf(x, cellWidth);
    // Snap back to the start of the cursor column; the remainder carries the
    // sign of col - 3, so a column left of the data never snaps rightwards.
    const int step = eeprom ? 6 : 3;
    const int r = (col - 3) % step;
    if (r != 0)
        col -= r;
    col = std::clamp(col, 3, eeprom ? 9 : 12);
    const int row = std::clamp(cellOf(y, cellHeight), 1, maxRow());
    return GridCell{col, row};
}

std::optional<TwipsPoint> DumpCursor::arrowTarget(int keyCode, float x, float y) const
{
    switch (keyCode)
    {
        case ui::vbKeyLeft:
            return TwipsPoint{x - cellWidth, y};
        case ui::vbKeyUp:
            return TwipsPoint{x, y - cellHeight};
        case ui::vbKeyRight:
            return TwipsPoint{x + float((dumpKind == 2 ? 6 : 3) * cellWidth), y};
        case ui::vbKeyDown:
            return TwipsPoint{x, y + cellHeight};
        default:
            return std::nullopt;
    }
}

bool DumpCursor::reprintsRowAt(float y) const { return !(dumpKind != 0 && y == 17.0f * cellHeight); }

int DumpCursor::editAddress(GridCell cell, bool upper) const
{
    if (dumpKind != 2)
        return 4 * (cell.y - 1) + 3 - (cell.x - 3) / 3;
    return 2 * (cell.y - 1) + 1 - (cell.x - 3) / 6 + (upper ? 32 : 0);
}
