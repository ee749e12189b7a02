#pragma once

#include "Tavrinmain.h"
#include "devctl/Module1.h"
#include "UiHelpers.h"
#include "start.h"

#include "devctl/Loader.h"
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The program against the simulated board library, bound by name as the
// installed program binds it: two chips, the simulated clock stopped so pulses
// come only when a test sends them, no injected faults, and the board state
// reset around every test.
class SimulatorFixture : public ::testing::Test
{
protected:
    using AdvancePulses = int16_t(LUMBRA_CALL*)(int32_t chip, uint32_t pulses);
    using Reset = void(LUMBRA_CALL*)();

    void SetUp() override
    {
        keepEnv("LUMBRA_SIM_PULSE_HZ", "0");
        keepEnv("LUMBRA_SIM_CHIPS", "2");
        keepEnv("LUMBRA_SIM_FAIL", nullptr);
        keepEnv("LUMBRA_SIM_STATE", nullptr);
        std::string error;
        void* sim = Module1::loader::open("lumbra", error);
        ASSERT_TRUE(sim) << error;
        advancePulses =
            reinterpret_cast<AdvancePulses>(Module1::loader::symbol(sim, "LumbraSimAdvancePulses"));
        reset_ = reinterpret_cast<Reset>(Module1::loader::symbol(sim, "LumbraSimReset"));
        ASSERT_TRUE(advancePulses && reset_);
        reset_();
        start::resetForTest();
        Module1::useLibrary();
        start::setEndFunction([](int) {});
    }

    void TearDown() override
    {
        driver::cancelModalWatchers();
        if (Tavrinmain* w = programWindow())
            w->btnEnd_Click();
        start::resetForTest();
        start::setEndFunction(nullptr);
        if (reset_)
            reset_();
        for (const auto& [name, value] : savedEnv_)
            setEnv(name.c_str(), value ? value->c_str() : nullptr);
    }

    AdvancePulses advancePulses = nullptr;

private:
    void keepEnv(const char* name, const char* value)
    {
        const char* old = std::getenv(name);
        savedEnv_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        setEnv(name, value);
    }
    // nullptr removes the variable. Windows' C library has no setenv; its
    // _putenv_s sets the process's environment block, where the library reads.
    static void setEnv(const char* name, const char* value)
    {
#ifdef _WIN32
        _putenv_s(name, value ? value : "");
#else
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
#endif
    }

    Reset reset_ = nullptr;
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv_;
};
