#include "command.h"

#include <cstring>

const char* const usageText =
    "usage: ostrakctl read\n"
    "       ostrakctl write BYTE\n"
    "\n"
    "  read        reads the byte at the board's I/O port and prints it as two\n"
    "              hexadecimal digits\n"
    "  write BYTE  writes BYTE, one or two hexadecimal digits (00 to FF, 0x\n"
    "              allowed), to the board's I/O port\n"
    "\n"
    "The device \\\\.\\Ostrak is open to Administrators only. Exit status: 0 done,\n"
    "1 the device could not be opened or the byte not moved, 2 wrong command line.\n";

static int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
    {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F')
    {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f')
    {
        return c - 'a' + 10;
    }
    return -1;
}

static Command refuse(const char* error)
{
    Command command;
    command.error = error;
    return command;
}

static Command accept(CommandKind kind, unsigned char value = 0)
{
    Command command;
    command.kind = kind;
    command.value = value;
    return command;
}

// Digits are read by hand: a library conversion would accept signs, blanks
// and values that do not fit a byte.
static Command parseWrite(const char* text)
{
    static const char* const notAByte = "BYTE must be one or two hexadecimal digits, 00 to FF";
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    {
        text += 2;
    }
    const std::size_t length = std::strlen(text);
    if (length == 0 || length > 2)
    {
        return refuse(notAByte);
    }
    unsigned value = 0;
    for (std::size_t i = 0; i < length; ++i)
    {
        const int digit = hexDigit(text[i]);
        if (digit < 0)
        {
            return refuse(notAByte);
        }
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return accept(CommandKind::Write, static_cast<unsigned char>(value));
}

Command parseCommand(int argc, const char* const argv[])
{
    if (argc < 2)
    {
        return refuse("no command given");
    }
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0 ||
                      std::strcmp(argv[1], "/?") == 0))
    {
        return accept(CommandKind::Help);
    }
    if (std::strcmp(argv[1], "read") == 0)
    {
        if (argc != 2)
        {
            return refuse("read takes no argument");
        }
        return accept(CommandKind::Read);
    }
    if (std::strcmp(argv[1], "write") == 0)
    {
        if (argc != 3)
        {
            return refuse("write takes exactly one BYTE");
        }
        return parseWrite(argv[2]);
    }
    return refuse("unknown command");
}
