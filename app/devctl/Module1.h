#pragma once

#include "lumbra.h"

#include <string>

// The device-control library, bound by name at run time. Every call goes
// through `Module1::lib`: each entry starts as a resolver that looks the
// function up at its first call and replaces itself, so later calls cost one
// indirect call. When the library or a function cannot be found, the program
// says so and ends; nothing ever calls through a null pointer.
namespace Module1
{

struct Table
{
#define LUMBRA_ENTRY(ret, name, params, args) name##_fn name;
    LUMBRA_FUNCTIONS(LUMBRA_ENTRY)
#undef LUMBRA_ENTRY
};

extern Table lib;

// Serves every call from `table` (tests put a scripted fake here).
void useTable(const Table& table);

// Goes back to lazy binding against the named library ("lumbra" by default,
// found by the system loader beside the program).
void useLibrary(const std::string& name = "lumbra");

// What happens when binding fails: by default a message box captioned
// "tavrin" naming what is missing, then the process ends with exit code 2.
using FatalHandler = void (*)(const std::string& message);
void setFatalHandler(FatalHandler handler);
void defaultFatalHandler(const std::string& message);

using ExitFunction = void (*)(int code);
void setExitFunction(ExitFunction exitFn);

inline constexpr int kBindFailureExitCode = 2;

}  // namespace Module1
