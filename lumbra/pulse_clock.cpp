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
    // Nanoseconds times the rate overflows 64 bits after a few weeks at 10 MHz, so whole
    // seconds and the nanoseconds left over are counted apart (exactly: the seconds'
    // part divides evenly). 32-bit targets have no 128-bit integer to do it in one.
    constexpr uint64_t kNsPerSecond = 1'000'000'000u;
    const uint64_t elapsed = nowNs - originNs_;
    const uint64_t due = elapsed / kNsPerSecond * hz_ + elapsed % kNsPerSecond * hz_ / kNsPerSecond;
    if (due <= credited_)
        return 0;
    const uint64_t owed = due - credited_;
    credited_ = due;
    return owed;
}

}  // namespace lumbra
