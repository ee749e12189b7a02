// ostrakctl: reads or writes the byte at the board's I/O port through the
// ostrak driver, from a console.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "../public.h"
#include "command.h"

// The reasons a user can act on get a sentence of their own; anything else
// is shown with the system's message.
static void printError(const char* action, DWORD error)
{
    const char* hint = nullptr;
    switch (error)
    {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            hint = "the ostrak driver is not loaded or no board is present";
            break;
        case ERROR_ACCESS_DENIED:
            hint = "only Administrators and the system may open the device";
            break;
        case ERROR_NOT_READY:
            hint = "the board has not been started or has no I/O port assigned";
            break;
        case ERROR_DELETE_PENDING:
            hint = "the board is being removed";
            break;
        default:
            break;
    }
    if (hint != nullptr)
    {
        std::fprintf(stderr, "ostrakctl: cannot %s: %s (error %lu)\n", action, hint, error);
        return;
    }
    char message[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, message,
                   sizeof message, nullptr);
    // System messages end in a line break of their own.
    std::size_t length = std::strlen(message);
    while (length > 0 && (message[length - 1] == '\n' || message[length - 1] == '\r'))
    {
        message[--length] = '\0';
    }
    std::fprintf(stderr, "ostrakctl: cannot %s: %s (error %lu)\n", action, message, error);
}

// Moves the one byte either way; the driver reports how many bytes moved,
// and anything but one is a failure too.
static bool transfer(HANDLE device, CommandKind kind, unsigned char& value)
{
    const bool read = kind == CommandKind::Read;
    const char* action = read ? "read the port" : "write the port";
    DWORD transferred = 0;
    const BOOL ok = read ? ReadFile(device, &value, 1, &transferred, nullptr)
                         : WriteFile(device, &value, 1, &transferred, nullptr);
    if (!ok)
    {
        printError(action, GetLastError());
        return false;
    }
    if (transferred != 1)
    {
        std::fprintf(stderr, "ostrakctl: cannot %s: %lu bytes moved instead of 1\n", action, transferred);
        return false;
    }
    return true;
}

int main(int argc, char* argv[])
{
    const Command command = parseCommand(argc, argv);
    if (command.kind == CommandKind::Invalid)
    {
        std::fprintf(stderr, "ostrakctl: %s\n\n%s", command.error, usageText);
        return 2;
    }
    if (command.kind == CommandKind::Help)
    {
        std::fputs(usageText, stdout);
        return 0;
    }

    HANDLE device = CreateFileW(OSTRAK_WIN32_PATH, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (device == INVALID_HANDLE_VALUE)
    {
        printError("open \\\\.\\Ostrak", GetLastError());
        return 1;
    }

    unsigned char value = command.value;
    const bool done = transfer(device, command.kind, value);
    if (done && command.kind == CommandKind::Read)
    {
        std::printf("%02X\n", value);
    }
    CloseHandle(device);
    return done ? 0 : 1;
}
