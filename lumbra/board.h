// One simulated Tavrin board at register level: the Orvel chip's configuration space
// and mode registers, its serial EEPROM, the ports and the Cadmir counter in BAR0, and
// the INTA line. It answers exactly the accesses a real board would.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "cadmir.h"
#include "registers.h"
#include "serial_eeprom.h"

namespace lumbra
{

using reg::kDeviceId;
using reg::kVendorId;

class Board
{
public:
    static constexpr int kEepromWords = reg::kEepromWords;
    using Eeprom = SerialEeprom::Words;

    // What each board leaves the factory with; words 8 and 9 carry a serial number
    // that tells the chips apart, word 63 makes the 16-bit sum of all words zero.
    static Eeprom factoryEeprom(int32_t chip);
    static constexpr int kSerialLow = 8, kSerialHigh = 9, kChecksum = 63;
    // Sets word 63 so that the 16-bit sum of all words is zero.
    static void seal(Eeprom& words);

    // The EEPROM is given rather than taken from the factory so that a kept state
    // can be powered up; the chip loads its subsystem IDs from it as it would at reset.
    Board(int32_t chip, const Eeprom& eeprom);

    // Writes to read-only bits are dropped without complaint, as on the bus; only an
    // access outside a space or misaligned is refused.
    std::optional<uint32_t> readConfig(uint32_t offset) const;
    bool writeConfig(uint32_t offset, uint32_t value);
    std::optional<uint8_t> readPort(uint32_t offset) const;
    bool writePort(uint32_t offset, uint8_t value);
    // The EEPROM's programming time runs on the clock given here.
    std::optional<uint32_t> readMemory(uint32_t offset, uint64_t nowNs) const;
    bool writeMemory(uint32_t offset, uint32_t value, uint64_t nowNs);

    // Pulses into the counter; answers the interrupts INTA raised (each compare match is
    // one, as if every one had been acknowledged in time).
    uint64_t advance(uint64_t pulses);

    const Eeprom& eeprom() const { return eeprom_.words(); }
    bool takeEepromChange() { return eeprom_.takeChange(); }

    // What the input port reads.
    uint8_t inport = 0xA5;
    bool inportLoopback = false;

private:
    int32_t chip_;
    std::array<uint32_t, 64> config_{};
    std::array<uint32_t, reg::kModeCount> mode_{};
    SerialEeprom eeprom_;
    Cadmir cadmir_;
    uint8_t outport_ = 0;
    bool pending_ = false;
};

}  // namespace lumbra
