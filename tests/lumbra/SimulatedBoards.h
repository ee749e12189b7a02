// Fixture for tests that call the simulated library through its exported entry points,
// each starting from a freshly loaded library with a frozen pulse clock.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "lumbra_sim.h"

class SimulatedBoards : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : {"LUMBRA_SIM_CHIPS", "LUMBRA_SIM_INPORT", "LUMBRA_SIM_FAIL",
                                 "LUMBRA_SIM_STATE", "LUMBRA_DEVICE"})
            unsetEnv(name);
        // No test may hang on wall-clock time: the counter moves only when stepped.
        setEnv("LUMBRA_SIM_PULSE_HZ", "0");
        LumbraSimReset();
    }
    void TearDown() override { LumbraSimReset(); }

    // The environment the library reads at every open. Windows' C library has no
    // setenv; its _putenv_s sets the process's own environment block as well, which is
    // where the library reads it.
    static void setEnv(const char* name, const char* value)
    {
#ifdef _WIN32
        _putenv_s(name, value);
#else
        setenv(name, value, 1);
#endif
    }
    static void unsetEnv(const char* name)
    {
#ifdef _WIN32
        _putenv_s(name, "");  // an empty value removes the variable
#else
        unsetenv(name);
#endif
    }

    static void openWith(const char* name, const char* value)
    {
        setEnv(name, value);
        ASSERT_EQ(PciOpenDevice(), 1);
    }

    static int32_t config(int32_t chip, int32_t offset)
    {
        int32_t value = -1;
        EXPECT_EQ(PciReadConfigReg(chip, offset, &value), 1) << "offset " << offset;
        return value;
    }
    static int32_t mode(int32_t chip, int32_t offset)
    {
        int32_t value = -1;
        EXPECT_EQ(OrvelReadModeReg(chip, offset, &value), 1) << "offset " << offset;
        return value;
    }
    static int32_t eeprom(int32_t chip, int32_t address)
    {
        int32_t value = -1;
        EXPECT_EQ(OrvelReadEep(chip, address, &value), 1) << "address " << address;
        return value;
    }
    static int32_t counter(int32_t chip)
    {
        int32_t value = -1;
        EXPECT_EQ(CadmirReadCounter(chip, &value), 1);
        return value;
    }
};
