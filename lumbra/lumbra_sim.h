// Entry points of the simulated library that only tests call: they steer the
// simulation and are not part of the device-control contract.
#pragma once

#include <stdint.h>

#include "lumbra.h"

#ifdef LUMBRA_BUILDING_LIBRARY
#define LUMBRA_SIM_API LUMBRA_EXPORT
#else
#define LUMBRA_SIM_API
#endif

#ifdef __cplusplus
extern "C"
{
#endif

// Code linked straight against the simulated library (rather than binding it by
// name) needs the contract's functions declared too.
#ifndef LUMBRA_BUILDING_LIBRARY
#define LUMBRA_DECLARE(ret, name, params, args) ret LUMBRA_CALL name params;
    LUMBRA_FUNCTIONS(LUMBRA_DECLARE)
#undef LUMBRA_DECLARE
#endif

    // Moves a chip's counter on by `pulses` at once, raising the interrupts it passes, as
    // if that many pulses had come in. 0 before the library is opened or for a bad chip.
    LUMBRA_SIM_API int16_t LUMBRA_CALL LumbraSimAdvancePulses(int32_t chip, uint32_t pulses);

    // Forgets everything, as if the process had just loaded the library: boards, the open
    // state, the interrupt, the fault rules and their call counts.
    LUMBRA_SIM_API void LUMBRA_CALL LumbraSimReset(void);

#ifdef __cplusplus
}
#endif
