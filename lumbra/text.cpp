#include "text.h"

#include <charconv>

namespace lumbra
{

namespace
{

std::optional<uint64_t> parseDigits(std::string_view text, int base, uint64_t max)
{
    uint64_t value = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (error != std::errc() || stop != end || value > max)
        return std::nullopt;
    return value;
}

}  // namespace

std::string_view trim(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::optional<uint64_t> parseNumber(std::string_view text, uint64_t max)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return parseDigits(text.substr(2), 16, max);
    return parseDigits(text, 10, max);
}

std::optional<uint64_t> parseHex(std::string_view text, uint64_t max) { return parseDigits(text, 16, max); }

}  // namespace lumbra
