// Parsing of the short texts the simulator reads from its environment and state file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumbra
{

std::string_view trim(std::string_view text);

// A decimal number, or a hexadecimal one after "0x"/"0X". No sign, no blanks, no
// trailing characters: a value an engineer mistyped is refused, not half-read.
std::optional<uint64_t> parseNumber(std::string_view text, uint64_t max);

// Bare hexadecimal digits, as the state file writes them.
std::optional<uint64_t> parseHex(std::string_view text, uint64_t max);

// A value from outside as a warning shows it: in double quotes, cut after its first 60
// characters (a warning of many kilobytes hides what it is about), control characters
// as \xNN so that a value cannot drive the terminal.
std::string quoted(std::string_view value);

}  // namespace lumbra
