#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The one byte order of the program: a register or EEPROM word is kept in the
// dump buffers, and the interrupt record's fields arrive, least significant
// byte first; byte k of a value is bits 8k to 8k + 7 of its 32-bit pattern.

// Stores the low `to.size()` bytes of `value` into `to`.
inline void storeBytes(std::span<uint8_t> to, int32_t value)
{
    for (std::size_t k = 0; k < to.size(); ++k)
        to[k] = uint8_t(uint32_t(value) >> (8 * k));
}

// The value whose low bytes are `bytes`; four bytes give the full 32-bit pattern.
inline uint32_t packBytes(std::span<const uint8_t> bytes)
{
    uint32_t v = 0;
    for (std::size_t k = bytes.size(); k-- > 0;)
        v = v << 8 | bytes[k];
    return v;
}
