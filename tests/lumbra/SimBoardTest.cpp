// The simulated board at register level: the serial EEPROM's protocol clocked by hand
// through the EEPROM control register, and the counter chip's registers.
#include <gtest/gtest.h>

#include "BusWorlds.h"

using namespace lumbra;

namespace
{

class SimBoard : public ::testing::Test
{
protected:
    // The three input wires, as a programmer sets them; one call is one register write.
    void wires(bool cs, bool sk, bool di)
    {
        ASSERT_TRUE(bus().writeMemory(
            1, reg::kModeEeprom, (cs ? reg::kEepCs : 0) | (sk ? reg::kEepSk : 0) | (di ? reg::kEepDi : 0)));
    }
    bool dataOut() { return (*bus().readMemory(1, reg::kModeEeprom) & reg::kEepDo) != 0; }
    void clockIn(uint32_t bits, int count)
    {
        for (int i = count - 1; i >= 0; --i)
        {
            wires(true, false, (bits >> i) & 1);
            wires(true, true, (bits >> i) & 1);
        }
        wires(true, false, false);
    }
    // Start bit, two opcode bits, six address bits, from a fresh select.
    void command(uint32_t nineBits)
    {
        wires(false, false, false);
        wires(true, false, false);
        clockIn(nineBits, 9);
    }
    uint32_t readWord(uint32_t address)
    {
        command(0b110 << 6 | address);
        EXPECT_FALSE(dataOut()) << "dummy 0 before the data";
        uint32_t word = 0;
        for (int i = 0; i < 16; ++i)
        {
            wires(true, true, false);
            word = word << 1 | dataOut();
            wires(true, false, false);
        }
        wires(false, false, false);
        return word;
    }
    // Sends WRITE and its data, deselects to start programming and selects again to
    // watch the ready bit.
    void sendWrite(uint32_t address, uint16_t word)
    {
        command(0b101 << 6 | address);
        clockIn(word, 16);
        wires(false, false, false);
        wires(true, false, false);
    }
    uint32_t status() { return *bus().readMemory(1, reg::kModeStatus); }
    Bus& bus() { return world_.bus(); }

    test::SimBusWorld world_;
};

}  // namespace

TEST_F(SimBoard, EepromReadClocksOutTheWordAfterADummyZero)
{
    EXPECT_EQ(readWord(0), reg::kVendorId);
    EXPECT_EQ(readWord(1), reg::kDeviceId);
    EXPECT_EQ(readWord(8), 0x1001u) << "chip 1's serial number";
    EXPECT_EQ(readWord(63), readWord(63)) << "reading changes nothing";
}

TEST_F(SimBoard, EepromWriteNeedsEwenShowsBusyForTheWriteTimeAndEwdsLocksAgain)
{
    constexpr uint32_t kEwen = 0b100110000, kEwds = 0b100000000, kErase = 0b111 << 6;
    sendWrite(20, 0x1234);
    EXPECT_FALSE(dataOut()) << "no programming started";
    world_.now_ += 10 * SerialEeprom::kWriteTimeNs;
    EXPECT_FALSE(dataOut());
    EXPECT_EQ(readWord(20), 0xFFFFu) << "the EEPROM powers up refusing writes";

    command(kEwen);
    sendWrite(20, 0x1234);
    EXPECT_FALSE(dataOut()) << "busy";
    EXPECT_EQ(status() & reg::kStatusEepromReady, 0u);
    command(0b110 << 6 | 20);  // a command while busy is ignored
    world_.now_ += SerialEeprom::kWriteTimeNs - 1;
    wires(true, false, false);
    wires(false, false, false);
    wires(true, false, false);
    EXPECT_FALSE(dataOut()) << "one nanosecond short of the write time";
    world_.now_ += 1;
    EXPECT_TRUE(dataOut()) << "ready";
    EXPECT_NE(status() & reg::kStatusEepromReady, 0u);
    EXPECT_EQ(readWord(20), 0x1234u);

    command(kErase | 20);
    wires(false, false, false);
    world_.now_ += SerialEeprom::kWriteTimeNs;
    EXPECT_EQ(readWord(20), 0xFFFFu) << "erased";

    command(kEwds);
    sendWrite(20, 0x5678);
    world_.now_ += SerialEeprom::kWriteTimeNs;
    EXPECT_FALSE(dataOut());
    EXPECT_EQ(readWord(20), 0xFFFFu) << "locked again";
}

