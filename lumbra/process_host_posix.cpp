#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "process_host.h"

namespace lumbra
{

Host processHost()
{
    return {
        []
        {
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
        },
        [](const char* name) -> const char* { return std::getenv(name); },
        [](const std::string& line) { std::fprintf(stderr, "lumbra: %s\n", line.c_str()); },
    };
}

}  // namespace lumbra
