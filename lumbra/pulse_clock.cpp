#include "pulse_clock.h"

namespace lumbra
{

void PulseClock::start(uint32_t hz, uint64_t nowNs)
{
    hz_ = hz;
    originNs_ = nowNs;
    credited_ = 0;
}

uint64_t PulseClock::take(uint64_t nowNs)
{
    if (hz_ == 0 || nowNs <= originNs_)
        return 0;
    // Nanoseconds times the rate overflows 64 bits after a few weeks at 10 MHz.
    const auto due =
        static_cast<uint64_t>(static_cast<unsigned __int128>(nowNs - originNs_) * hz_ / 1'000'000'000u);
    if (due <= credited_)
        return 0;
    const uint64_t owed = due - credited_;
    credited_ = due;
    return owed;
}

}  // namespace lumbra