TEST_F(SimBoard, EepromControlReadsBackSelectAndClockOnly)
{
    wires(true, true, true);
    EXPECT_EQ(*bus().readMemory(1, reg::kModeEeprom), 0x4003u) << "DI reads 0, DO is quiet during a command";
    wires(false, false, false);
    EXPECT_EQ(*bus().readMemory(1, reg::kModeEeprom), 0x4000u);
}

TEST_F(SimBoard, CounterRegistersLoadLatchAndRaiseInta)
{
    Bus& b = bus();
    const auto counter = [&]
    {
        b.writePort(1, reg::kCadmirCommand, reg::kCmdLatch);
        return *b.readPort(1, 0x14) | *b.readPort(1, 0x15) << 8 | *b.readPort(1, 0x16) << 16;
    };
    b.writePort(1, 0x14, 0xFE);
    b.writePort(1, 0x15, 0xFF);
    b.writePort(1, 0x16, 0xFF);
    EXPECT_EQ(counter(), 0) << "the preload waits for the load command";
    b.writePort(1, reg::kCadmirCommand, reg::kCmdLoad);
    EXPECT_EQ(counter(), 0xFFFFFE);
    world_.sim().advance(1, 3);
    EXPECT_EQ(*b.readPort(1, 0x14), 0xFE) << "the latch holds until latched again";
    EXPECT_EQ(counter(), 0x000001) << "24 bits wrap";

    b.writePort(1, reg::kCadmirStep, 10);
    b.writePort(1, reg::kCadmirCommand, reg::kCmdArm);
    EXPECT_EQ(*b.readPort(1, reg::kCadmirCompare), 11);
    world_.sim().advance(1, 20);
    EXPECT_EQ(*b.readPort(1, reg::kCadmirStatus), 0) << "compare not enabled";
    EXPECT_EQ(*b.readPort(1, reg::kCadmirCompare), 11);

    b.writePort(1, reg::kCadmirControl, reg::kCadmirCompareOn);
    EXPECT_EQ(*b.readMemory(1, reg::kModeStatus) & reg::kStatusCounterOpen, reg::kStatusCounterOpen);
    b.writePort(1, reg::kCadmirCommand, reg::kCmdArm);  // counter 21, compare 31
    world_.sim().advance(1, 25);                        // passes 31 and 41
    EXPECT_EQ(*b.readPort(1, reg::kCadmirStatus), reg::kCadmirMatched);
    EXPECT_EQ(*b.readPort(1, reg::kCadmirCompare), 51);
    EXPECT_EQ(*b.readMemory(1, reg::kModeInterrupt), reg::kIntaPending);
    EXPECT_EQ(b.waitInterrupt(1, 0), 0u) << "INTA was not enabled";

    b.writeMemory(1, reg::kModeInterrupt, reg::kIntaEnable | reg::kIntaPending);
    b.writePort(1, reg::kCadmirStatus, reg::kCadmirMatched);
    EXPECT_EQ(*b.readPort(1, reg::kCadmirStatus), 0) << "cleared by writing 1";
    EXPECT_EQ(*b.readMemory(1, reg::kModeInterrupt), reg::kIntaEnable);
    world_.sim().advance(1, 24);  // from 46 to 70: passes 51 and 61
    EXPECT_EQ(b.waitInterrupt(1, 0), 2u) << "each match one interrupt";
    EXPECT_EQ(b.waitInterrupt(2, 0), 0u);
}
