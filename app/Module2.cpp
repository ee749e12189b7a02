#include "Module2.h"

#include "start.h"
#include "ui/Controls.h"

#include <array>
#include <cstdio>

std::string hexPad(int64_t value, int minDigits)
{
    char digits[9];
    std::snprintf(digits, sizeof digits, "%X", unsigned(uint32_t(value)));
    std::string text(digits);
    if (int(text.size()) < minDigits)
        text.insert(0, std::size_t(minDigits) - text.size(), '0');
    return text;
}

std::string regByteHex(int16_t index) { return hexPad(app().regData.at(index), 2); }
std::string eepByteHex(int16_t index) { return hexPad(app().eepData.at(index), 2); }

void printAt(PictureBox* box, double x, double y, const std::string& text)
{
    box->setForeColor(kWhite);
    box->PSet(x, y);
    box->setForeColor(kBlack);
    box->Print(text);
}

void printReadout(PictureBox* box, double x, double y, const std::string& text)
{
    box->Cls();
    printAt(box, x, y, text);
}

namespace
{

using ByteHex = std::string (*)(int16_t);

void startGrid(PictureBox* box)
{
    box->Cls();
    box->setForeColor(kGreen);
    box->setDrawMode(kCopyPen);
}

// Prints `rows` data rows at column 3, remembering each text for the cursor,
// which reprints a row over the cursor box and over its erased cell.
void printDataRows(PictureBox* box, int rows, ByteHex byteHex, std::array<std::string, 18>& texts)
{
    const AppState& s = app();
    for (int j = 0; j < rows; ++j)
    {
        texts[j] = byteHex(int16_t(4 * j + 3)) + ' ' + byteHex(int16_t(4 * j + 2)) + ' ' +
                   byteHex(int16_t(4 * j + 1)) + ' ' + byteHex(int16_t(4 * j));
        printAt(box, 3.0 * s.cellWidth, double(j + 1) * s.cellHeight, texts[j]);
    }
}

}  // namespace

void drawRegisterGrid(PictureBox* box, int16_t shortGrid)
{
    AppState& s = app();
    const int last = shortGrid != 0 ? 15 : 16;
    startGrid(box);
    box->Print(s.hdrDword);
    for (int i = 0; i <= last; ++i)
        box->Print(hexPad(4 * i, 2));
    printDataRows(box, last + 1, regByteHex, s.dumpRows);
    box->Refresh();
}

void drawEepromGrids(PictureBox* lower, PictureBox* upper)
{
    AppState& s = app();
    startGrid(lower);
    startGrid(upper);
    lower->Print(s.hdrWord);
    upper->Print(s.hdrWord);
    for (int i = 0; i <= 15; ++i)
        lower->Print(hexPad(2 * i, 2));
    for (int i = 0; i <= 15; ++i)
        upper->Print(hexPad(2 * (i + 16), 2));
    printDataRows(lower, 16, regByteHex, s.dumpRows);
    lower->Refresh();
    printDataRows(upper, 16, eepByteHex, s.dumpRows2);
    upper->Refresh();
}
