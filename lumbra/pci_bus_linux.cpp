#include "linux_bus.h"
#include "pci_bus.h"
#include "text.h"

namespace lumbra
{

std::unique_ptr<Bus> openPciBus(const std::string& device, const Host& host,
                                std::vector<std::string>& warnings)
{
    const auto selection = parsePciSelection(device);
    if (!selection)
    {
        warnings.push_back("LUMBRA_DEVICE=" + quoted(device) + " is neither sim nor a pci selection");
        return nullptr;
    }
    std::unique_ptr<Bus> pci = LinuxBus::open(host.sysfsPath, host.devPath, *selection, host.warn, warnings);
    if (pci && host.behindPci)
        pci = host.behindPci(std::move(pci));
    return pci;
}

}  // namespace lumbra
