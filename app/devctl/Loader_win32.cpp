#include "devctl/Loader.h"

#include "ui/win32/WideText.h"

#include <windows.h>

#include <vector>

namespace Module1::loader
{

namespace
{

using ui::win32::utf8;
using ui::win32::wide;

// The folder of the running program with its closing backslash; empty when
// the system does not say (a path longer than the buffer included).
std::wstring programFolder()
{
    std::vector<wchar_t> path(32768);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (length == 0 || length >= path.size())
        return {};
    const std::wstring program(path.data(), length);
    return program.substr(0, program.find_last_of(L"\\/") + 1);
}

}  // namespace

// A bare name is the library beside the program, opened by its full path: a
// DLL of that name planted in the working folder or on the PATH is never taken
// instead. With the folder unknown, nothing is opened rather than searched for.
void* open(const std::string& name, std::string& error)
{
    std::wstring file = wide(name);
    if (name.find_first_of("/\\") == std::string::npos)
    {
        const std::wstring folder = programFolder();
        if (folder.empty())
        {
            error = "the program's folder is unknown";
            return nullptr;
        }
        file = folder + file + L".dll";
    }
    // The library's own dependencies are looked for beside it first.
    HMODULE library = LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library)
    {
        const DWORD code = GetLastError();
        wchar_t* text = nullptr;
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        std::wstring why = text ? text : L"";
        LocalFree(text);
        while (!why.empty() && (why.back() == L'\n' || why.back() == L'\r'))
            why.pop_back();
        error = utf8(file) + ": " + (why.empty() ? "error " + std::to_string(code) : utf8(why));
    }
    return library;
}

void* symbol(void* library, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace Module1::loader
