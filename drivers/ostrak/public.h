// What user-mode code needs to reach the port byte driver: the names under
// which the board appears and the device type of its device object.
#pragma once

// Kernel name of the one device object; a second board cannot take it.
#define OSTRAK_DEVICE_NAME L"\\Device\\Ostrak0"

// Kernel name of the DOS link and the path user-mode code opens through it.
#define OSTRAK_DOS_DEVICE_NAME L"\\DosDevices\\Ostrak"
#define OSTRAK_WIN32_PATH L"\\\\.\\Ostrak"

// Device type of the device object, from the range left to vendors.
#define FILE_DEVICE_OSTRAK 0x8000

// A read or a write moves exactly this many bytes, whatever length is asked.
#define OSTRAK_TRANSFER_LENGTH 1
