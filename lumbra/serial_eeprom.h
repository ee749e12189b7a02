// The simulated board's serial EEPROM: 64 words behind chip select, clock, data in and
// data out, answering READ, WRITE, ERASE, EWEN and EWDS as the three-wire parts do,
// with a programming time during which data out reads busy.
#pragma once

#include <array>
#include <cstdint>

#include "registers.h"

namespace lumbra
{

class SerialEeprom
{
public:
    using Words = std::array<uint16_t, reg::kEepromWords>;
    static constexpr uint64_t kWriteTimeNs = 200'000;

    explicit SerialEeprom(const Words& words) : words_(words) {}

    // The levels the control register now drives; edges are found against the last call.
    void drive(bool cs, bool sk, bool di, uint64_t nowNs);
    bool dataOut(uint64_t nowNs) const;
    bool ready(uint64_t nowNs) const { return nowNs >= busyUntil_; }

    const Words& words() const { return words_; }
    // True once after a programming cycle changed the words (for keeping them on disk).
    bool takeChange();

private:
    enum class Phase
    {
        Idle,     // deselected, or the command is complete
        Start,    // selected, waiting for the start bit
        Command,  // shifting in opcode and address
        Read,     // shifting out a word
        Data,     // shifting in a word to write
    };
    enum class Program
    {
        None,
        Write,
        Erase
    };

    void clock(bool di, uint64_t nowNs);
    void command(uint32_t opcode, uint32_t address, uint64_t nowNs);

    Words words_;
    bool cs_ = false, sk_ = false;
    Phase phase_ = Phase::Idle;
    uint32_t shift_ = 0;
    int bits_ = 0;
    uint32_t address_ = 0;
    bool out_ = false;
    bool writeEnabled_ = false;  // the part powers up refusing to program
    Program program_ = Program::None;
    bool showStatus_ = false;
    uint64_t busyUntil_ = 0;
    bool changed_ = false;
};

}  // namespace lumbra
