#include "pci_bus.h"

namespace lumbra
{

// A user who asks for real boards is told where they are served rather than shown
// simulated ones that could be taken for them.
std::unique_ptr<Bus> openPciBus(const std::string& device, const Host&, std::vector<std::string>& warnings)
{
    if (device.compare(0, 3, "pci") == 0)
        warnings.push_back("LUMBRA_DEVICE=\"" + device +
                           "\": this library simulates boards only; on Windows real boards are served "
                           "by the board maker's own lumbra.dll, put in place of this one");
    else
        warnings.push_back("LUMBRA_DEVICE=\"" + device + "\" is neither sim nor a pci selection");
    return nullptr;
}

}  // namespace lumbra
