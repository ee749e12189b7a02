#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "KeptState.h"

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
    setEnv("LUMBRA_SIM_STATE", "/nonexistent-directory/lumbra-state");
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

TEST_F(KeptState, TwoProcessesWritingDifferentChipsKeepBothChipsWrites) { expectBothProcessesWritesKept(0); }

TEST_F(KeptState, TwoProcessesWritingTheSameChipKeepEachOthersWords) { expectBothProcessesWritesKept(1); }
