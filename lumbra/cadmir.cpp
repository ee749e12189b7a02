#include "cadmir.h"

namespace lumbra
{

void Cadmir::arm(uint16_t period)
{
    period_ = period;
    target_ = (counter_ + period) & kMask;
    raised_ = 0;
}

void Cadmir::advance(uint64_t pulses, bool counting)
{
    if (armed())
    {
        uint64_t distance = (target_ - counter_) & kMask;
        // Only a counter loaded onto its own target gets here: it fires when it comes
        // round to it again, a full turn later.
        if (distance == 0)
            distance = uint64_t{kMask} + 1;
        if (pulses >= distance)
        {
            const uint64_t fired = 1 + (pulses - distance) / period_;
            target_ = static_cast<uint32_t>((target_ + fired * period_) & kMask);
            if (counting)
                raised_ = static_cast<uint16_t>(raised_ + fired);
        }
    }
    counter_ = static_cast<uint32_t>((counter_ + pulses) & kMask);
}

}  // namespace lumbra
