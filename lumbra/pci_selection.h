// What a LUMBRA_DEVICE value other than "sim" asks for: read the same on every system,
// so each can say whether it serves the selection.
#pragma once

#include <optional>
#include <string>

namespace lumbra
{

// Which devices a LUMBRA_DEVICE value picks: "pci" the board's IDs, "pci:VVVV:DDDD" an
// lspci -d filter, "pci:slot=[[DDDD:]BB:]SS[.F]" an lspci -s filter. nullopt for text
// that is none of these. Any of them may end in ",writable", which lets configuration
// writes reach devices that are not boards.
struct PciSelection
{
    enum class Kind
    {
        Board,
        Id,
        Slot
    } kind;
    std::string filter;
    bool othersWritable = false;
};
std::optional<PciSelection> parsePciSelection(const std::string& device);

}  // namespace lumbra
