// What the state file does with what only POSIX systems have or show: FIFOs and
// devices, symbolic links, other processes by fork() and their locks by flock().
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "KeptState.h"

// Only a regular file of a bounded size is read, and refusing one takes no time.
TEST_F(KeptState, OnlyABoundedRegularFileIsRead)
{
    const std::string fifo = path_ + ".fifo", big = path_ + ".big", folder = path_ + ".d";
    mkfifo(fifo.c_str(), 0600);
    std::filesystem::create_directory(folder);
    {
        std::ofstream(big) << kHeader;
    }
    std::filesystem::resize_file(big, 100u << 20);  // sparse: costs no disk
    for (const std::string& state : {std::string("/dev/full"), fifo, big, folder})
    {
        setEnv("LUMBRA_SIM_STATE", state.c_str());
        LumbraSimReset();
        const auto start = std::chrono::steady_clock::now();
        const auto lines = linesOf(
            [&]
            {
                ASSERT_EQ(PciOpenDevice(), 1) << state;
                EXPECT_EQ(OrvelWriteEep(1, 5, 0x1234), 1) << state;
            });
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << state;
        ASSERT_EQ(lines.size(), 1u) << state;
        EXPECT_NE(lines[0].find(state), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find("this run only"), std::string::npos) << lines[0];
    }
    EXPECT_EQ(std::filesystem::file_size(big), 100u << 20);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    std::filesystem::remove(fifo);
    std::filesystem::remove(big);
    std::filesystem::remove(folder);
}

TEST_F(KeptState, ASymbolicLinkIsFollowedAndStays)
{
    const std::string target = path_ + ".target";
    std::ofstream(target) << kHeader << stateLine(2, 0x4242);
    std::filesystem::create_symlink(target, path_);
    ASSERT_EQ(PciOpenDevice(), 1);
    EXPECT_EQ(eeprom(2, 7), 0x4242);
    ASSERT_EQ(OrvelWriteEep(1, 5, 0x1234), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(path_));
    restart();
    EXPECT_EQ(eeprom(1, 5), 0x1234) << "the target took the word";
    EXPECT_EQ(eeprom(2, 7), 0x4242);
    std::filesystem::remove(target);
}

TEST_F(KeptState, TemporaryFilesOfDeadProcessesAreRemovedAndOthersKept)
{
    const pid_t dead = fork();
    if (dead == 0)
        _exit(0);
    waitpid(dead, nullptr, 0);
    const std::string left = path_ + "." + std::to_string(dead) + ".tmp";
    const std::string running = path_ + "." + std::to_string(getppid()) + ".tmp";
    const std::string other = path_ + ".notes.tmp";
    for (const auto& name : {left, running, other})
        std::ofstream(name) << "half a save";
    ASSERT_EQ(PciOpenDevice(), 1);
    ASSERT_EQ(OrvelWriteEep(1, 5, 0x1234), 1);
    EXPECT_FALSE(std::filesystem::exists(left)) << "a dead process's save";
    EXPECT_TRUE(std::filesystem::exists(running)) << "a running process's save";
    EXPECT_TRUE(std::filesystem::exists(other)) << "not a save's name";
    std::filesystem::remove(running);
    std::filesystem::remove(other);
}

// Another process's lock is flock() on the state file itself.
TEST_F(KeptState, ASaveThatCannotGetTheLockFailsTheWriteAndTriesAgainLater)
{
    int other = -1;
    expectSavesWaitForTheLock(
        [&]
        {
            other = open(path_.c_str(), O_RDONLY);
            ASSERT_EQ(flock(other, LOCK_EX), 0);
        },
        [&] { close(other); });
}

std::vector<int64_t> writeInTwoProcesses(int sharing)
{
    std::vector<int64_t> children;
    for (int p : {0, 1})
    {
        const pid_t pid = fork();
        if (pid == 0)
            _exit(writeAsProcess(p, kSharings[sharing]) == 0 ? 0 : 1);
        EXPECT_GE(pid, 0);
        children.push_back(pid);
    }
    for (int64_t pid : children)
    {
        int status = 0;
        EXPECT_EQ(waitpid(static_cast<pid_t>(pid), &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write or save failed in " << pid;
    }
    return children;
}
