#include "pci_selection.h"

#include <string_view>

namespace lumbra
{

std::optional<PciSelection> parsePciSelection(const std::string& text)
{
    constexpr std::string_view kWritable = ",writable";
    std::string device = text;
    const bool writable = device.size() > kWritable.size() &&
                          device.compare(device.size() - kWritable.size(), kWritable.size(), kWritable) == 0;
    if (writable)
        device.resize(device.size() - kWritable.size());
    if (device == "pci")
        return PciSelection{PciSelection::Kind::Board, {}, writable};
    if (device.rfind("pci:slot=", 0) == 0)
        return PciSelection{PciSelection::Kind::Slot, device.substr(9), writable};
    if (device.rfind("pci:", 0) == 0)
        return PciSelection{PciSelection::Kind::Id, device.substr(4), writable};
    return std::nullopt;
}

}  // namespace lumbra
