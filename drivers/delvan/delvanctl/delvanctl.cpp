// delvanctl: reads or writes one byte of a Tavrin board's register window
// through the delvan driver, finding the board by its device interface.
//
//   delvanctl [-b board] read  <offset>
//   delvanctl [-b board] write <offset> <value>
//
// Numbers are decimal, or hexadecimal with 0x. Boards count from 1 in the
// order the system lists them.
#include <windows.h>
#include <winioctl.h>
#include <setupapi.h>
#include <initguid.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "public.h"

namespace
{

int Usage()
{
    std::fprintf(stderr, "usage: delvanctl [-b board] read <offset>\n"
                         "       delvanctl [-b board] write <offset> <value>\n");
    return 2;
}

bool ParseNumber(const char* text, unsigned long* value)
{
    char* end = nullptr;
    *value = std::strtoul(text, &end, 0);
    return end != text && *end == '\0';
}

// Opens the board'th device of the interface class, or returns
// INVALID_HANDLE_VALUE with the reason printed.
HANDLE OpenBoard(unsigned long board)
{
    HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_DELVAN, nullptr, nullptr,
                                            DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (devices == INVALID_HANDLE_VALUE)
    {
        std::fprintf(stderr, "delvanctl: cannot list devices (error %lu)\n", GetLastError());
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = INVALID_HANDLE_VALUE;
    SP_DEVICE_INTERFACE_DATA data;
    data.cbSize = sizeof data;
    if (!SetupDiEnumDeviceInterfaces(devices, nullptr, &GUID_DEVINTERFACE_DELVAN, board - 1, &data))
    {
        std::fprintf(stderr, "delvanctl: no board %lu\n", board);
    }
    else
    {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(devices, &data, nullptr, 0, &size, nullptr);
        auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(std::malloc(size));
        if (detail != nullptr)
        {
            detail->cbSize = sizeof *detail;
            if (SetupDiGetDeviceInterfaceDetailW(devices, &data, detail, size, nullptr, nullptr))
            {
                handle = CreateFileW(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                if (handle == INVALID_HANDLE_VALUE)
                    std::fprintf(stderr, "delvanctl: cannot open board %lu (error %lu)\n", board,
                                 GetLastError());
            }
            std::free(detail);
        }
    }
    SetupDiDestroyDeviceInfoList(devices);
    return handle;
}

}  // namespace

int main(int argc, char** argv)
{
    unsigned long board = 1;
    int arg = 1;
    if (arg + 1 < argc && std::strcmp(argv[arg], "-b") == 0)
    {
        if (!ParseNumber(argv[arg + 1], &board) || board == 0)
            return Usage();
        arg += 2;
    }
    if (arg >= argc)
        return Usage();
    bool write = std::strcmp(argv[arg], "write") == 0;
    if (!write && std::strcmp(argv[arg], "read") != 0)
        return Usage();
    if (argc != arg + (write ? 3 : 2))
        return Usage();

    unsigned long offset = 0, value = 0;
    if (!ParseNumber(argv[arg + 1], &offset) ||
        (write && (!ParseNumber(argv[arg + 2], &value) || value > 0xFF)))
        return Usage();

    HANDLE board_handle = OpenBoard(board);
    if (board_handle == INVALID_HANDLE_VALUE)
        return 1;

    ULONG buffer[2] = {static_cast<ULONG>(offset), static_cast<ULONG>(value)};
    DWORD returned = 0;
    BOOL ok =
        DeviceIoControl(board_handle, write ? IOCTL_WRITE_BYTE : IOCTL_READ_BYTE, buffer,
                        write ? 2 * sizeof(ULONG) : sizeof(ULONG), buffer, sizeof(ULONG), &returned, nullptr);
    DWORD error = GetLastError();
    CloseHandle(board_handle);
    if (!ok || returned != sizeof(ULONG))
    {
        std::fprintf(stderr, "delvanctl: %s at offset 0x%lX failed (error %lu)\n", write ? "write" : "read",
                     offset, ok ? 0UL : error);
        return 1;
    }
    std::printf("%s 0x%02lX at offset 0x%lX\n", write ? "wrote" : "read",
                static_cast<unsigned long>(buffer[0] & 0xFF), offset);
    return 0;
}
