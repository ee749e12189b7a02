// The contract's entry points as data, so that fault rules can name them and know
// which of them take a chip or an address.
#pragma once

#include <optional>
#include <string_view>

#include "lumbra.h"

namespace lumbra
{

enum class Fn
{
#define LUMBRA_ENUM(ret, name, params, args) name,
    LUMBRA_FUNCTIONS(LUMBRA_ENUM)
#undef LUMBRA_ENUM
};

struct FunctionInfo
{
    std::string_view name;
    bool takesChip;     // the chip number, or the interrupt handle, which is one
    bool takesAddress;  // a register offset or an EEPROM word address
};

namespace detail
{
constexpr bool mentions(std::string_view arguments, std::string_view word)
{
    return arguments.find(word) != std::string_view::npos;
}
}  // namespace detail

// Read off the contract's own argument names, so this table cannot drift from it.
inline constexpr FunctionInfo kFunctions[] = {
#define LUMBRA_INFO(ret, name, params, args)                                                                 \
    {#name, detail::mentions(#args, "chip") || detail::mentions(#args, "handle"),                            \
     detail::mentions(#args, "offset") || detail::mentions(#args, "address")},
    LUMBRA_FUNCTIONS(LUMBRA_INFO)
#undef LUMBRA_INFO
};

inline const FunctionInfo& info(Fn fn) { return kFunctions[static_cast<int>(fn)]; }

inline std::optional<Fn> functionByName(std::string_view name)
{
    for (int i = 0; i < static_cast<int>(std::size(kFunctions)); ++i)
        if (kFunctions[i].name == name)
            return static_cast<Fn>(i);
    return std::nullopt;
}

}  // namespace lumbra
