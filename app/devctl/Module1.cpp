#include "Module1.h"

#include <QLibrary>
#include <QMessageBox>
#include <cstdlib>
#include <list>

namespace Module1
{
namespace
{

// Libraries once loaded stay loaded for the life of the process: a library
// may keep state behind the pointers it handed out, and the program itself
// only ever binds one.
// (A QLibrary object going away does not unload its library.)
std::list<QLibrary> loaded;
QLibrary* current = nullptr;

QLibrary& library()
{
    if (!current)
        current = &loaded.emplace_back();
    return *current;
}

QString libraryName = QStringLiteral("lumbra");
FatalHandler fatalHandler = defaultFatalHandler;
ExitFunction exitFunction = [](int code) { std::_Exit(code); };

QFunctionPointer resolve(const char* name)
{
    QLibrary& l = library();
    if (!l.isLoaded())
    {
        l.setFileName(libraryName);
        if (!l.load())
        {
            fatalHandler(QStringLiteral("デバイス制御ライブラリ %1 を読み込めませんでした。\n%2")
                             .arg(libraryName, l.errorString()));
            return nullptr;
        }
    }
    QFunctionPointer f = l.resolve(name);
    if (!f)
        fatalHandler(QStringLiteral("デバイス制御ライブラリ %1 に関数 %2 が見つかりませんでした。")
                         .arg(libraryName, QString::fromLatin1(name)));
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

void useLibrary(const QString& name)
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

void defaultFatalHandler(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("tavrin"), message, QMessageBox::Ok);
    box.exec();
    exitFunction(kBindFailureExitCode);
}

}  // namespace Module1
