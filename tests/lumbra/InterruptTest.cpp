#include "SimulatedBoards.h"

namespace
{

struct IntrRecord
{
    uint32_t handle;
    uint16_t irq, raised, pulses;
    uint32_t target;
    uint8_t spare;
};

IntrRecord readRecord()
{
    uint8_t b[LUMBRA_INTR_RECORD_SIZE];
    std::fill(std::begin(b), std::end(b), uint8_t{0xEE});
    EXPECT_EQ(TavrinReadIntrStat(b), 1);
    return {static_cast<uint32_t>(b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24),
            static_cast<uint16_t>(b[4] | b[5] << 8),
            static_cast<uint16_t>(b[6] | b[7] << 8),
            static_cast<uint16_t>(b[8] | b[9] << 8),
            static_cast<uint32_t>(b[10] | b[11] << 8 | b[12] << 16),
            b[13]};
}

}  // namespace

TEST_F(SimulatedBoards, CounterMovesOnlyWhenSteppedAndWrapsAt24Bits)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    EXPECT_EQ(counter(1), 0);
    EXPECT_EQ(counter(1), 0) << "frozen clock";
    EXPECT_EQ(LumbraSimAdvancePulses(1, 5), 1);
    EXPECT_EQ(counter(1), 5);
    EXPECT_EQ(counter(2), 0);
    EXPECT_EQ(TavrinInitCadmir(1, 0, 0xFFFFFE), 1);
    LumbraSimAdvancePulses(1, 3);
    EXPECT_EQ(counter(1), 1);
    EXPECT_EQ(TavrinInitCadmir(1, 0, 0), 1);
    EXPECT_EQ(counter(1), 0);
    EXPECT_EQ(LumbraSimAdvancePulses(3, 1), 0);
}

TEST_F(SimulatedBoards, InitCadmirRefusesModesAndValuesItCannotLoad)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    LumbraSimAdvancePulses(1, 9);
    EXPECT_EQ(TavrinInitCadmir(1, 1, 0), 0);
    EXPECT_EQ(TavrinInitCadmir(1, 0, 0x1000000), 0);
    EXPECT_EQ(TavrinInitCadmir(1, 0, -1), 0);
    EXPECT_EQ(counter(1), 9);
}

TEST_F(SimulatedBoards, StatusRecordDescribesTheOpenInterrupt)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    uint8_t untouched[LUMBRA_INTR_RECORD_SIZE] = {0x77};
    EXPECT_EQ(TavrinOpenIntr(2, 0), 0) << "zero pulses per interrupt";
    EXPECT_EQ(TavrinReadIntrStat(untouched), 0) << "nothing open";
    EXPECT_EQ(untouched[0], 0x77);
    LumbraSimAdvancePulses(2, 0x10);
    ASSERT_EQ(TavrinOpenIntr(2, 100), 1);
    const auto record = readRecord();
    EXPECT_EQ(record.handle, 2u);
    EXPECT_EQ(record.irq, config(2, 0x3C) & 0xFF);
    EXPECT_EQ(record.raised, 0);
    EXPECT_EQ(record.pulses, 100);
    EXPECT_EQ(record.target, 0x10u + 100);
    EXPECT_EQ(record.spare, 0);
    EXPECT_EQ(mode(2, 0x08) & 1, 1) << "status register shows the armed interrupt";
    EXPECT_EQ(mode(1, 0x08) & 1, 0);
    PciWriteConfigReg(2, 0x3C, 0x0000010E);
    EXPECT_EQ(readRecord().irq, 14) << "the IRQ is the configured interrupt line";
}

TEST_F(SimulatedBoards, InterruptsAreCountedEveryPeriodOnlyWhileUnmasked)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    ASSERT_EQ(TavrinOpenIntr(1, 100), 1);
    LumbraSimAdvancePulses(1, 150);
    EXPECT_EQ(readRecord().raised, 0) << "opens masked";
    EXPECT_EQ(readRecord().target, 200u) << "the target reloads even while masked";
    TavrinUnmaskIntr();
    LumbraSimAdvancePulses(1, 49);
    EXPECT_EQ(readRecord().raised, 0);
    LumbraSimAdvancePulses(1, 1);
    EXPECT_EQ(readRecord().raised, 1);
    EXPECT_EQ(readRecord().target, 300u);
    LumbraSimAdvancePulses(1, 250);
    EXPECT_EQ(readRecord().raised, 3);
    EXPECT_EQ(readRecord().target, 500u);
    LumbraSimAdvancePulses(2, 1000);
    EXPECT_EQ(readRecord().raised, 3) << "another chip's pulses";
    TavrinMaskIntr();
    LumbraSimAdvancePulses(1, 100);
    EXPECT_EQ(readRecord().raised, 3);
    EXPECT_EQ(readRecord().target, 600u);
}

