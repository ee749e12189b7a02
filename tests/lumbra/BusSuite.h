// One suite for the bus interface, written once and run against every bus (each bus's
// test file instantiates it with its world): what the session layer relies on from any
// back end. A world holds a bus with two Tavrin boards as chips 1 and 2 and can make a
// board raise one interrupt.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "bus.h"
#include "registers.h"

namespace lumbra::test
{

template <typename World>
class BusSuite : public ::testing::Test
{
protected:
    World world_;
    Bus& bus() { return world_.bus(); }
};

TYPED_TEST_SUITE_P(BusSuite);

TYPED_TEST_P(BusSuite, ChipsAreNumberedFromOneAndCarryTheBoardIds)
{
    Bus& bus = this->bus();
    ASSERT_EQ(bus.count(), 2);
    for (int32_t chip : {1, 2})
    {
        EXPECT_TRUE(bus.isBoard(chip));
        EXPECT_EQ(bus.readConfig(chip, reg::kCfgId), uint32_t{reg::kDeviceId} << 16 | reg::kVendorId);
    }
    for (int32_t chip : {0, -1, 3})
    {
        EXPECT_FALSE(bus.isBoard(chip));
        EXPECT_FALSE(bus.readConfig(chip, 0));
        EXPECT_FALSE(bus.writeConfig(chip, reg::kCfgLocalBus, 0));
        EXPECT_FALSE(bus.readPort(chip, 0));
        EXPECT_FALSE(bus.writePort(chip, reg::kCadmirCompare, 0));
        EXPECT_FALSE(bus.readMemory(chip, 0));
        EXPECT_FALSE(bus.writeMemory(chip, 0x28, 0));
        EXPECT_FALSE(bus.waitInterrupt(chip, 0));
    }
}

TYPED_TEST_P(BusSuite, AccessesOutsideARangeOrMisalignedAreRefused)
{
    Bus& bus = this->bus();
    for (uint32_t offset : {0x100u, 0x102u, 0x2u, 0xFFFFFFFCu})
    {
        EXPECT_FALSE(bus.readConfig(1, offset)) << offset;
        EXPECT_FALSE(bus.writeConfig(1, offset, 0)) << offset;
    }
    for (uint32_t offset : {0x100u, 0xFFFFFFFFu})
    {
        EXPECT_FALSE(bus.readPort(1, offset)) << offset;
        EXPECT_FALSE(bus.writePort(1, offset, 0)) << offset;
    }
    for (uint32_t offset : {0x1000u, 0x2Au, 0xFFFFFFFCu})
    {
        EXPECT_FALSE(bus.readMemory(1, offset)) << offset;
        EXPECT_FALSE(bus.writeMemory(1, offset, 0)) << offset;
    }
    EXPECT_TRUE(bus.readConfig(1, 0xFC));
    EXPECT_TRUE(bus.readPort(1, 0xFF));
    EXPECT_TRUE(bus.readMemory(1, 0xFFC));
}

TYPED_TEST_P(BusSuite, WritableRegistersKeepWhatIsWrittenOnTheirOwnChip)
{
    Bus& bus = this->bus();
    struct Case
    {
        const char* what;
        std::function<bool(int32_t, uint32_t)> write;
        std::function<std::optional<uint32_t>(int32_t)> read;
        uint32_t value;
    };
    const Case cases[] = {
        {"local bus control", [&](int32_t c, uint32_t v) { return bus.writeConfig(c, reg::kCfgLocalBus, v); },
         [&](int32_t c) { return bus.readConfig(c, reg::kCfgLocalBus); }, 0x0BADF00D},
        {"scratch mode register", [&](int32_t c, uint32_t v) { return bus.writeMemory(c, 0x28, v); },
         [&](int32_t c) { return bus.readMemory(c, 0x28); }, 0x12345678},
        {"counter compare byte",
         [&](int32_t c, uint32_t v)
         { return bus.writePort(c, reg::kCadmirCompare + 1, static_cast<uint8_t>(v)); },
         [&](int32_t c) -> std::optional<uint32_t> { return bus.readPort(c, reg::kCadmirCompare + 1); },
         0x5A},
    };
    for (const auto& c : cases)
    {
        const auto other = c.read(1);
        ASSERT_TRUE(c.write(2, c.value)) << c.what;
        EXPECT_EQ(c.read(2), c.value) << c.what;
        EXPECT_EQ(c.read(1), other) << c.what << " of the other chip";
    }
}

TYPED_TEST_P(BusSuite, EachInterruptIsAnsweredOnceAndCanBeAcknowledged)
{
    Bus& bus = this->bus();
    EXPECT_EQ(bus.waitInterrupt(1, 0), 0u) << "nothing raised yet";
    this->world_.raise(1);
    EXPECT_EQ(bus.waitInterrupt(1, 0), 1u);
    EXPECT_EQ(bus.waitInterrupt(1, 0), 0u) << "already answered";
    EXPECT_TRUE(bus.acknowledgeInterrupt(1));
    this->world_.raise(1);
    EXPECT_EQ(bus.waitInterrupt(1, 0), 1u);
}

REGISTER_TYPED_TEST_SUITE_P(BusSuite, ChipsAreNumberedFromOneAndCarryTheBoardIds,
                            AccessesOutsideARangeOrMisalignedAreRefused,
                            WritableRegistersKeepWhatIsWrittenOnTheirOwnChip,
                            EachInterruptIsAnsweredOnceAndCanBeAcknowledged);

}  // namespace lumbra::test
