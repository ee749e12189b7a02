// Injected failures: calls that a test or a demonstration wants to see fail.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "functions.h"

namespace lumbra
{

class FaultPlan
{
public:
    // Comma-separated rules "Name[@chip][:address][#n]", qualifiers in any order.
    // A malformed rule is dropped with a warning; the well-formed ones still apply.
    static FaultPlan parse(std::string_view text, std::vector<std::string>& warnings);

    // True when this call is to fail. Every rule the call matches counts it, so a
    // rule's "#n" means the n-th call that rule matches.
    bool failsNow(Fn fn, std::optional<int32_t> chip, std::optional<int32_t> address);

private:
    struct Rule
    {
        Fn fn;
        std::optional<int32_t> chip;
        std::optional<uint32_t> address;
        std::optional<uint64_t> callIndex;
        uint64_t matched = 0;
    };
    static std::optional<Rule> parseRule(std::string_view text);

    std::vector<Rule> rules_;
};

}  // namespace lumbra
