// The simulated boards as a world of the bus suite (BusSuite.h), which other tests use
// too: two Tavrin boards as chips 1 and 2 and a way to make a board raise one interrupt.
#pragma once

#include <cstdint>
#include <memory>

#include "registers.h"
#include "sim_bus.h"

namespace lumbra::test
{

class SimBusWorld
{
public:
    SimBusWorld() : bus_([this] { return now_; }, [](const std::string&) {})
    {
        Settings settings;
        settings.pulseHz = 0;
        std::vector<std::string> warnings;
        bus_.open(settings, warnings);
    }
    Bus& bus() { return bus_; }
    // The counter matches its compare one pulse later, with INTA enabled.
    void raise(int32_t chip)
    {
        bus_.writePort(chip, reg::kCadmirStep, 1);
        bus_.writePort(chip, reg::kCadmirCommand, reg::kCmdArm);
        bus_.writePort(chip, reg::kCadmirControl, reg::kCadmirCompareOn);
        bus_.writeMemory(chip, reg::kModeInterrupt, reg::kIntaEnable);
        bus_.advance(chip, 1);
    }
    SimBus& sim() { return bus_; }
    uint64_t now_ = 1'000'000'000;

private:
    SimBus bus_;
};

}  // namespace lumbra::test
