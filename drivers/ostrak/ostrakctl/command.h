// The command line of ostrakctl, kept apart from the Windows calls so that it
// can be checked on any machine.
#pragma once

enum class CommandKind
{
    Invalid,
    Help,
    Read,
    Write
};

struct Command
{
    CommandKind kind = CommandKind::Invalid;
    unsigned char value = 0;      // the byte to write
    const char* error = nullptr;  // why the command line was refused
};

// "read", or "write" followed by one byte as one or two hexadecimal digits,
// with or without a leading 0x; "-h", "--help" or "/?" ask for the usage.
Command parseCommand(int argc, const char* const argv[]);

extern const char* const usageText;
