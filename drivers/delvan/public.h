// delvan: what user-mode callers include to find the board and reach its
// register window. Include <windows.h> and <winioctl.h> (or <ntddk.h> in the
// kernel) first, and <initguid.h> in the one file that defines the GUID.
#pragma once

// Device interface class of every board delvan serves.
// {F0CAD8D9-F0D2-4C0B-96AF-BBA559E7363A}
DEFINE_GUID(GUID_DEVINTERFACE_DELVAN, 0xF0CAD8D9, 0xF0D2, 0x4C0B, 0x96, 0xAF, 0xBB, 0xA5, 0x59, 0xE7, 0x36,
            0x3A);

// Both codes use one system buffer for input and output.
// IOCTL_READ_BYTE  in:  ULONG offset at byte 0 (4 bytes at least)
//                  out: ULONG the byte read, zero-extended (4 bytes at least)
// IOCTL_WRITE_BYTE in:  ULONG offset at byte 0, the value in byte 4 (8 bytes at least)
//                  out: ULONG the byte written, zero-extended (4 bytes at least)
// Valid offsets are 0 to the window length - 1.
#define IOCTL_READ_BYTE CTL_CODE(FILE_DEVICE_UNKNOWN, 0x801, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define IOCTL_WRITE_BYTE CTL_CODE(FILE_DEVICE_UNKNOWN, 0x802, METHOD_BUFFERED, FILE_ANY_ACCESS)
