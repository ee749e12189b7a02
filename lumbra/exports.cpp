// The library's exported entry points: each takes the one lock and hands over to the
// simulator method of the same name.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "lumbra_sim.h"
#include "simulator.h"

namespace
{

std::mutex gLock;

lumbra::Host processHost()
{
    return {
        []
        {
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
        },
        [](const char* name) -> const char* { return std::getenv(name); },
        [](const std::string& line) { std::fprintf(stderr, "lumbra: %s\n", line.c_str()); },
    };
}

// Never destroyed: a call from another thread during process exit must not meet a
// simulator that static destruction has already taken apart.
lumbra::Simulator& simulator()
{
    static auto* instance = new lumbra::Simulator(processHost());
    return *instance;
}

}  // namespace

#define LUMBRA_DEFINE(ret, name, params, args)                                                               \
    ret LUMBRA_CALL name params                                                                              \
    {                                                                                                        \
        std::lock_guard<std::mutex> hold(gLock);                                                             \
        return simulator().name args;                                                                        \
    }
LUMBRA_FUNCTIONS(LUMBRA_DEFINE)
#undef LUMBRA_DEFINE

int16_t LUMBRA_CALL LumbraSimAdvancePulses(int32_t chip, uint32_t pulses)
{
    std::lock_guard<std::mutex> hold(gLock);
    return simulator().LumbraSimAdvancePulses(chip, pulses);
}

void LUMBRA_CALL LumbraSimReset(void)
{
    std::lock_guard<std::mutex> hold(gLock);
    simulator().LumbraSimReset();
}
