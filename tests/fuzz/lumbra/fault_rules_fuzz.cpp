// The fault-rule parser. Half the inputs are any text at all: the parser
// never fails on it, warns at most once per rule, and two parses of one text
// fail the same calls. The other half are well-formed rules written in the
// forms a user may use (decimal or hexadecimal, qualifiers in any order,
// spaces around items): they parse without a warning, and each call fails
// exactly when a rule matches it and its "#n" count is reached.
#include "faults.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using lumbra::FaultPlan;
using lumbra::Fn;

namespace
{

[[noreturn]] void finding(const std::string& what, const std::string& text)
{
    std::fprintf(stderr, "finding: %s; rules \"%s\"\n", what.c_str(), text.c_str());
    std::abort();
}

constexpr int kFunctionCount = static_cast<int>(std::size(lumbra::kFunctions));

struct Call
{
    Fn fn;
    std::optional<int32_t> chip;
    std::optional<int32_t> address;
};

Call fuzzedCall(FuzzedDataProvider& in)
{
    const Fn fn = static_cast<Fn>(in.ConsumeIntegralInRange<int>(0, kFunctionCount - 1));
    Call call{fn, {}, {}};
    if (lumbra::info(fn).takesChip)
        call.chip = in.ConsumeIntegralInRange<int32_t>(-1, 4);
    if (lumbra::info(fn).takesAddress)
        call.address =
            in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(0, 3) * 4 : in.ConsumeIntegral<int32_t>();
    return call;
}

struct Rule
{
    Fn fn;
    std::optional<int32_t> chip;
    std::optional<uint32_t> address;
    std::optional<uint64_t> n;
    uint64_t matched = 0;
};

std::string number(FuzzedDataProvider& in, uint64_t value)
{
    char text[32];
    if (in.ConsumeBool())
        std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(value));
    else
        std::snprintf(text, sizeof text, in.ConsumeBool() ? "0x%llX" : "0x%llx",
                      static_cast<unsigned long long>(value));
    return text;
}

// A rule as a user may write it, and the same rule as data.
Rule wellFormedRule(FuzzedDataProvider& in, std::string& text)
{
    Rule rule{static_cast<Fn>(in.ConsumeIntegralInRange<int>(0, kFunctionCount - 1)), {}, {}, {}};
    const lumbra::FunctionInfo& info = lumbra::info(rule.fn);
    std::vector<std::string> qualifiers;
    if (info.takesChip && in.ConsumeBool())
    {
        rule.chip = in.ConsumeIntegralInRange<int32_t>(0, 4);
        qualifiers.push_back("@" + number(in, uint64_t(*rule.chip)));
    }
    if (info.takesAddress && in.ConsumeBool())
    {
        rule.address =
            in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 3) * 4 : in.ConsumeIntegral<uint32_t>();
        qualifiers.push_back(":" + number(in, *rule.address));
    }
    if (in.ConsumeBool())
    {
        rule.n = in.ConsumeIntegralInRange<uint64_t>(1, 4);
        qualifiers.push_back("#" + number(in, *rule.n));
    }
    // Qualifiers in any order.
    for (size_t i = qualifiers.size(); i > 1; --i)
        std::swap(qualifiers[i - 1], qualifiers[in.ConsumeIntegralInRange<size_t>(0, i - 1)]);
    text += std::string(in.ConsumeIntegralInRange<int>(0, 2), ' ');
    text += info.name;
    for (const std::string& q : qualifiers)
        text += q;
    text += std::string(in.ConsumeIntegralInRange<int>(0, 2), ' ');
    return rule;
}

bool expectedFailure(std::vector<Rule>& rules, const Call& call)
{
    bool fails = false;
    for (Rule& rule : rules)
    {
        if (rule.fn != call.fn || (rule.chip && rule.chip != call.chip))
            continue;
        if (rule.address && (!call.address || *rule.address != static_cast<uint32_t>(*call.address)))
            continue;
        ++rule.matched;
        fails |= !rule.n || *rule.n == rule.matched;
    }
    return fails;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool())
    {
        const std::string text = in.ConsumeRandomLengthString(256);
        std::vector<std::string> warnings;
        FaultPlan first = FaultPlan::parse(text, warnings);
        FaultPlan second = FaultPlan::parse(text, warnings);
        size_t items = 1;
        for (char c : text)
            items += c == ',';
        if (warnings.size() > 2 * items)
            finding("more warnings than rules", text);
        while (in.remaining_bytes() > 0)
        {
            const Call call = fuzzedCall(in);
            if (first.failsNow(call.fn, call.chip, call.address) !=
                second.failsNow(call.fn, call.chip, call.address))
                finding("two parses of one text fail different calls", text);
        }
        return 0;
    }

    std::string text;
    std::vector<Rule> rules;
    const int count = in.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < count; ++i)
    {
        if (i > 0)
            text += ',';
        rules.push_back(wellFormedRule(in, text));
    }
    std::vector<std::string> warnings;
    FaultPlan plan = FaultPlan::parse(text, warnings);
    if (!warnings.empty())
        finding("a well-formed rule was refused: " + warnings.front(), text);
    for (int i = 0; i < 64 && in.remaining_bytes() > 0; ++i)
    {
        const Call call = fuzzedCall(in);
        if (plan.failsNow(call.fn, call.chip, call.address) != expectedFailure(rules, call))
            finding("call " + std::string(lumbra::info(call.fn).name) +
                        " failed when it should not or the reverse",
                    text);
    }
    return 0;
}
