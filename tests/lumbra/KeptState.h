// Fixture for the tests of the state file: a file of the test's own, named by
// LUMBRA_SIM_STATE, and restarts that look to the library like a new process.
#pragma once

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "SimulatedBoards.h"

// Helpers of the state file tests.

inline std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The lumbra: lines the library prints while `calls` run.
template <typename Calls>
std::vector<std::string> linesOf(Calls&& calls)
{
    ::testing::internal::CaptureStderr();
    calls();
    std::istringstream text(::testing::internal::GetCapturedStderr());
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

inline std::string stateLine(int chip, uint16_t fill)
{
    std::ostringstream text;
    text << chip << std::hex << std::uppercase;
    for (int word = 0; word < 64; ++word)
        text << ' ' << fill;
    return text.str() + "\n";
}

inline const std::string kHeader =
    "# lumbra simulated boards: chip number, then its 64 EEPROM words in hex\n";

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
    // Another process holds the file's lock from `lock()` until `unlock()`: a save waits
    // a while, then says so and fails the write, and the word goes in with the next save.
    template <typename Lock, typename Unlock>
    void expectSavesWaitForTheLock(Lock lock, Unlock unlock)
    {
        ASSERT_EQ(PciOpenDevice(), 1);
        ASSERT_EQ(OrvelWriteEep(1, 4, 0x0004), 1);
        lock();
        const auto lines = linesOf([] { EXPECT_EQ(OrvelWriteEep(1, 5, 0x1234), 0); });
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find("not kept"), std::string::npos) << lines[0];
        unlock();
        ASSERT_EQ(OrvelWriteEep(1, 6, 0x5678), 1);
        restart();
        EXPECT_EQ(eeprom(1, 4), 0x0004);
        EXPECT_EQ(eeprom(1, 5), 0x1234) << "the word that waited went in with the next save";
        EXPECT_EQ(eeprom(1, 6), 0x5678);
    }

    std::string path_;
};
