// The Cadmir counter beside each Orvel chip: a 24-bit pulse counter with a compare
// target that reloads itself every `period` pulses and counts the interrupts raised.
#pragma once

#include <cstdint>

namespace lumbra
{

class Cadmir
{
public:
    static constexpr uint32_t kMask = 0xFFFFFF;

    uint32_t counter() const { return counter_; }
    void load(uint32_t value) { counter_ = value & kMask; }

    // Sets the next target `period` pulses ahead and starts the interrupt count afresh.
    void arm(uint16_t period);
    void disarm() { period_ = 0; }
    bool armed() const { return period_ != 0; }

    uint16_t period() const { return period_; }
    uint32_t target() const { return target_; }
    uint16_t raised() const { return raised_; }

    // Moves the counter on. Every time it steps onto the target an interrupt is due and
    // the target moves `period` further; the interrupt is counted only when `counting`
    // (the interrupt is unmasked), but the target moves either way, as the compare
    // register reloads whether or not anybody listens.
    void advance(uint64_t pulses, bool counting);

private:
    uint32_t counter_ = 0;
    uint32_t target_ = 0;
    uint16_t period_ = 0;
    uint16_t raised_ = 0;  // wraps at 16 bits like the status record's field
};

}  // namespace lumbra
