// The machine's own boards, asked for by a LUMBRA_DEVICE value other than "sim". Each
// system has its one implementation: pci_bus_linux.cpp reaches the PCI devices,
// pci_bus_win32.cpp refuses, as on Windows the board maker's own library serves them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "bus.h"
#include "session.h"

namespace lumbra
{

// nullptr, with the reason among the warnings, when no bus can be opened for `device`.
std::unique_ptr<Bus> openPciBus(const std::string& device, const Host& host,
                                std::vector<std::string>& warnings);

}  // namespace lumbra
