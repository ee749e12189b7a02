// The Tavrin board's register map: what the Orvel chip answers in configuration space,
// what sits in its two address ranges, and how the serial EEPROM and the Cadmir counter
// are driven. The session layer and the simulated board both read from here, so the
// board the library drives and the board it simulates cannot drift apart.
#pragma once

#include <cstdint>

namespace lumbra::reg
{

inline constexpr uint16_t kVendorId = 0x7A5E;
inline constexpr uint16_t kDeviceId = 0x0B17;

// Configuration space (256 bytes, type 0 header).
inline constexpr uint32_t kConfigSize = 0x100;
inline constexpr uint32_t kCfgId = 0x00;
inline constexpr uint32_t kCfgCommand = 0x04;  // command low, status high
inline constexpr uint32_t kCfgClass = 0x08;
inline constexpr uint32_t kCfgBar0 = 0x10;
inline constexpr uint32_t kCfgBar1 = 0x14;
inline constexpr uint32_t kCfgSubsystem = 0x2C;
inline constexpr uint32_t kCfgInterrupt = 0x3C;     // line in bits 7-0, pin in 15-8
inline constexpr uint32_t kCfgLocalBus = 0x40;      // device-specific, all bits writable
inline constexpr uint32_t kCommandIntxOff = 0x400;  // the standard interrupt-disable bit

// BAR0: 256 bytes of I/O, accessed a byte at a time.
inline constexpr uint32_t kBar0Size = 0x100;
inline constexpr uint32_t kPortData = 0x00;       // reads the input port, writes the output latch
inline constexpr uint32_t kPortLatch = 0x01;      // reads the output latch back
inline constexpr uint32_t kCadmirMode = 0x10;     // data: counting mode, 0 counts every pulse up
inline constexpr uint32_t kCadmirStatus = 0x11;   // bit 0 compare matched; writing 1 clears it
inline constexpr uint32_t kCadmirCommand = 0x12;  // write only, reads 0
inline constexpr uint32_t kCadmirControl = 0x13;  // bit 0 compare interrupt enabled
inline constexpr uint32_t kCadmirCounter =
    0x14;  // 0x14-0x16, low byte first: reads the latch, writes the preload
inline constexpr uint32_t kCadmirCompare = 0x18;  // 0x18-0x1A, low byte first
inline constexpr uint32_t kCadmirStep = 0x1C;     // 0x1C-0x1D: how far the compare moves on each match

inline constexpr uint8_t kCadmirMatched = 0x01;
inline constexpr uint8_t kCadmirCompareOn = 0x01;
inline constexpr uint8_t kCmdLoad = 0x01;   // counter <- preload
inline constexpr uint8_t kCmdLatch = 0x02;  // counter read latch <- counter
inline constexpr uint8_t kCmdArm = 0x04;  // compare <- counter + step, in one step so no pulse slips between
inline constexpr uint32_t kCounterMask = 0xFFFFFF;

// BAR1: 4 KiB of memory; the mode registers are its first sixteen 32-bit words.
inline constexpr uint32_t kBar1Size = 0x1000;
inline constexpr uint32_t kModeCount = 16;
inline constexpr uint32_t kModeChipId = 0x00;
inline constexpr uint32_t kModeStatus = 0x08;  // bit 31 EEPROM ready, bit 0 counter interrupt open
inline constexpr uint32_t kModeEeprom = 0x30;  // EEPROM control
inline constexpr uint32_t kModeInterrupt = 0x38;

inline constexpr uint32_t kStatusEepromReady = 0x80000000;
inline constexpr uint32_t kStatusCounterOpen = 0x00000001;

// EEPROM control: the serial EEPROM's four wires, and its size in words in bits 15-8.
inline constexpr uint32_t kEepCs = 0x1;  // chip select
inline constexpr uint32_t kEepSk = 0x2;  // clock; DI is taken on its rising edge
inline constexpr uint32_t kEepDi = 0x4;  // data into the EEPROM; reads 0
inline constexpr uint32_t kEepDo = 0x8;  // data out of it, read only: data bits, or ready after a write
inline constexpr uint32_t kEepSizeShift = 8;

// Interrupt control: the counter's compare match raises INTA through here.
inline constexpr uint32_t kIntaEnable = 0x1;
inline constexpr uint32_t kIntaPending = 0x2;  // set by a compare match; writing 1 clears it

// The serial EEPROM: 64 words of 16 bits, commands of a start bit, two opcode bits and
// six address bits, data most significant bit first.
inline constexpr int kEepromWords = 64;
inline constexpr int kEepAddressBits = 6;
inline constexpr uint32_t kOpRead = 0b10;
inline constexpr uint32_t kOpWrite = 0b01;
inline constexpr uint32_t kOpErase = 0b11;
inline constexpr uint32_t kOpSpecial = 0b00;  // the address's top two bits say which
inline constexpr uint32_t kSpecialEwen = 0b11;
inline constexpr uint32_t kSpecialEwds = 0b00;

}  // namespace lumbra::reg
