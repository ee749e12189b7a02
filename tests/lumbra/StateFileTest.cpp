#include <cstdio>
#include <fstream>
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
    setEnv("LUMBRA_SIM_STATE", "/nonexistent-directory/lumbra-state");
    ASSERT_EQ(PciOpenDevice(), 1);
    EXPECT_EQ(OrvelWriteEep(1, 5, 0x1234), 1);
    EXPECT_EQ(eeprom(1, 5), 0x1234);
}
