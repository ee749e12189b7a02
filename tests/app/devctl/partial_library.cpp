// A library that offers one entry point of the contract only, to show how the
// program meets a library that lacks a function. Counts its calls so a test
// can tell a direct call from a fresh resolution.
#include "devctl/lumbra.h"

extern "C" LUMBRA_EXPORT int16_t LUMBRA_CALL PciOpenDevice(void)
{
    static int16_t calls = 6;
    return ++calls;
}
