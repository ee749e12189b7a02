// Fixture for the tests of the state file: a file of the test's own, named by
// LUMBRA_SIM_STATE, and restarts that look to the library like a new process.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
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

// Two programs sharing one state file, each writing as fast as it can: neither may lose
// the other's words or see a save fail. In a sharing, process p's write i goes to chip
// `chip(p)`, word `word(p, i)`, with the value 0x1000 * (p + 1) + i; the last `kept`
// writes of each are then in the file.
struct Sharing
{
    int32_t (*chip)(int p);
    int32_t (*word)(int p, int i);
    int kept;
};
inline constexpr int kWritesPerProcess = 150;
inline constexpr Sharing kSharings[] = {
    // different chips
    {[](int p) { return p + 1; }, [](int, int i) { return i % 40 + 12; }, 40},
    // the same chip, different words: a save must not put back this process's copy of
    // the other process's words
    {[](int) { return 1; }, [](int p, int i) { return p * 32 + i % 30; }, 30},
};

// What each of the two processes does, as a freshly started program; 0 when every write
// and its save succeeded.
inline int writeAsProcess(int p, const Sharing& sharing)
{
    LumbraSimReset();
    int failed = PciOpenDevice() != 1;
    for (int i = 1; i <= kWritesPerProcess; ++i)
        failed += OrvelWriteEep(sharing.chip(p), sharing.word(p, i), 0x1000 * (p + 1) + i) != 1;
    return failed;
}

// Runs writeAsProcess(0 and 1, kSharings[sharing]) in two processes at once and waits
// for both, expecting each to succeed; their process ids. One implementation per system:
// fork() on POSIX systems, the test program started again on Windows.
std::vector<int64_t> writeInTwoProcesses(int sharing);

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

    // What the file holds after writeInTwoProcesses, and no temporary file left.
    void expectBothProcessesWritesKept(int sharing)
    {
        const auto pids = writeInTwoProcesses(sharing);
        const Sharing& s = kSharings[sharing];
        restart();
        for (int p : {0, 1})
            for (int i = kWritesPerProcess - s.kept + 1; i <= kWritesPerProcess; ++i)
                EXPECT_EQ(eeprom(s.chip(p), s.word(p, i)), 0x1000 * (p + 1) + i)
                    << "process " << p << " write " << i;
        for (int64_t pid : pids)
            EXPECT_FALSE(std::filesystem::exists(path_ + "." + std::to_string(pid) + ".tmp"))
                << "temporary file left";
    }

    std::string path_;
};
