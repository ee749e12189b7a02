#include <set>

#include "SimulatedBoards.h"

namespace
{

constexpr int32_t kAllOnes = -1;

}  // namespace

TEST_F(SimulatedBoards, ConfigHeaderIdentifiesTheBoard)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    EXPECT_EQ(config(1, 0x00), 0x0B177A5E);
    EXPECT_EQ(config(1, 0x08), 0x11800001) << "class 0x118000, revision 1";
    EXPECT_EQ(config(1, 0x2C), 0x00017A5E) << "subsystem IDs";
    EXPECT_EQ(config(1, 0x3C) & 0xFF00, 0x0100) << "interrupt pin INTA";
    EXPECT_EQ(config(1, 0x04) & 0x3, 0x3) << "I/O and memory decoding on";
}

TEST_F(SimulatedBoards, ConfigReadOnlyFieldsIgnoreWrites)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    for (int32_t offset : {0x00, 0x08, 0x18, 0x24, 0x28, 0x2C, 0x30, 0x34, 0x38, 0x44, 0xFC})
    {
        const int32_t before = config(1, offset);
        for (int32_t value : {kAllOnes, 0})
        {
            EXPECT_EQ(PciWriteConfigReg(1, offset, value), 1);
            EXPECT_EQ(config(1, offset), before) << "offset " << offset;
        }
    }
    // Header type and BIST sit beside two writable bytes; the pin beside the line.
    PciWriteConfigReg(1, 0x0C, kAllOnes);
    EXPECT_EQ(config(1, 0x0C), 0x0000FFFF);
    PciWriteConfigReg(1, 0x3C, kAllOnes);
    EXPECT_EQ(config(1, 0x3C), 0x000001FF);
}

TEST_F(SimulatedBoards, BarsReportTheirSizeWhenWrittenWithAllOnes)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    const int32_t io = config(1, 0x10), memory = config(1, 0x14);
    EXPECT_EQ(io & 1, 1) << "BAR0 is I/O";
    EXPECT_EQ(memory & 0xF, 0) << "BAR1 is 32-bit memory, not prefetchable";
    PciWriteConfigReg(1, 0x10, kAllOnes);
    PciWriteConfigReg(1, 0x14, kAllOnes);
    EXPECT_EQ(static_cast<uint32_t>(config(1, 0x10)), 0xFFFFFF01u) << "256 bytes of I/O";
    EXPECT_EQ(static_cast<uint32_t>(config(1, 0x14)), 0xFFFFF000u) << "4 KiB of memory";
    PciWriteConfigReg(1, 0x10, io);
    PciWriteConfigReg(1, 0x14, memory);
    EXPECT_EQ(config(1, 0x10), io);
    EXPECT_EQ(config(1, 0x14), memory);
}

TEST_F(SimulatedBoards, CommandBitsAreWritableButStatusBitsCannotBeSet)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    const int32_t status = config(1, 0x04) & 0xFFFF0000;
    PciWriteConfigReg(1, 0x04, kAllOnes);
    EXPECT_EQ(config(1, 0x04), status | 0x0547);
    PciWriteConfigReg(1, 0x04, 0);
    EXPECT_EQ(config(1, 0x04), status);
}

TEST_F(SimulatedBoards, EachChipGetsItsOwnAddressesAndInterruptLine)
{
    openWith("LUMBRA_SIM_CHIPS", "12");
    std::set<int32_t> io, memory, lines;
    for (int32_t chip = 1; chip <= 12; ++chip)
    {
        io.insert(config(chip, 0x10));
        memory.insert(config(chip, 0x14));
        lines.insert(config(chip, 0x3C) & 0xFF);
    }
    EXPECT_EQ(io.size(), 12u);
    EXPECT_EQ(memory.size(), 12u);
    EXPECT_EQ(lines.size(), 12u);
}

TEST_F(SimulatedBoards, ConfigOffsetsMustBeAlignedAndInsideTheSpace)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    for (int32_t offset : {-4, 2, 0x41, 0x100, INT32_MAX})
    {
        int32_t value = 7;
        EXPECT_EQ(PciReadConfigReg(1, offset, &value), 0) << offset;
        EXPECT_EQ(PciWriteConfigReg(1, offset, 0), 0) << offset;
        EXPECT_EQ(value, 7);
    }
    EXPECT_EQ(config(1, 0xFC), 0);
}

