// The one way the session layer reaches a board: configuration space, the two address
// ranges and the interrupt. Each back end (the simulated boards, the machine's PCI
// devices) is a peer behind this interface and keeps no rule of the contract itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lumbra
{

class Bus
{
public:
    virtual ~Bus() = default;

    // Devices are numbered from 1 in bus order.
    virtual int32_t count() const = 0;
    // Only devices with the board's IDs take the board functions (ports, mode registers,
    // interrupt); the others offer their configuration space and nothing more.
    virtual bool isBoard(int32_t chip) const = 0;
    // Where a real device sits, as the system names it ("0000:00:05.0"); empty for a
    // simulated board.
    virtual std::string slot(int32_t) const { return {}; }

    // Offsets are checked here too (aligned, inside the space), so a caller's slip cannot
    // reach past a range; nullopt or false is a refused or failed access.
    virtual std::optional<uint32_t> readConfig(int32_t chip, uint32_t offset) = 0;
    virtual bool writeConfig(int32_t chip, uint32_t offset, uint32_t value) = 0;
    virtual std::optional<uint8_t> readPort(int32_t chip, uint32_t offset) = 0;  // BAR0, bytes
    virtual bool writePort(int32_t chip, uint32_t offset, uint8_t value) = 0;
    virtual std::optional<uint32_t> readMemory(int32_t chip, uint32_t offset) = 0;  // BAR1, 32 bits
    virtual bool writeMemory(int32_t chip, uint32_t offset, uint32_t value) = 0;

    // Waits up to timeoutMs (0: only looks) for INTA and answers how many interrupts came
    // since the previous wait; nullopt when the device has no interrupt path.
    virtual std::optional<uint32_t> waitInterrupt(int32_t chip, int timeoutMs) = 0;
    // Lets the next interrupt through once the board's own source has been cleared.
    virtual bool acknowledgeInterrupt(int32_t chip) = 0;
};

}  // namespace lumbra
