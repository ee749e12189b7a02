#include <functional>

#include "SimulatedBoards.h"

namespace
{

int16_t readConfig(int32_t chip, int32_t offset)
{
    int32_t value = 0;
    return PciReadConfigReg(chip, offset, &value);
}

int16_t readEep(int32_t address)
{
    int32_t value = 0;
    return OrvelReadEep(1, address, &value);
}

int16_t readInport(int32_t chip)
{
    uint8_t value = 0;
    return TavrinReadInport(chip, &value);
}

struct Probe
{
    const char* what;
    std::function<int16_t()> call;
    int16_t expected;
};

}  // namespace

TEST_F(SimulatedBoards, FailRulesPickCallsByNameChipAddressAndCallIndex)
{
    const std::pair<const char*, std::vector<Probe>> cases[] = {
        {"PciReadConfigReg",
         {{"chip 1", [] { return readConfig(1, 0); }, 0}, {"chip 2", [] { return readConfig(2, 0x14); }, 0}}},
        {"PciReadConfigReg@1:0x14",
         {{"1:14", [] { return readConfig(1, 0x14); }, 0},
          {"1:10", [] { return readConfig(1, 0x10); }, 1},
          {"2:14", [] { return readConfig(2, 0x14); }, 1}}},
        {"OrvelReadEep#3",
         {{"1st", [] { return readEep(0); }, 1},
          {"2nd", [] { return readEep(1); }, 1},
          {"3rd", [] { return readEep(2); }, 0},
          {"4th", [] { return readEep(3); }, 1}}},
        // The index counts only the calls the rule matches.
        {"PciReadConfigReg:20#2",
         {{"0x10", [] { return readConfig(1, 0x10); }, 1},
          {"1st 0x14", [] { return readConfig(1, 0x14); }, 1},
          {"2nd 0x14", [] { return readConfig(2, 0x14); }, 0},
          {"3rd 0x14", [] { return readConfig(1, 0x14); }, 1}}},
        {" TavrinReadInport@2 ,, TavrinCloseIntr@0 ",
         {{"inport 1", [] { return readInport(1); }, 1},
          {"inport 2", [] { return readInport(2); }, 0},
          {"version", [] { return static_cast<int16_t>(PciGetVxdVersion()); }, 0x0104}}},
    };
    for (const auto& [rules, probes] : cases)
    {
        LumbraSimReset();
        openWith("LUMBRA_SIM_FAIL", rules);
        for (const auto& probe : probes)
            EXPECT_EQ(probe.call(), probe.expected) << rules << ": " << probe.what;
    }
}

TEST_F(SimulatedBoards, MalformedFailRulesAreDroppedAndTheRestStillApply)
{
    for (const char* bad : {"NoSuchCall", "pcireadconfigreg", "PciReadConfigReg@", "PciReadConfigReg@x",
                            "PciReadConfigReg:0xZZ", "PciReadConfigReg#0", "PciReadConfigReg@1@1",
                            "PciReadConfigReg:-4", "@1", "PciReadConfigReg 1",
                            "TavrinReadInport:4",  // has no address
                            "TavrinMaskIntr@1"})
    {  // has no chip
        LumbraSimReset();
        openWith("LUMBRA_SIM_FAIL", (std::string(bad) + ",TavrinReadOutport").c_str());
        EXPECT_EQ(readConfig(1, 0), 1) << bad;
        EXPECT_EQ(readInport(1), 1) << bad;
        EXPECT_EQ(TavrinMaskIntr(), 1) << bad;
        uint8_t value = 0;
        EXPECT_EQ(TavrinReadOutport(1, &value), 0) << bad << " dropped its neighbour";
    }
}

TEST_F(SimulatedBoards, FailedOpenLeavesTheLibraryClosed)
{
    setEnv("LUMBRA_SIM_FAIL", "PciOpenDevice");
    EXPECT_EQ(PciOpenDevice(), 0);
    EXPECT_EQ(PciFindDevice(), 0);
    EXPECT_EQ(readConfig(1, 0), 0);
}

TEST_F(SimulatedBoards, CallIndexOnOpenFailsTheSecondOpenOnly)
{
    openWith("LUMBRA_SIM_FAIL", "PciOpenDevice#2");
    PciCloseDevice();
    EXPECT_EQ(PciOpenDevice(), 0);
    EXPECT_EQ(PciOpenDevice(), 1);
}

TEST_F(SimulatedBoards, FailedWritesChangeNothing)
{
    openWith("LUMBRA_SIM_FAIL",
             "OrvelWriteEep,PciWriteConfigReg@1:0x40,OrvelWriteModeReg,TavrinWriteOutport@1");
    const int32_t word = eeprom(1, 5);
    EXPECT_EQ(OrvelWriteEep(1, 5, 0x1234), 0);
    EXPECT_EQ(eeprom(1, 5), word);
    EXPECT_EQ(PciWriteConfigReg(1, 0x40, 0x1234), 0);
    EXPECT_EQ(config(1, 0x40), 0);
    EXPECT_EQ(PciWriteConfigReg(2, 0x40, 0x1234), 1);
    EXPECT_EQ(config(2, 0x40), 0x1234);
    EXPECT_EQ(OrvelWriteModeReg(1, 0x28, 0x1234), 0);
    EXPECT_EQ(mode(1, 0x28), 0);
    EXPECT_EQ(TavrinWriteOutport(1, 0x12), 0);
    uint8_t port = 0xFF;
    EXPECT_EQ(TavrinReadOutport(1, &port), 1);
    EXPECT_EQ(port, 0);
}
