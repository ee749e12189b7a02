#pragma once

// UTF-8, the control layer's text, to and from the UTF-16 of the W functions.
// Header-only, so the loader in the core library can use it too.

#include <windows.h>

#include <string>

namespace ui::win32
{

inline std::wstring wide(const std::string& text)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n);
    return out;
}

inline std::string utf8(const std::wstring& text)
{
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace ui::win32
