// A library that offers one entry point of the contract only, to show how the
// program meets a library that lacks a function. Counts its calls so a test
// can tell a direct call from a fresh resolution.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) int16_t PciOpenDevice(void)
{
    static int16_t calls = 6;
    return ++calls;
}
