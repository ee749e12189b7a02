#include <windows.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>

#include "process_host.h"
#include "win32_text.h"

namespace lumbra
{

namespace
{

// The environment read wide and handed on as UTF-8, the library's one encoding: the
// narrow environment is in the ANSI code page, which cannot name every path. A value
// stays valid until the same variable is read again.
class Environment
{
public:
    const char* get(const char* name)
    {
        const std::wstring key = widen(name);
        const DWORD length = GetEnvironmentVariableW(key.c_str(), nullptr, 0);
        if (length == 0)
            return nullptr;
        std::wstring value(length, L'\0');
        value.resize(GetEnvironmentVariableW(key.c_str(), value.data(), length));
        return (values_[name] = narrow(value)).c_str();
    }

private:
    std::map<std::string, std::string> values_;
};

}  // namespace

// Each line goes to standard error and to the debugger's output, which a program with
// no console (the usual Windows case) still has.
Host processHost()
{
    auto environment = std::make_shared<Environment>();
    return {
        []
        {
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
        },
        [environment](const char* name) { return environment->get(name); },
        [](const std::string& line)
        {
            std::fprintf(stderr, "lumbra: %s\n", line.c_str());
            std::fflush(stderr);
            OutputDebugStringW(widen("lumbra: " + line + "\n").c_str());
        },
    };
}

}  // namespace lumbra
