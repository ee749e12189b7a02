// The library's exported entry points: each takes the one lock and hands over to the
// session method of the same name.
#include <mutex>

#include "lumbra_sim.h"
#include "process_host.h"
#include "session.h"

namespace
{

std::mutex gLock;

// Never destroyed: a call from another thread during process exit must not meet a
// session that static destruction has already taken apart.
lumbra::Session& session()
{
    static auto* instance = new lumbra::Session(lumbra::processHost());
    return *instance;
}

}  // namespace

#define LUMBRA_DEFINE(ret, name, params, args)                                                               \
    ret LUMBRA_CALL name params                                                                              \
    {                                                                                                        \
        std::lock_guard<std::mutex> hold(gLock);                                                             \
        return session().name args;                                                                          \
    }
LUMBRA_FUNCTIONS(LUMBRA_DEFINE)
#undef LUMBRA_DEFINE

int16_t LUMBRA_CALL LumbraSimAdvancePulses(int32_t chip, uint32_t pulses)
{
    std::lock_guard<std::mutex> hold(gLock);
    return session().LumbraSimAdvancePulses(chip, pulses);
}

void LUMBRA_CALL LumbraSimReset(void)
{
    std::lock_guard<std::mutex> hold(gLock);
    session().LumbraSimReset();
}
