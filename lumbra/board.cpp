#include "board.h"

#include <algorithm>

namespace lumbra
{

namespace
{

struct RegisterBits
{
    uint32_t writable;
    uint32_t clearOnOne;  // status bits a write of 1 clears
};

// Type 0 header plus one device-specific register at 0x40; the rest of the 256 bytes
// reads as zero. A BAR's writable bits are its size mask: writing all ones and
// reading back gives the size.
constexpr std::array<RegisterBits, 17> kConfigBits = {{
    {0, 0},                    // 0x00 device and vendor ID
    {0x00000547, 0xF9000000},  // 0x04 command: I/O, memory, master, parity, SERR, INTx off; status
    {0, 0},                    // 0x08 class code and revision
    {0x0000FFFF, 0},           // 0x0C cache line size, latency timer; header type, BIST fixed
    {0xFFFFFF00, 0},           // 0x10 BAR0: 256 bytes of I/O
    {0xFFFFF000, 0},           // 0x14 BAR1: 4 KiB of 32-bit memory, not prefetchable
    {0, 0},                    // 0x18 BAR2 to 0x24 BAR5: not implemented
    {0, 0},
    {0, 0},
    {0, 0},
    {0, 0},           // 0x28 CardBus CIS pointer
    {0, 0},           // 0x2C subsystem IDs, loaded from the EEPROM
    {0, 0},           // 0x30 no expansion ROM
    {0, 0},           // 0x34 no capabilities list
    {0, 0},           // 0x38 reserved
    {0x000000FF, 0},  // 0x3C interrupt line; pin INTA, MIN_GNT, MAX_LAT fixed
    {0xFFFFFFFF, 0},  // 0x40 local bus control
}};

constexpr uint32_t kIoBase = 0xD001;  // bit 0: I/O space indicator
constexpr uint32_t kMemoryBase = 0xFEB00000;

// Lines a BIOS of the board's era would hand out; boards beyond them get APIC lines.
constexpr std::array<uint8_t, 8> kInterruptLines = {11, 10, 9, 5, 7, 3, 4, 15};

struct ModeRegister
{
    uint32_t reset;
    uint32_t writable;
};

constexpr std::array<ModeRegister, 16> kModeRegisters = {{
    {0x0B170001, 0},           // 0x00 chip ID and revision
    {0x00000000, 0x0000FFFF},  // 0x04 control
    {0x80000000, 0},           // 0x08 status: bit 31 EEPROM ready, bit 0 counter interrupt armed
    {0x00001F03, 0x0000FFFF},  // 0x0C local bus configuration
    {0x00000202, 0x00000F0F},  // 0x10 to 0x1C local bus timing, four windows
    {0x00000202, 0x00000F0F},
    {0x00000202, 0x00000F0F},
    {0x00000202, 0x00000F0F},
    {0x00000000, 0x000000FF},  // 0x20 general-purpose pin direction
    {0x00000000, 0x000000FF},  // 0x24 general-purpose pin data
    {0x00000000, 0xFFFFFFFF},  // 0x28 scratch
    {0x00000000, 0xFFFFFFFF},  // 0x2C scratch
    {0x00004000, 0x00000003},  // 0x30 EEPROM control: CS and SK; DI and DO are wires, see below
    {0x00000000, 0x0000FFFF},  // 0x34 Cadmir control
    {0x00000000, 0x00000001},  // 0x38 interrupt control: INTA enable; the pending bit is live
    {0x00000000, 0},           // 0x3C reserved
}};

std::optional<size_t> registerIndex(uint32_t offset, size_t count)
{
    if (offset % 4 != 0 || offset / 4 >= count)
        return std::nullopt;
    return static_cast<size_t>(offset / 4);
}

}  // namespace

Board::Eeprom Board::factoryEeprom(int32_t chip)
{
    Eeprom words;
    words.fill(0xFFFF);  // erased cells
    const uint16_t image[] = {
        kVendorId,
        kDeviceId,  // the IDs the chip answers with
        kVendorId,
        0x0001,  // subsystem vendor and subsystem
        0x1180,
        0x0001,  // class 0x1180 (other data acquisition), revision 1
        0x0001,
        0x0000,                                // interrupt pin INTA
        static_cast<uint16_t>(0x1000 + chip),  // serial number, low word first
        0x00A1,
        0x1F03,
        0x0202,  // local bus configuration and timing at power-up
    };
    std::copy(std::begin(image), std::end(image), words.begin());
    seal(words);
    return words;
}

void Board::seal(Eeprom& words)
{
    uint16_t sum = 0;
    for (int i = 0; i < kChecksum; ++i)
        sum = static_cast<uint16_t>(sum + words[i]);
    words[kChecksum] = static_cast<uint16_t>(-sum);
}

Board::Board(int32_t chip, const Eeprom& eeprom) : chip_(chip), eeprom_(eeprom)
{
    const auto index = static_cast<uint32_t>(chip - 1);
    config_[0x00 / 4] = uint32_t{kDeviceId} << 16 | kVendorId;
    config_[0x04 / 4] = 0x02000003;  // medium DEVSEL timing; I/O and memory decoding on
    config_[0x08 / 4] = 0x11800001;
    config_[0x0C / 4] = 0x00002000;  // latency timer 0x20
    config_[0x10 / 4] = kIoBase + index * 0x100;
    config_[0x14 / 4] = kMemoryBase + index * 0x1000;
    config_[0x2C / 4] = uint32_t{eeprom[3]} << 16 | eeprom[2];
    const uint8_t line = index < kInterruptLines.size()
                             ? kInterruptLines[index]
                             : static_cast<uint8_t>(16 + index - kInterruptLines.size());
    config_[0x3C / 4] = 0x00000100 | line;
    for (size_t i = 0; i < mode_.size(); ++i)
        mode_[i] = kModeRegisters[i].reset;
}

std::optional<uint32_t> Board::readConfig(uint32_t offset) const
{
    const auto index = registerIndex(offset, config_.size());
    if (!index)
        return std::nullopt;
    return config_[*index];
}

bool Board::writeConfig(uint32_t offset, uint32_t value)
{
    const auto index = registerIndex(offset, config_.size());
    if (!index)
        return false;
    if (*index < kConfigBits.size())
    {
        const auto bits = kConfigBits[*index];
        uint32_t& reg = config_[*index];
        reg = (reg & ~bits.writable) | (value & bits.writable);
        reg &= ~(value & bits.clearOnOne);
    }
    return true;
}

std::optional<uint8_t> Board::readPort(uint32_t offset) const
{
    if (offset >= reg::kBar0Size)
        return std::nullopt;
    if (offset == reg::kPortData)
        return inportLoopback ? outport_ : inport;
    if (offset == reg::kPortLatch)
        return outport_;
    return cadmir_.read(offset);
}

bool Board::writePort(uint32_t offset, uint8_t value)
{
    if (offset >= reg::kBar0Size)
        return false;
    if (offset == reg::kPortData)
        outport_ = value;
    else
        cadmir_.write(offset, value);
    return true;
}

std::optional<uint32_t> Board::readMemory(uint32_t offset, uint64_t nowNs) const
{
    if (offset >= reg::kBar1Size || offset % 4 != 0)
        return std::nullopt;
    const auto index = offset / 4;
    if (index >= mode_.size())
        return 0;  // the rest of the window decodes to nothing
    uint32_t value = mode_[index];
    if (offset == reg::kModeStatus)
    {
        value &= ~(reg::kStatusEepromReady | reg::kStatusCounterOpen);
        if (eeprom_.ready(nowNs))
            value |= reg::kStatusEepromReady;
        if (cadmir_.compareOn())
            value |= reg::kStatusCounterOpen;
    }
    if (offset == reg::kModeEeprom && eeprom_.dataOut(nowNs))
        value |= reg::kEepDo;
    if (offset == reg::kModeInterrupt && pending_)
        value |= reg::kIntaPending;
    return value;
}

bool Board::writeMemory(uint32_t offset, uint32_t value, uint64_t nowNs)
{
    if (offset >= reg::kBar1Size || offset % 4 != 0)
        return false;
    const auto index = offset / 4;
    if (index >= mode_.size())
        return true;
    const uint32_t writable = kModeRegisters[index].writable;
    mode_[index] = (mode_[index] & ~writable) | (value & writable);
    if (offset == reg::kModeEeprom)
        eeprom_.drive(value & reg::kEepCs, value & reg::kEepSk, value & reg::kEepDi, nowNs);
    if (offset == reg::kModeInterrupt && (value & reg::kIntaPending))
        pending_ = false;
    return true;
}

uint64_t Board::advance(uint64_t pulses)
{
    const uint64_t matches = cadmir_.advance(pulses);
    if (matches == 0)
        return 0;
    pending_ = true;
    return (mode_[reg::kModeInterrupt / 4] & reg::kIntaEnable) ? matches : 0;
}

}  // namespace lumbra
