// The lumbra library: the board maker's device-control library, here implemented once
// over the board's registers.
//
// How the pieces fit. The exported entry points (exports.cpp) take one lock and call the
// Session method of the same name. The Session keeps every rule the contract defines,
// once for all back ends: the open state, the chip range, argument checks, injected
// faults (faults.h), the one counter interrupt and its status record. It reaches a board
// only through the Bus interface (bus.h) in the terms of the register map (registers.h):
// configuration space, byte ports in BAR0, 32-bit mode registers in BAR1, the interrupt.
// It clocks the serial EEPROM's commands bit by bit through a mode register and reads
// the Cadmir counter through its byte registers. Two buses stand behind it, chosen by
// LUMBRA_DEVICE at every open: SimBus (sim_bus.h), boards simulated at register level
// (board.h, serial_eeprom.h, cadmir.h) whose EEPROMs can be kept in a state file
// (state_file.h), and LinuxBus (linux_bus.h), the machine's PCI devices through libpci,
// sysfs and UIO. Settings come from the environment (settings.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bus.h"
#include "faults.h"
#include "lumbra.h"
#include "settings.h"
#include "sim_bus.h"

namespace lumbra
{

inline constexpr int32_t kVxdVersion = 0x0104;

// What the library takes from the process, replaceable so tests can drive the clock, the
// environment and where the PCI devices are found.
struct Host
{
    std::function<uint64_t()> nowNs;  // monotonic
    Getenv getenv;
    std::function<void(const std::string&)> warn;
    // Where LinuxBus looks; tests point these at a stand-in tree.
    std::string sysfsPath = "/sys/bus/pci";
    std::string devPath = "/dev";
    // Lets tests put simulated boards behind the devices the Linux bus found.
    std::function<std::unique_ptr<Bus>(std::unique_ptr<Bus>)> behindPci = nullptr;
};

class Session
{
public:
    explicit Session(Host host);

    // One method per entry point, with the contract's own name and parameters.
#define LUMBRA_METHOD(ret, name, params, args) ret name params;
    LUMBRA_FUNCTIONS(LUMBRA_METHOD)
#undef LUMBRA_METHOD

    int16_t LumbraSimAdvancePulses(int32_t chip, uint32_t pulses);
    void LumbraSimReset();

private:
    bool enter(Fn fn, std::optional<int32_t> chip = {}, std::optional<int32_t> address = {});
    bool enterChip(Fn fn, int32_t chip, std::optional<int32_t> address = {});
    int16_t readPortTo(Fn fn, int32_t chip, uint32_t offset, uint8_t* value);
    void pollInterrupt();
    void releaseInterrupt();
    bool writeInterruptControl();
    void report(const std::vector<std::string>& warnings) const;
    bool keepBackup(int32_t chip);
    int16_t changeEeprom(int32_t chip, const std::vector<std::pair<uint32_t, uint16_t>>& words);

    Host host_;
    bool open_ = false;
    std::string faultText_;
    FaultPlan faults_;
    SimBus sim_;
    std::unique_ptr<Bus> pci_;
    Bus* bus_ = nullptr;
    int32_t chips_ = 0;
    std::string device_;           // the LUMBRA_DEVICE text of the open, for messages
    bool othersWritable_ = false;  // configuration writes may reach devices that are not boards
    std::set<int32_t> backedUp_;   // real boards whose EEPROM has a backup, since the open
    bool ackOwed_ = false;         // the last interrupt could not be acknowledged yet
    int32_t intrChip_ = 0;         // chip whose counter interrupt is open, 0 for none
    bool masked_ = true;
    uint16_t period_ = 0;
    uint16_t raised_ = 0;  // wraps at 16 bits like the status record's field
};

}  // namespace lumbra
