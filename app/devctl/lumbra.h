// The device-control library contract: the one declaration of every entry point
// the program binds at run time. The program (through Module1) and our simulated
// library both include this header, so the two cannot drift apart.
#pragma once

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define LUMBRA_CALL __stdcall
#else
#define LUMBRA_CALL
#endif

#if defined(_WIN32)
#define LUMBRA_EXPORT __declspec(dllexport)
#else
#define LUMBRA_EXPORT __attribute__((visibility("default")))
#endif

// Length of the record TavrinReadIntrStat fills.
#define LUMBRA_INTR_RECORD_SIZE 14

// X(result type, name, parameter list, argument names)
#define LUMBRA_FUNCTIONS(X)                                                                                  \
    X(int16_t, PciOpenDevice, (void), ())                                                                    \
    X(int16_t, PciCloseDevice, (void), ())                                                                   \
    X(int32_t, PciGetVxdVersion, (void), ())                                                                 \
    X(int32_t, PciFindDevice, (void), ())                                                                    \
    X(int16_t, PciRegisterDevice, (int32_t chip), (chip))                                                    \
    X(int16_t, PciReadConfigReg, (int32_t chip, int32_t offset, int32_t * value), (chip, offset, value))     \
    X(int16_t, PciWriteConfigReg, (int32_t chip, int32_t offset, int32_t value), (chip, offset, value))      \
    X(int16_t, OrvelReadModeReg, (int32_t chip, int32_t offset, int32_t * value), (chip, offset, value))     \
    X(int16_t, OrvelWriteModeReg, (int32_t chip, int32_t offset, int32_t value), (chip, offset, value))      \
    X(int16_t, OrvelReadEep, (int32_t chip, int32_t address, int32_t * value), (chip, address, value))       \
    X(int16_t, OrvelWriteEep, (int32_t chip, int32_t address, int32_t value), (chip, address, value))        \
    X(int16_t, TavrinInitEep, (int32_t chip), (chip))                                                        \
    X(int16_t, TavrinReadInport, (int32_t chip, uint8_t * value), (chip, value))                             \
    X(int16_t, TavrinReadOutport, (int32_t chip, uint8_t * value), (chip, value))                            \
    X(int16_t, TavrinWriteOutport, (int32_t chip, uint8_t value), (chip, value))                             \
    X(int16_t, CadmirReadCounter, (int32_t chip, int32_t * value), (chip, value))                            \
    X(int16_t, TavrinInitCadmir, (int32_t chip, int32_t mode, int32_t data), (chip, mode, data))             \
    X(int16_t, TavrinOpenIntr, (int32_t chip, uint16_t pulses), (chip, pulses))                              \
    X(int16_t, TavrinUnmaskIntr, (void), ())                                                                 \
    X(int16_t, TavrinMaskIntr, (void), ())                                                                   \
    X(int16_t, TavrinCloseIntr, (int32_t handle), (handle))                                                  \
    X(int16_t, TavrinReadIntrStat, (uint8_t * record), (record))

#ifdef __cplusplus
extern "C"
{
#endif

#define LUMBRA_DECLARE(ret, name, params, args) typedef ret(LUMBRA_CALL* name##_fn) params;
    LUMBRA_FUNCTIONS(LUMBRA_DECLARE)
#undef LUMBRA_DECLARE

#ifdef LUMBRA_BUILDING_LIBRARY
#define LUMBRA_DECLARE(ret, name, params, args) LUMBRA_EXPORT ret LUMBRA_CALL name params;
    LUMBRA_FUNCTIONS(LUMBRA_DECLARE)
#undef LUMBRA_DECLARE
#endif

#ifdef __cplusplus
}
#endif
