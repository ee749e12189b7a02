// The library keeps text in UTF-8; Windows' own calls take UTF-16.
#pragma once

#include <string>

namespace lumbra
{

std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& text);

}  // namespace lumbra
