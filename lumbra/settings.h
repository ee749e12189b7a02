// What the simulator takes from its environment each time the library is opened.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumbra
{

inline constexpr int32_t kMaxChips = 32;
inline constexpr uint32_t kMaxPulseHz = 10'000'000;

struct Settings
{
    int32_t chips = 2;
    uint8_t inport = 0xA5;
    bool inportLoopback = false;  // the input port reads back the output latch
    uint32_t pulseHz = 1000;
    std::string faults;
    std::string stateFile;
    std::string device;  // LUMBRA_DEVICE: empty or "sim", or a "pci" selection
};

using Getenv = std::function<const char*(const char*)>;

// A malformed value keeps its default and adds a line to warnings: the simulator must
// start whatever a user put in the environment.
Settings readSettings(const Getenv& getenv, std::vector<std::string>& warnings);

}  // namespace lumbra