TEST_F(SimulatedBoards, TargetAndCountWrapAroundTheirWidths)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    TavrinInitCadmir(1, 0, 0xFFFFF0);
    ASSERT_EQ(TavrinOpenIntr(1, 0x20), 1);
    TavrinUnmaskIntr();
    EXPECT_EQ(readRecord().target, 0x000010u);
    LumbraSimAdvancePulses(1, 0x20);
    EXPECT_EQ(counter(1), 0x10);
    EXPECT_EQ(readRecord().raised, 1);
    EXPECT_EQ(readRecord().target, 0x30u);
    TavrinInitCadmir(1, 0, 0xFFFF00);
    ASSERT_EQ(TavrinOpenIntr(1, 0x80), 1);
    LumbraSimAdvancePulses(1, 0x80);
    EXPECT_EQ(readRecord().target, 0x000000u) << "the reloaded target wraps too";

    ASSERT_EQ(TavrinOpenIntr(1, 1), 1);
    TavrinUnmaskIntr();
    LumbraSimAdvancePulses(1, 70000);
    EXPECT_EQ(readRecord().raised, 70000 % 65536);
    EXPECT_EQ(readRecord().target, static_cast<uint32_t>(counter(1) + 1));
    // A step of many turns of the counter raises one interrupt per period passed.
    ASSERT_EQ(TavrinOpenIntr(1, 65535), 1);
    TavrinUnmaskIntr();
    LumbraSimAdvancePulses(1, 3u * 0x1000000);
    EXPECT_EQ(readRecord().raised, static_cast<uint16_t>(3u * 0x1000000 / 65535));
}

TEST_F(SimulatedBoards, OnlyTheOpenChipClosesTheInterrupt)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    EXPECT_EQ(TavrinCloseIntr(0), 0) << "nothing open";
    ASSERT_EQ(TavrinOpenIntr(1, 10), 1);
    EXPECT_EQ(TavrinCloseIntr(0), 0);
    EXPECT_EQ(TavrinCloseIntr(2), 0);
    EXPECT_EQ(TavrinCloseIntr(1), 1);
    EXPECT_EQ(TavrinCloseIntr(1), 0) << "already closed";
    EXPECT_EQ(mode(1, 0x08) & 1, 0);
}

TEST_F(SimulatedBoards, OpeningAgainReplacesTheInterrupt)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    ASSERT_EQ(TavrinOpenIntr(1, 10), 1);
    TavrinUnmaskIntr();
    LumbraSimAdvancePulses(1, 30);
    ASSERT_EQ(TavrinOpenIntr(2, 20), 1);
    TavrinUnmaskIntr();
    EXPECT_EQ(readRecord().handle, 2u);
    EXPECT_EQ(readRecord().raised, 0);
    LumbraSimAdvancePulses(1, 100);
    EXPECT_EQ(readRecord().raised, 0) << "chip 1 no longer raises";
    EXPECT_EQ(TavrinCloseIntr(1), 0);
    EXPECT_EQ(TavrinCloseIntr(2), 1);
}

TEST_F(SimulatedBoards, ClosingTheLibraryReleasesTheInterrupt)
{
    ASSERT_EQ(PciOpenDevice(), 1);
    ASSERT_EQ(TavrinOpenIntr(1, 10), 1);
    PciCloseDevice();
    ASSERT_EQ(PciOpenDevice(), 1);
    EXPECT_EQ(TavrinCloseIntr(1), 0);
    uint8_t record[LUMBRA_INTR_RECORD_SIZE] = {};
    EXPECT_EQ(TavrinReadIntrStat(record), 0);
}
