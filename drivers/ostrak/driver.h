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

// The PnP state the two flags name, for asserts and tests.
enum PNP_STATE
{
    PnpStateNotStarted,  // added, or a start failed
    PnpStateStarted,     // started, or stopped and still serving at the old port
    PnpStateRemoved,     // surprise-removed or removed
};

inline PNP_STATE StateOf(const DEVICE_EXTENSION* Extension)
{
    if (Extension->Removed)
        return PnpStateRemoved;
    return Extension->Started ? PnpStateStarted : PnpStateNotStarted;
}

extern "C" DRIVER_INITIALIZE DriverEntry;
DRIVER_ADD_DEVICE AddDevice;
DRIVER_UNLOAD Unload;
_Dispatch_type_(IRP_MJ_CREATE) _Dispatch_type_(IRP_MJ_CLOSE) _Dispatch_type_(IRP_MJ_READ)
    _Dispatch_type_(IRP_MJ_WRITE) _Dispatch_type_(IRP_MJ_DEVICE_CONTROL) DRIVER_DISPATCH DispatchGeneral;
_Dispatch_type_(IRP_MJ_PNP) DRIVER_DISPATCH DispatchPnp;
_Dispatch_type_(IRP_MJ_POWER) DRIVER_DISPATCH DispatchPower;
_Dispatch_type_(IRP_MJ_SYSTEM_CONTROL) DRIVER_DISPATCH DispatchSystemControl;

NTSTATUS GetPortResource(PDEVICE_EXTENSION Extension, PIRP Irp);
NTSTATUS ReadPortByte(PDEVICE_EXTENSION Extension, PIRP Irp, PULONG_PTR Information);
NTSTATUS WritePortByte(PDEVICE_EXTENSION Extension, PIRP Irp, PULONG_PTR Information);

inline PDEVICE_EXTENSION ExtensionOf(PDEVICE_OBJECT DeviceObject)
{
    return static_cast<PDEVICE_EXTENSION>(DeviceObject->DeviceExtension);
}

// Completes a request this driver answers itself, with no priority boost.
inline NTSTATUS CompleteRequest(PIRP Irp, NTSTATUS Status, ULONG_PTR Information)
{
    Irp->IoStatus.Status = Status;
    Irp->IoStatus.Information = Information;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return Status;
}

// Hands the request to the device below with this driver's stack location
// skipped, so the lower driver sees the same parameters.
inline NTSTATUS PassDown(PDEVICE_EXTENSION Extension, PIRP Irp)
{
    IoSkipCurrentIrpStackLocation(Irp);
    return IoCallDriver(Extension->LowerDevice, Irp);
}

// Passes down a request this driver agrees to. The bus driver completes what
// it does not handle with the status the request carries, which the kernel
// sends as STATUS_NOT_SUPPORTED: left so, the request would be vetoed.
inline NTSTATUS SucceedAndPassDown(PDEVICE_EXTENSION Extension, PIRP Irp)
{
    Irp->IoStatus.Status = STATUS_SUCCESS;
    return PassDown(Extension, Irp);
}
