// Turns monotonic time into whole pulses at a set rate without drifting: the pulses
// owed are always worked out from the starting point, so fractions of a pulse left
// over between two calls are never lost.
#pragma once

#include <cstdint>

namespace lumbra
{

class PulseClock
{
public:
    void start(uint32_t hz, uint64_t nowNs);
    // Pulses due since the previous call (or since start).
    uint64_t take(uint64_t nowNs);

private:
    uint32_t hz_ = 0;
    uint64_t originNs_ = 0;
    uint64_t credited_ = 0;
};

}  // namespace lumbra
