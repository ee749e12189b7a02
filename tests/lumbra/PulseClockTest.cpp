// The simulator driven by a clock the test holds, to check how wall time turns into
// pulses without ever waiting for it.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "pulse_clock.h"
#include "session.h"

namespace
{

constexpr uint64_t kMs = 1'000'000;
constexpr uint64_t kSecond = 1000 * kMs;

}  // namespace

TEST(PulseClock, CarriesFractionsOfAPulseBetweenCalls)
{
    lumbra::PulseClock clock;
    clock.start(1000, 5 * kSecond);
    EXPECT_EQ(clock.take(5 * kSecond + kMs * 4 / 10), 0u);
    EXPECT_EQ(clock.take(5 * kSecond + kMs), 1u);
    EXPECT_EQ(clock.take(6 * kSecond + kMs / 2), 999u);
    EXPECT_EQ(clock.take(6 * kSecond), 0u) << "time never runs backwards into negative pulses";
    EXPECT_EQ(clock.take(6 * kSecond + kMs), 1u);
}

TEST(PulseClock, ZeroRateFreezesAndLongRunsDoNotOverflow)
{
    lumbra::PulseClock frozen;
    frozen.start(0, 0);
    EXPECT_EQ(frozen.take(100 * kSecond), 0u);

    lumbra::PulseClock fast;
    fast.start(10'000'000, 0);
    const uint64_t century = 100ull * 365 * 24 * 3600 * kSecond;
    EXPECT_EQ(fast.take(century), 100ull * 365 * 24 * 3600 * 10'000'000);
}

class ClockedSimulator : public ::testing::Test
{
protected:
    ClockedSimulator()
        : sim_({[this] { return now_; },
                [this](const char* name) -> const char*
                {
                    const auto it = env_.find(name);
                    return it == env_.end() ? nullptr : it->second.c_str();
                },
                [](const std::string&) {}})
    {
    }

    int32_t counter(int32_t chip)
    {
        int32_t value = -1;
        EXPECT_EQ(sim_.CadmirReadCounter(chip, &value), 1);
        return value;
    }
    uint16_t raised()
    {
        uint8_t record[LUMBRA_INTR_RECORD_SIZE] = {};
        EXPECT_EQ(sim_.TavrinReadIntrStat(record), 1);
        return static_cast<uint16_t>(record[6] | record[7] << 8);
    }

    uint64_t now_ = 42 * kSecond;
    std::map<std::string, std::string> env_{{"LUMBRA_SIM_PULSE_HZ", "1000"}};
    lumbra::Session sim_;
};

TEST_F(ClockedSimulator, CountersFollowTheClockOnEveryChip)
{
    ASSERT_EQ(sim_.PciOpenDevice(), 1);
    now_ += 1500 * kMs;
    EXPECT_EQ(counter(1), 1500);
    EXPECT_EQ(counter(2), 1500);
    sim_.PciCloseDevice();
    now_ += 10 * kSecond;
    ASSERT_EQ(sim_.PciOpenDevice(), 1);
    EXPECT_EQ(counter(1), 1500) << "the counter rests while the library is closed";
}

TEST_F(ClockedSimulator, PulsesBeforeAMaskChangeCountUnderTheOldMask)
{
    ASSERT_EQ(sim_.PciOpenDevice(), 1);
    ASSERT_EQ(sim_.TavrinOpenIntr(1, 100), 1);
    now_ += 250 * kMs;
    sim_.TavrinUnmaskIntr();  // the 250 pulses so far came in masked
    EXPECT_EQ(raised(), 0);
    now_ += 300 * kMs;
    sim_.TavrinMaskIntr();  // targets 300, 400 and 500 passed unmasked
    now_ += 1 * kSecond;
    EXPECT_EQ(raised(), 3);
}

TEST_F(ClockedSimulator, ZeroRateFromTheEnvironmentFreezesTheCounter)
{
    env_["LUMBRA_SIM_PULSE_HZ"] = "0";
    ASSERT_EQ(sim_.PciOpenDevice(), 1);
    now_ += 100 * kSecond;
    EXPECT_EQ(counter(1), 0);
    env_["LUMBRA_SIM_PULSE_HZ"] = "fast";
    ASSERT_EQ(sim_.PciOpenDevice(), 1);
    now_ += 2 * kMs;
    EXPECT_EQ(counter(1), 2) << "a malformed rate falls back to 1000 Hz";
}
