// The Cadmir counter chip beside each simulated Orvel: a 24-bit pulse counter with a
// compare register that moves itself on by a step at every match, seen through its
// byte registers in BAR0.
#pragma once

#include <cstdint>

namespace lumbra
{

class Cadmir
{
public:
    // reg is the offset inside BAR0 (0x10 to 0x1F); other offsets read 0.
    uint8_t read(uint32_t reg) const;
    void write(uint32_t reg, uint8_t value);

    // Moves the counter on and answers how many compare matches it passed while the
    // compare was enabled. Every match moves the compare a step further, so pulses given
    // at once raise as many matches as the same pulses given one by one.
    uint64_t advance(uint64_t pulses);

    bool compareOn() const;

private:
    uint32_t counter_ = 0;
    uint32_t preload_ = 0;
    uint32_t latch_ = 0;
    uint32_t compare_ = 0;
    uint16_t step_ = 0;
    uint8_t mode_ = 0;
    uint8_t status_ = 0;
    uint8_t control_ = 0;
};

}  // namespace lumbra
