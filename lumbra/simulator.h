// The simulated boards behind the contract. Not thread-safe by itself: the exported
// entry points serialise every call on one mutex.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "board.h"
#include "faults.h"
#include "lumbra.h"
#include "pulse_clock.h"
#include "settings.h"
#include "state_file.h"

namespace lumbra
{

inline constexpr int32_t kVxdVersion = 0x0104;

// What the simulator takes from the process, replaceable so tests can drive the clock
// and the environment themselves.
struct Host
{
    std::function<uint64_t()> nowNs;  // monotonic
    Getenv getenv;
    std::function<void(const std::string&)> warn;
};

class Simulator
{
public:
    explicit Simulator(Host host) : host_(std::move(host)) {}

    // One method per entry point, with the contract's own name and parameters.
#define LUMBRA_METHOD(ret, name, params, args) ret name params;
    LUMBRA_FUNCTIONS(LUMBRA_METHOD)
#undef LUMBRA_METHOD

    int16_t LumbraSimAdvancePulses(int32_t chip, uint32_t pulses);
    void LumbraSimReset();

private:
    bool enter(Fn fn, std::optional<int32_t> chip = {}, std::optional<int32_t> address = {});
    Board* enterChip(Fn fn, int32_t chip, std::optional<int32_t> address = {});
    Board* boardFor(int32_t chip);
    bool counting(int32_t chip) const { return chip == intrChip_ && !masked_; }
    void catchUp();
    void releaseInterrupt();
    void keepEeproms();
    void report(const std::vector<std::string>& warnings) const;

    Host host_;
    bool open_ = false;
    Settings settings_;
    std::string faultText_;
    FaultPlan faults_;
    PulseClock clock_;
    // Grows and never shrinks: a board keeps what was written to it for the life of
    // the process, even while a later open hides it behind a smaller chip count.
    std::vector<Board> boards_;
    EepromImages kept_;
    int32_t intrChip_ = 0;  // chip whose counter interrupt is open, 0 for none
    bool masked_ = true;
};

}  // namespace lumbra
