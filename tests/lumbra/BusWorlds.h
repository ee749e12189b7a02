// The buses the typed bus suite runs against, each with two Tavrin boards as chips 1
// and 2 and a way to make a board raise one interrupt.
#pragma once

#include <cstdint>
#include <memory>

#include "StandInSysfs.h"
#include "linux_bus.h"
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

// The Linux bus over a stand-in sysfs tree: two boards bound to UIO, and a device of
// another maker that the board selection leaves out.
class LinuxBusWorld
{
public:
    LinuxBusWorld()
    {
        tree_.add("0000:00:05.0", reg::kVendorId, reg::kDeviceId, 0);
        tree_.add("0000:00:03.0", 0x1AF4, 0x1041);
        tree_.add("0000:01:00.0", reg::kVendorId, reg::kDeviceId, 1);
        std::vector<std::string> warnings;
        bus_ = LinuxBus::open(
            tree_.sysfs(), tree_.dev(), {PciSelection::Kind::Board, {}}, [](const std::string&) {}, warnings);
    }
    Bus& bus() { return *bus_; }
    void raise(int32_t chip) { tree_.interrupt(static_cast<size_t>(chip - 1), ++totals_[chip - 1]); }

private:
    StandInSysfs tree_;
    std::unique_ptr<LinuxBus> bus_;
    uint32_t totals_[2] = {40, 70};
};

}  // namespace lumbra::test
