#pragma once

#include <cstdint>
#include <optional>

// A cell of the dump grid: column and row.
struct GridCell
{
    int x;
    int y;
    bool operator==(const GridCell&) const = default;
};

// A point in the dump box, in twips.
struct TwipsPoint
{
    float x;
    float y;
    bool operator==(const TwipsPoint&) const = default;
};

// The arithmetic of the dump cursor, apart from any widget: which cell a point
// means, where an arrow key sends the cursor, and what the cell under it
// stands for. Coordinates are in the dump box's units (twips), cells in grid
// columns and rows (row 0 is the header, data starts at column 3).
struct DumpCursor
{
    int16_t dumpKind;  // 0 configuration registers, 1 mode registers, 2 EEPROM
    int cellWidth;
    int cellHeight;

    // The last cursor row: 17 in the configuration dump, 16 in the others.
    int maxRow() const { return dumpKind == 0 ? 17 : 16; }
    // Width of the cursor box in cells: a word in the EEPROM dump, else a byte.
    int boxCells() const { return dumpKind == 2 ? 5 : 2; }

    // The cursor cell that holds (x, y): each coordinate rounded half to even
    // and divided by its cell with the remainder dropped, the column snapped
    // back to the start of its cursor column, both clamped to the grid.
    GridCell cellAt(float x, float y) const;

    // Where an arrow key sends a cursor standing at (x, y), before snapping;
    // nothing for any other key. Left and Up step one cell and leave the rest
    // to the snapping; Right jumps a whole cursor column.
    std::optional<TwipsPoint> arrowTarget(int keyCode, float x, float y) const;

    // Whether erasing a cursor at y reprints the row it covered: the mode and
    // EEPROM grids have no row 17, so nothing is printed there.
    bool reprintsRowAt(float y) const;

    // What a cursor cell stands for: the byte offset in the register dumps, the
    // EEPROM word number in the EEPROM dump (`upper` for picDump2's words
    // 0x20-0x3F). In a row the left column is the higher offset.
    int editAddress(GridCell cell, bool upper) const;
};
