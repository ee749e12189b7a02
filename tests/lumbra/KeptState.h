// Fixture for the tests of the state file: a file of the test's own, named by
// LUMBRA_SIM_STATE, and restarts that look to the library like a new process.
#pragma once

#include <cstdio>
#include <string>

#include "SimulatedBoards.h"

class KeptState : public SimulatedBoards
{
protected:
    void SetUp() override
    {
        SimulatedBoards::SetUp();
        path_ = ::testing::TempDir() + "lumbra-state-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::remove(path_.c_str());
        setEnv("LUMBRA_SIM_STATE", path_.c_str());
    }
    void TearDown() override
    {
        std::remove(path_.c_str());
        std::remove((path_ + ".lock").c_str());  // where saves lock on Windows
        SimulatedBoards::TearDown();
    }
    // What a new process sees: the same environment, nothing in memory.
    static void restart()
    {
        LumbraSimReset();
        ASSERT_EQ(PciOpenDevice(), 1);
    }
    std::string path_;
};
