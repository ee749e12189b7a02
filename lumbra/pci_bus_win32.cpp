#include "pci_bus.h"
#include "pci_selection.h"
#include "text.h"

namespace lumbra
{

// A user who asks for real boards is told where they are served rather than shown
// simulated ones that could be taken for them.
std::unique_ptr<Bus> openPciBus(const std::string& device, const Host&, std::vector<std::string>& warnings)
{
    if (parsePciSelection(device))
        warnings.push_back("LUMBRA_DEVICE=" + quoted(device) +
                           ": on Windows real boards are served by the board maker's own lumbra.dll");
    else
        warnings.push_back("LUMBRA_DEVICE=" + quoted(device) + " is neither sim nor a pci selection");
    return nullptr;
}

}  // namespace lumbra
