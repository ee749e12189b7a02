#include "text.h"

#include <charconv>
#include <cstdio>

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

std::string quoted(std::string_view value)
{
    constexpr size_t kShown = 60;
    size_t cut = std::min(value.size(), kShown);
    // Not inside a UTF-8 sequence: a cut character would print as garbage.
    while (cut < value.size() && cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80)
        --cut;
    std::string text = "\"";
    for (const char c : value.substr(0, cut))
    {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        }
        else
            text += c;
    }
    text += '"';
    if (cut < value.size())
        text += "... (" + std::to_string(value.size()) + " characters)";
    return text;
}

}  // namespace lumbra
