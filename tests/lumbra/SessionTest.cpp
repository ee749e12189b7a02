#include <climits>
#include <functional>
#include <sstream>

#include "SimulatedBoards.h"

namespace
{

struct Call
{
    const char* name;
    std::function<int32_t()> invoke;
};

// Every entry point but PciOpenDevice, each addressing chip `chip`, with out-values that
// start at a sentinel the call must not touch when it fails.
struct Sentinels
{
    int32_t value = 0x5A5A5A5A;
    uint8_t byte = 0x5A;
    uint8_t record[LUMBRA_INTR_RECORD_SIZE];
    Sentinels() { std::fill(std::begin(record), std::end(record), uint8_t{0x5A}); }
    bool untouched() const
    {
        return value == 0x5A5A5A5A && byte == 0x5A &&
               std::all_of(std::begin(record), std::end(record), [](uint8_t b) { return b == 0x5A; });
    }
};

// The calls that address a chip (the interrupt close takes the chip as its handle).
std::vector<Call> chipCalls(int32_t chip, Sentinels& out)
{
    return {
        {"PciRegisterDevice", [=] { return PciRegisterDevice(chip); }},
        {"PciReadConfigReg", [=, &out] { return PciReadConfigReg(chip, 0, &out.value); }},
        {"PciWriteConfigReg", [=] { return PciWriteConfigReg(chip, 0x3C, 0); }},
        {"OrvelReadModeReg", [=, &out] { return OrvelReadModeReg(chip, 0, &out.value); }},
        {"OrvelWriteModeReg", [=] { return OrvelWriteModeReg(chip, 0x28, 1); }},
        {"OrvelReadEep", [=, &out] { return OrvelReadEep(chip, 0, &out.value); }},
        {"OrvelWriteEep", [=] { return OrvelWriteEep(chip, 20, 1); }},
        {"TavrinInitEep", [=] { return TavrinInitEep(chip); }},
        {"TavrinReadInport", [=, &out] { return TavrinReadInport(chip, &out.byte); }},
        {"TavrinReadOutport", [=, &out] { return TavrinReadOutport(chip, &out.byte); }},
        {"TavrinWriteOutport", [=] { return TavrinWriteOutport(chip, 1); }},
        {"CadmirReadCounter", [=, &out] { return CadmirReadCounter(chip, &out.value); }},
        {"TavrinInitCadmir", [=] { return TavrinInitCadmir(chip, 0, 0); }},
        {"TavrinOpenIntr", [=] { return TavrinOpenIntr(chip, 100); }},
        {"TavrinCloseIntr", [=] { return TavrinCloseIntr(chip); }},
    };
}

std::vector<Call> chiplessCalls(Sentinels& out)
{
    return {
        {"PciCloseDevice", [] { return PciCloseDevice(); }},
        {"PciGetVxdVersion", [] { return PciGetVxdVersion(); }},
        {"PciFindDevice", [] { return PciFindDevice(); }},
        {"TavrinUnmaskIntr", [] { return TavrinUnmaskIntr(); }},
        {"TavrinMaskIntr", [] { return TavrinMaskIntr(); }},
        {"TavrinReadIntrStat", [&out] { return TavrinReadIntrStat(out.record); }},
    };
}

}  // namespace

TEST_F(SimulatedBoards, EveryCallFailsBeforeOpenAndAfterCloseWithOutValuesUntouched)
{
    for (const char* phase : {"before open", "after close"})
    {
        Sentinels out;
        auto calls = chipCalls(1, out);
        for (auto& call : chiplessCalls(out))
            calls.push_back(call);
        for (const auto& call : calls)
            EXPECT_EQ(call.invoke(), 0) << call.name << " " << phase;
        EXPECT_TRUE(out.untouched()) << phase;
        ASSERT_EQ(PciOpenDevice(), 1);
        ASSERT_EQ(PciCloseDevice(), 1);
    }
}

