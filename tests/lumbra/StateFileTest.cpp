#include <cstdio>
#include <fstream>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

#include "SimulatedBoards.h"

namespace
{

class KeptState : public SimulatedBoards
{
protected:
    void SetUp() override
    {
        SimulatedBoards::SetUp();
        path_ = ::testing::TempDir() + "lumbra-state-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::remove(path_.c_str());
        setenv("LUMBRA_SIM_STATE", path_.c_str(), 1);
    }
    void TearDown() override
    {
        std::remove(path_.c_str());
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

}  // namespace

TEST_F(KeptState, EepromContentsOutliveTheProcess)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    const int32_t factory = eeprom(1, 5);
    OrvelWriteEep(2, 5, 0x1234);
    OrvelWriteEep(1, 5, 0x5678);
    restart();
    EXPECT_EQ(eeprom(2, 5), 0x1234);
    EXPECT_EQ(eeprom(1, 5), 0x5678);
    TavrinInitEep(1);
    restart();
    EXPECT_EQ(eeprom(1, 5), factory);
    EXPECT_EQ(eeprom(2, 5), 0x1234);
}

TEST_F(KeptState, UnreadableLinesAreSkippedAndTheirChipsStartFromTheFactory)
{
    const auto line = [](const char* chip, int words)
    {
        std::ostringstream text;
        text << chip;
        for (int word = 0; word < words; ++word)
            text << ' ' << (word == 3 ? "BEEF" : "42");
        return text.str() + "\n";
    };
    std::ofstream(path_) << "# kept by an earlier run\n"
                         << line("1", 63) << line("  2", 64) << line("3", 65) << line("x", 64) << line("4", 0)
                         << "4 GGGG\n";
    openWith("LUMBRA_SIM_CHIPS", "4");
    EXPECT_EQ(eeprom(1, 0), 0x7A5E);
    EXPECT_EQ(eeprom(2, 0), 0x42);
    EXPECT_EQ(eeprom(3, 0), 0x7A5E);
    EXPECT_EQ(eeprom(4, 0), 0x7A5E);
    EXPECT_EQ(static_cast<uint32_t>(config(2, 0x2C)), 0xBEEF0042u)
        << "the chip loads its subsystem IDs from the EEPROM at power-up";
}

TEST_F(KeptState, UnwritableStateFileStillLetsWritesSucceed)
{
    setenv("LUMBRA_SIM_STATE", "/nonexistent-directory/lumbra-state", 1);
    ASSERT_EQ(PciOpenDevice(), 1);
    EXPECT_EQ(OrvelWriteEep(1, 5, 0x1234), 1);
    EXPECT_EQ(eeprom(1, 5), 0x1234);
}

// Two programs sharing one state file, each writing its own chip as fast as it can:
// neither may lose the other's words or see a save fail.
TEST_F(KeptState, TwoProcessesWritingDifferentChipsKeepBothChipsWrites)
{
    constexpr int kWrites = 150;
    pid_t children[2];
    for (int32_t chip : {1, 2})
    {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
        {
            LumbraSimReset();
            int failed = PciOpenDevice() != 1;
            for (int i = 1; i <= kWrites; ++i)
                failed += OrvelWriteEep(chip, i % 40 + 12, 0x1000 * chip + i) != 1;
            _exit(failed == 0 ? 0 : 1);
        }
        children[chip - 1] = pid;
    }
    for (pid_t pid : children)
    {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write or save failed in " << pid;
    }
    restart();
    for (int32_t chip : {1, 2})
        for (int i = kWrites - 39; i <= kWrites; ++i)
            EXPECT_EQ(eeprom(chip, i % 40 + 12), 0x1000 * chip + i) << "chip " << chip << " write " << i;
    for (pid_t pid : children)
        EXPECT_NE(access((path_ + "." + std::to_string(pid) + ".tmp").c_str(), F_OK), 0)
            << "temporary file left";
}
