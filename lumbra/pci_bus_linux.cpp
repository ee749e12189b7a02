#include "linux_bus.h"
#include "pci_bus.h"

namespace lumbra
{

std::unique_ptr<Bus> openPciBus(const std::string& device, const Host& host,
                                std::vector<std::string>& warnings)
{
    const auto selection = parsePciSelection(device);
    if (!selection)
    {
        warnings.push_back("LUMBRA_DEVICE=\"" + device + "\" is neither sim nor a pci selection");
        return nullptr;
    }
    return LinuxBus::open(host.sysfsPath, host.devPath, *selection, host.warn, warnings);
}

}  // namespace lumbra
