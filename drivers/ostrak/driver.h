// The device extension of the port byte driver and its internal routines.
#pragma once

#include <ntddk.h>

#include "public.h"

// Pool tag of the remove lock: the bytes "ATAG" in memory order.
#define OSTRAK_POOL_TAG ((ULONG)'A' | ((ULONG)'T' << 8) | ((ULONG)'A' << 16) | ((ULONG)'G' << 24))
#define OSTRAK_REMOVE_LOCK_MINUTES 1
#define OSTRAK_REMOVE_LOCK_HIGH_WATER 1

// The device's states are encoded by the two flags at the end of the
// extension; only DispatchPnp writes them, and the kernel serialises it.
//
//   state     Started  Removed  entered by
//   Added        0        0     AddDevice
//   Started      1        0     a start whose lower drivers and resources are good
//   Stopped      1        0     a stop: requests are still served at the old port
//   Removed      0        1     surprise removal or removal
//
// A start that fails leaves both flags as they were.
//
// The layout is 40 bytes on 32-bit Windows; on x64 the two pointers and the
// remove lock's event are wider, so the device object is created with
// sizeof(DEVICE_EXTENSION), 64 bytes there, rather than a fixed number.
typedef struct _DEVICE_EXTENSION
{
    ULONG PortAddress;  // 0 until a start finds a port: never touched while 0
    PDEVICE_OBJECT Self;
    PDEVICE_OBJECT LowerDevice;
    IO_REMOVE_LOCK RemoveLock;
    BOOLEAN Started;
    BOOLEAN Removed;
} DEVICE_EXTENSION, *PDEVICE_EXTENSION;

inline PDEVICE_EXTENSION GetExtension(PDEVICE_OBJECT DeviceObject)
{
    return static_cast<PDEVICE_EXTENSION>(DeviceObject->DeviceExtension);
}

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath);

NTSTATUS NTAPI AddDevice(PDRIVER_OBJECT DriverObject, PDEVICE_OBJECT PhysicalDeviceObject);
VOID NTAPI Unload(PDRIVER_OBJECT DriverObject);

NTSTATUS NTAPI DispatchGeneral(PDEVICE_OBJECT DeviceObject, PIRP Irp);
NTSTATUS NTAPI DispatchPnp(PDEVICE_OBJECT DeviceObject, PIRP Irp);
NTSTATUS NTAPI DispatchPower(PDEVICE_OBJECT DeviceObject, PIRP Irp);
NTSTATUS NTAPI DispatchSystemControl(PDEVICE_OBJECT DeviceObject, PIRP Irp);

NTSTATUS NTAPI StartCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context);
NTSTATUS GetPortResource(PDEVICE_EXTENSION Extension, PIRP Irp);

NTSTATUS ReadPortByte(PDEVICE_EXTENSION Extension, PIRP Irp);
NTSTATUS WritePortByte(PDEVICE_EXTENSION Extension, PIRP Irp);

// Completes a request this driver answers itself, with no priority boost.
NTSTATUS CompleteRequest(PIRP Irp, NTSTATUS Status);