TEST_F(SimulatedBoards, ModeRegistersKeepTheirReadOnlyBits)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    struct Case
    {
        int32_t offset;
        uint32_t afterOnes, afterZeros;
    };
    const Case cases[] = {
        {0x00, 0x0B170001, 0x0B170001},  // chip ID
        {0x08, 0x80000000, 0x80000000},  // status
        {0x10, 0x00000F0F, 0x00000000},  // timing: only the low nibbles exist
        {0x28, 0xFFFFFFFF, 0x00000000},  // scratch
        {0x30, 0x00004003, 0x00004000},  // EEPROM control: size field fixed
        {0x3C, 0x00000000, 0x00000000},  // reserved
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(OrvelWriteModeReg(1, c.offset, kAllOnes), 1);
        EXPECT_EQ(static_cast<uint32_t>(mode(1, c.offset)), c.afterOnes) << "offset " << c.offset;
        OrvelWriteModeReg(1, c.offset, 0);
        EXPECT_EQ(static_cast<uint32_t>(mode(1, c.offset)), c.afterZeros) << "offset " << c.offset;
    }
    for (int32_t offset : {-4, 0x02, 0x40})
    {
        EXPECT_EQ(OrvelWriteModeReg(1, offset, 0), 0) << offset;
        int32_t value = 7;
        EXPECT_EQ(OrvelReadModeReg(1, offset, &value), 0) << offset;
        EXPECT_EQ(value, 7);
    }
}

TEST_F(SimulatedBoards, WritesStayWithTheirChipAcrossCloseAndReopen)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    OrvelWriteModeReg(2, 0x2C, 0x12345678);
    PciWriteConfigReg(2, 0x40, 0x0BADF00D);
    OrvelWriteEep(2, 30, 0xBEEF);
    TavrinWriteOutport(2, 0x3A);
    PciCloseDevice();
    ASSERT_EQ(PciOpenDevice(), 1);
    EXPECT_EQ(mode(2, 0x2C), 0x12345678);
    EXPECT_EQ(config(2, 0x40), 0x0BADF00D);
    EXPECT_EQ(eeprom(2, 30), 0xBEEF);
    uint8_t port = 0;
    EXPECT_EQ(TavrinReadOutport(2, &port), 1);
    EXPECT_EQ(port, 0x3A);
    EXPECT_EQ(mode(1, 0x2C), 0);
    EXPECT_EQ(config(1, 0x40), 0);
    EXPECT_EQ(TavrinReadOutport(1, &port), 1);
    EXPECT_EQ(port, 0);
}

TEST_F(SimulatedBoards, FactoryEepromCarriesIdsSerialAndChecksum)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    for (int32_t chip : {1, 2})
    {
        EXPECT_EQ(eeprom(chip, 0), 0x7A5E);
        EXPECT_EQ(eeprom(chip, 1), 0x0B17);
        uint32_t sum = 0;
        for (int32_t word = 0; word < 64; ++word)
            sum += static_cast<uint32_t>(eeprom(chip, word));
        EXPECT_EQ(sum & 0xFFFF, 0u) << "chip " << chip;
    }
    EXPECT_NE(eeprom(1, 8), eeprom(2, 8)) << "serial numbers differ";
}

TEST_F(SimulatedBoards, InitEepRestoresOnlyThatChipsFactoryContents)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    const int32_t factory1 = eeprom(1, 0), factory2 = eeprom(2, 63);
    OrvelWriteEep(1, 0, 0x1111);
    OrvelWriteEep(2, 63, 0x2222);
    EXPECT_EQ(TavrinInitEep(1), 1);
    EXPECT_EQ(eeprom(1, 0), factory1);
    EXPECT_EQ(eeprom(2, 63), 0x2222);
    EXPECT_EQ(TavrinInitEep(2), 1);
    EXPECT_EQ(eeprom(2, 63), factory2);
}

TEST_F(SimulatedBoards, EepromRefusesAddressesAndWordsOutOfRange)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    const int32_t before = eeprom(1, 5);
    EXPECT_EQ(OrvelWriteEep(1, 5, 0x10000), 0);
    EXPECT_EQ(OrvelWriteEep(1, 5, -1), 0);
    EXPECT_EQ(eeprom(1, 5), before);
    for (int32_t address : {-1, 64})
    {
        int32_t value = 7;
        EXPECT_EQ(OrvelReadEep(1, address, &value), 0);
        EXPECT_EQ(value, 7);
        EXPECT_EQ(OrvelWriteEep(1, address, 0), 0);
    }
}

TEST_F(SimulatedBoards, InputPortFollowsEnvironmentOrLoopsBackTheOutputLatch)
{
    const std::pair<const char*, int> cases[] = {
        {nullptr, 0xA5}, {"0x3C", 0x3C}, {"200", 200}, {"256", 0xA5}, {"zz", 0xA5}, {"loopback", 0x66},
    };
    for (const auto& [text, expected] : cases)
    {
        LumbraSimReset();
        if (text)
            setEnv("LUMBRA_SIM_INPORT", text);
        else
            unsetEnv("LUMBRA_SIM_INPORT");
        ASSERT_EQ(PciOpenDevice(), 1);
        TavrinWriteOutport(1, 0x66);
        uint8_t value = 0;
        EXPECT_EQ(TavrinReadInport(1, &value), 1);
        EXPECT_EQ(value, expected) << (text ? text : "unset");
    }
}
