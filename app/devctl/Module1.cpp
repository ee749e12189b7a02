#include "Module1.h"

#include "devctl/Loader.h"
#include "ui/Backend.h"

#include <cstdlib>

namespace Module1
{
namespace
{

// Libraries once loaded stay loaded for the life of the process: a library
// may keep state behind the pointers it handed out, and the program itself
// only ever binds one. Going back to lazy binding only forgets the handle.
void* current = nullptr;

std::string libraryName = "lumbra";
FatalHandler fatalHandler = defaultFatalHandler;
ExitFunction exitFunction = [](int code) { std::_Exit(code); };

void* resolve(const char* name)
{
    if (!current)
    {
        std::string error;
        current = loader::open(libraryName, error);
        if (!current)
        {
            fatalHandler("デバイス制御ライブラリ " + libraryName + " を読み込めませんでした。\n" + error);
            return nullptr;
        }
    }
    void* f = loader::symbol(current, name);
    if (!f)
        fatalHandler("デバイス制御ライブラリ " + libraryName + " に関数 " + name +
                     " が見つかりませんでした。");
    return f;
}

// One resolver per entry: binds on first use, then forwards the call. When
// binding fails and the fatal handler returns (as it does in tests), the call
// reports failure (0) instead of going anywhere.
#define LUMBRA_RESOLVER(ret, name, params, args)                                                             \
    ret LUMBRA_CALL resolve_##name params                                                                    \
    {                                                                                                        \
        auto f = reinterpret_cast<name##_fn>(resolve(#name));                                                \
        if (!f)                                                                                              \
            return ret{};                                                                                    \
        lib.name = f;                                                                                        \
        return f args;                                                                                       \
    }
LUMBRA_FUNCTIONS(LUMBRA_RESOLVER)
#undef LUMBRA_RESOLVER

constexpr Table resolvers = {
#define LUMBRA_ENTRY(ret, name, params, args) resolve_##name,
    LUMBRA_FUNCTIONS(LUMBRA_ENTRY)
#undef LUMBRA_ENTRY
};

}  // namespace

Table lib = resolvers;

void useTable(const Table& table) { lib = table; }

void useLibrary(const std::string& name)
{
    current = nullptr;
    libraryName = name;
    lib = resolvers;
}

void setFatalHandler(FatalHandler handler) { fatalHandler = handler ? handler : defaultFatalHandler; }

void setExitFunction(ExitFunction exitFn)
{
    exitFunction = exitFn ? exitFn : [](int code) { std::_Exit(code); };
}

void defaultFatalHandler(const std::string& message)
{
    ui::backend().messageBox({"tavrin", message, ui::Buttons::Ok, ui::Icon::Critical});
    exitFunction(kBindFailureExitCode);
}

}  // namespace Module1
