#include "faults.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "text.h"

namespace lumbra
{

namespace
{

constexpr std::string_view kQualifiers = "@:#";

}  // namespace

std::optional<FaultPlan::Rule> FaultPlan::parseRule(std::string_view text)
{
    const auto nameEnd = std::min(text.find_first_of(kQualifiers), text.size());
    const auto fn = functionByName(text.substr(0, nameEnd));
    if (!fn)
        return std::nullopt;
    Rule rule{*fn, {}, {}, {}};

    for (auto pos = nameEnd; pos < text.size();)
    {
        const char mark = text[pos];
        const auto end = std::min(text.find_first_of(kQualifiers, pos + 1), text.size());
        const auto number = parseNumber(text.substr(pos + 1, end - pos - 1),
                                        mark == ':' ? std::numeric_limits<uint32_t>::max()
                                                    : std::numeric_limits<int32_t>::max());
        if (!number)
            return std::nullopt;
        switch (mark)
        {
            case '@':
                if (rule.chip || !info(rule.fn).takesChip)
                    return std::nullopt;
                rule.chip = static_cast<int32_t>(*number);
                break;
            case ':':
                if (rule.address || !info(rule.fn).takesAddress)
                    return std::nullopt;
                rule.address = static_cast<uint32_t>(*number);
                break;
            default:  // '#': calls are counted from 1, so "#0" could never fire
                if (rule.callIndex || *number == 0)
                    return std::nullopt;
                rule.callIndex = *number;
                break;
        }
        pos = end;
    }
    return rule;
}

FaultPlan FaultPlan::parse(std::string_view text, std::vector<std::string>& warnings)
{
    FaultPlan plan;
    constexpr size_t kMostReported = 5;
    size_t malformed = 0;
    while (!text.empty())
    {
        const auto comma = std::min(text.find(','), text.size());
        const auto item = trim(text.substr(0, comma));
        text.remove_prefix(std::min(comma + 1, text.size()));
        if (item.empty())
            continue;
        if (auto rule = parseRule(item))
            plan.rules_.push_back(*rule);
        else if (++malformed <= kMostReported)
            warnings.push_back("LUMBRA_SIM_FAIL: ignoring malformed rule " + quoted(item));
    }
    if (malformed > kMostReported)
        warnings.push_back("LUMBRA_SIM_FAIL: ignoring " + std::to_string(malformed - kMostReported) +
                           " more malformed rules");
    return plan;
}

bool FaultPlan::failsNow(Fn fn, std::optional<int32_t> chip, std::optional<int32_t> address)
{
    bool fails = false;
    for (auto& rule : rules_)
    {
        if (rule.fn != fn)
            continue;
        if (rule.chip && rule.chip != chip)
            continue;
        if (rule.address && (!address || *rule.address != static_cast<uint32_t>(*address)))
            continue;
        ++rule.matched;
        if (!rule.callIndex || *rule.callIndex == rule.matched)
            fails = true;
    }
    return fails;
}

}  // namespace lumbra
