#pragma once

#include <cstdint>
#include <string>

// Upper-case hexadecimal without prefix, zeros put in front up to `minDigits`
// digits. Negative values show their 32-bit two's-complement pattern.
std::string hexPad(int64_t value, int minDigits);

// Two upper-case hex digits of byte `index` (0 to 67) of regData / eepData.
std::string regByteHex(int16_t index);
std::string eepByteHex(int16_t index);

namespace ui
{
class PictureBox;
}
using ui::PictureBox;

// Redraws the register dump box (the main window's picDump) from regData: 17
// rows (00 to 40) when shortGrid is 0, else 16.
void drawRegisterGrid(PictureBox* box, int16_t shortGrid);

// Redraws the two EEPROM halves: words 00-1F on `lower` (picDump), 20-3F on
// `upper` (picDump2).
void drawEepromGrids(PictureBox* lower, PictureBox* upper);

// Prints `text` in black with its top-left corner at (x, y): an invisible
// white point moves the print position there first.
void printAt(PictureBox* box, double x, double y, const std::string& text);

// A readout box shows one value: the box is cleared, then the text printed at (x, y).
void printReadout(PictureBox* box, double x, double y, const std::string& text);

// Colours of the grids.
inline constexpr uint32_t kGreen = 0x008000;
inline constexpr uint32_t kBlack = 0x000000;
inline constexpr uint32_t kWhite = 0xFFFFFF;
inline constexpr int kCopyPen = 13;