TEST_F(SimulatedBoards, BadChipNumbersFailWithOutValuesUntouched)
{
    openWith("LUMBRA_SIM_CHIPS", "2");
    for (int32_t chip : {0, -1, 3, INT_MIN, INT_MAX})
    {
        Sentinels out;
        for (const auto& call : chipCalls(chip, out))
            EXPECT_EQ(call.invoke(), 0) << call.name << " chip " << chip;
        EXPECT_TRUE(out.untouched()) << "chip " << chip;
    }
}

TEST_F(SimulatedBoards, OpenReportsVersionAndChipCount)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    EXPECT_EQ(PciGetVxdVersion(), 0x0104);
    EXPECT_EQ(PciFindDevice(), 2);
    EXPECT_EQ(PciRegisterDevice(1), 1);
    EXPECT_EQ(PciRegisterDevice(2), 1);
    EXPECT_EQ(PciOpenDevice(), 1) << "opening again is harmless";
}

TEST_F(SimulatedBoards, ChipCountComesFromEnvironmentAndMalformedValuesFallBackToTwo)
{
    const std::pair<const char*, int32_t> cases[] = {
        {"0", 0},  {"3", 3},   {" 5 ", 5}, {"32", 32}, {"33", 2},
        {"-1", 2}, {"abc", 2}, {"3x", 2},  {"", 2},    {"99999999999999999999", 2},
    };
    for (const auto& [text, expected] : cases)
    {
        LumbraSimReset();
        openWith("LUMBRA_SIM_CHIPS", text);
        EXPECT_EQ(PciFindDevice(), expected) << '"' << text << '"';
        EXPECT_EQ(PciRegisterDevice(expected + 1), 0) << '"' << text << '"';
    }
}

// A bad value of many kilobytes is named by its start, on a line a person can read; so
// are a thousand bad rules.
TEST_F(SimulatedBoards, WarningsQuoteOnlyTheStartOfABadValue)
{
    const std::string longText = "abc" + std::string(10000, 'q');
    std::string manyRules;
    for (int i = 0; i < 1000; ++i)
        manyRules += (i == 0 ? "abcqqq" : "Bogus" + std::to_string(i)) + ",";
    const struct
    {
        const char* variable;
        std::string value;
        int16_t opens;
    } cases[] = {
        {"LUMBRA_SIM_FAIL", longText, 1},        {"LUMBRA_SIM_FAIL", manyRules, 1},
        {"LUMBRA_SIM_CHIPS", "9" + longText, 1}, {"LUMBRA_DEVICE", longText, 0},
        {"LUMBRA_DEVICE", "pci:" + longText, 0}, {"LUMBRA_DEVICE", "\x1b]0;title\x07" + longText, 0},
    };
    for (const auto& c : cases)
    {
        LumbraSimReset();
        setEnv(c.variable, c.value.c_str());
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(PciOpenDevice(), c.opens) << c.variable;
        std::istringstream text(::testing::internal::GetCapturedStderr());
        unsetEnv(c.variable);
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        ASSERT_GE(lines.size(), 1u) << c.variable;
        EXPECT_LE(lines.size(), 6u) << c.variable;
        for (const auto& line : lines)
        {
            EXPECT_LE(line.size(), 200u) << line.substr(0, 200);
            EXPECT_EQ(line.find('\x1b'), std::string::npos) << "a control character reached the terminal";
        }
        EXPECT_NE(lines[0].find("abcqqq"), std::string::npos) << "the start of the value: " << lines[0];
    }
}

TEST_F(SimulatedBoards, ReopeningWithFewerChipsHidesTheRestWithoutForgettingThem)
{
    openWith("LUMBRA_SIM_CHIPS", "3");
    TavrinWriteOutport(3, 0x33);
    PciCloseDevice();
    openWith("LUMBRA_SIM_CHIPS", "2");
    uint8_t port = 0;
    EXPECT_EQ(TavrinReadOutport(3, &port), 0);
    EXPECT_EQ(PciFindDevice(), 2);
    PciCloseDevice();
    openWith("LUMBRA_SIM_CHIPS", "3");
    EXPECT_EQ(TavrinReadOutport(3, &port), 1);
    EXPECT_EQ(port, 0x33);
}
