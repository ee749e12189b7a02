// One simulated Tavrin board: the Orvel chip's configuration space, mode registers
// and EEPROM, the output latch and the Cadmir counter.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "cadmir.h"

namespace lumbra
{

inline constexpr uint16_t kVendorId = 0x7A5E;
inline constexpr uint16_t kDeviceId = 0x0B17;

class Board
{
public:
    static constexpr int kEepromWords = 64;
    using Eeprom = std::array<uint16_t, kEepromWords>;

    // What each board leaves the factory with; words 8 and 9 carry a serial number
    // that tells the chips apart, word 63 makes the 16-bit sum of all words zero.
    static Eeprom factoryEeprom(int32_t chip);

    // The EEPROM is given rather than taken from the factory so that a kept state
    // can be powered up; the chip loads its subsystem IDs from it as it would at reset.
    Board(int32_t chip, const Eeprom& eeprom);

    // Offsets are byte offsets of 32-bit registers; a misaligned or out-of-range one
    // is refused. Writes to read-only bits are dropped without complaint, as on the bus.
    std::optional<uint32_t> readConfig(int32_t offset) const;
    bool writeConfig(int32_t offset, uint32_t value);
    uint8_t interruptLine() const;

    std::optional<uint32_t> readMode(int32_t offset) const;
    bool writeMode(int32_t offset, uint32_t value);

    std::optional<uint16_t> readEeprom(int32_t address) const;
    bool writeEeprom(int32_t address, uint16_t word);
    void restoreEeprom() { eeprom_ = factoryEeprom(chip_); }
    const Eeprom& eeprom() const { return eeprom_; }

    uint8_t outport = 0;
    Cadmir cadmir;

private:
    int32_t chip_;
    std::array<uint32_t, 64> config_{};
    std::array<uint32_t, 16> mode_{};
    Eeprom eeprom_;
};

}  // namespace lumbra
