#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

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

std::string contents(const std::string& path)
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

std::string stateLine(int chip, uint16_t fill)
{
    std::ostringstream text;
    text << chip << std::hex << std::uppercase;
    for (int word = 0; word < 64; ++word)
        text << ' ' << fill;
    return text.str() + "\n";
}

const std::string kHeader = "# lumbra simulated boards: chip number, then its 64 EEPROM words in hex\n";

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
    std::ofstream(path_) << "# lumbra simulated boards: chip number, then its 64 EEPROM words in hex\n"
                         << "# kept by an earlier run\n"
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

// Whatever the file holds that the library cannot read is someone's data: it stays byte
// for byte, and the run still works on its boards with one line saying why the changes
// are not kept.
TEST_F(KeptState, AFileTheLibraryCannotReadIsLeftExactlyAsItIs)
{
    std::string noise(3000, '\0');
    std::mt19937 random(7);
    for (auto& byte : noise)
        byte = static_cast<char>(random());
    const std::string good = stateLine(1, 0x4242);
    const struct
    {
        const char* what;
        std::string text;
    } cases[] = {
        {"someone's notes", "shopping: milk, 2 boards\ncall the lab at 3\n"},
        {"random bytes", noise},
        {"a truncated state file", kHeader + good + good.substr(0, 100)},
        {"a line that does not parse", kHeader + "2 0000 zz\n" + good},
        {"valid lines without the header", good},
    };
    for (const auto& c : cases)
    {
        std::ofstream(path_, std::ios::binary) << c.text;
        LumbraSimReset();
        const auto lines = linesOf(
            [&]
            {
                ASSERT_EQ(PciOpenDevice(), 1);
                EXPECT_EQ(OrvelWriteEep(1, 5, 0x1234), 1) << c.what;
                EXPECT_EQ(TavrinInitEep(2), 1) << c.what;
            });
        EXPECT_EQ(eeprom(1, 5), 0x1234) << c.what << ": the run still has the word";
        EXPECT_EQ(contents(path_), c.text) << c.what;
        ASSERT_EQ(lines.size(), 1u) << c.what;
        EXPECT_NE(lines[0].find("this run only"), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(path_), std::string::npos) << lines[0];
        EXPECT_LT(lines[0].size(), 300u) << c.what;
    }
}

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
        setenv("LUMBRA_SIM_STATE", state.c_str(), 1);
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

// A save waits a while for another process's lock, then says so and fails the write.
TEST_F(KeptState, ASaveThatCannotGetTheLockFailsTheWriteAndTriesAgainLater)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    ASSERT_EQ(OrvelWriteEep(1, 4, 0x0004), 1);
    const int other = open(path_.c_str(), O_RDONLY);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    const auto lines = linesOf([] { EXPECT_EQ(OrvelWriteEep(1, 5, 0x1234), 0); });
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("not kept"), std::string::npos) << lines[0];
    close(other);
    ASSERT_EQ(OrvelWriteEep(1, 6, 0x5678), 1);
    restart();
    EXPECT_EQ(eeprom(1, 4), 0x0004);
    EXPECT_EQ(eeprom(1, 5), 0x1234) << "the word that waited went in with the next save";
    EXPECT_EQ(eeprom(1, 6), 0x5678);
}

// Two programs sharing one state file, each writing as fast as it can: neither may lose
// the other's words or see a save fail. Process p's write i goes to chip `chip(p)`, word
// `word(p, i)`, with the value 0x1000 * (p + 1) + i; the last `kept` writes of each are
// then in the file.
template <typename Chip, typename Word>
void writeFromTwoProcesses(const std::string& path, Chip chip, Word word, int kept)
{
    constexpr int kWrites = 150;
    pid_t children[2];
    for (int p : {0, 1})
    {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
        {
            LumbraSimReset();
            int failed = PciOpenDevice() != 1;
            for (int i = 1; i <= kWrites; ++i)
                failed += OrvelWriteEep(chip(p), word(p, i), 0x1000 * (p + 1) + i) != 1;
            _exit(failed == 0 ? 0 : 1);
        }
        children[p] = pid;
    }
    for (pid_t pid : children)
    {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write or save failed in " << pid;
    }
    LumbraSimReset();
    ASSERT_EQ(PciOpenDevice(), 1);
    for (int p : {0, 1})
        for (int i = kWrites - kept + 1; i <= kWrites; ++i)
        {
            int32_t value = -1;
            EXPECT_EQ(OrvelReadEep(chip(p), word(p, i), &value), 1);
            EXPECT_EQ(value, 0x1000 * (p + 1) + i) << "process " << p << " write " << i;
        }
    for (pid_t pid : children)
        EXPECT_NE(access((path + "." + std::to_string(pid) + ".tmp").c_str(), F_OK), 0)
            << "temporary file left";
}

TEST_F(KeptState, TwoProcessesWritingDifferentChipsKeepBothChipsWrites)
{
    writeFromTwoProcesses(
        path_, [](int p) { return p + 1; }, [](int, int i) { return i % 40 + 12; }, 40);
}

// The same chip, different words: a save must not put back this process's copy of the
// other process's words.
TEST_F(KeptState, TwoProcessesWritingTheSameChipKeepEachOthersWords)
{
    writeFromTwoProcesses(
        path_, [](int) { return 1; }, [](int p, int i) { return p * 32 + i % 30; }, 30);
}
