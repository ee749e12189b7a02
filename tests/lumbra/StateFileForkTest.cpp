#include <sys/wait.h>
#include <unistd.h>

#include "KeptState.h"

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
