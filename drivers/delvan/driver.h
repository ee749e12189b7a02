// delvan: the device extension, its states and the routines the driver's
// files share.
#pragma once

#include <ntddk.h>

#include "public.h"

// The states, as the flags encode them:
//
//   state                       HoldRequests  WindowMapped
//   Added                       1             0
//   Started                     0             1   start succeeded; cancel-stop, cancel-remove
//   Stop or removal pending     1             1   query-stop; query-remove without open handle
//   Stopped                     1             0   stop; surprise removal
//   Deleted                     (the device object is gone after removal)
//
// A start that fails in StartDevice leaves HoldRequests set. The open count is
// not reset by any PnP event.
typedef struct _DEVICE_EXTENSION
{
    PDEVICE_OBJECT Self;
    PDEVICE_OBJECT Pdo;
    PDEVICE_OBJECT LowerDevice;
    UNICODE_STRING InterfaceName;
    LONG OpenCount;
    BOOLEAN WindowMapped;
    BOOLEAN HoldRequests;
    BOOLEAN WindowFound;
    PHYSICAL_ADDRESS WindowStart;
    ULONG WindowLength;
    BOOLEAN NeedsMapping;
    BOOLEAN IsPort;
    // Pointer-sized: a mapped system address on x64 does not fit in 32 bits.
    // Kept as an integer so that a port window at port 0 is never a null
    // pointer with an offset added.
    ULONG_PTR WindowBase;
    // Device-control requests between their hold test and their completion;
    // ReleaseWindow waits for them before the window goes away.
    LONG ActiveRequests;
    KEVENT RequestsDone;
    // The interface is enabled; the first of surprise removal and removal
    // disables it.
    BOOLEAN InterfaceEnabled;
} DEVICE_EXTENSION, *PDEVICE_EXTENSION;

// The PnP state the two flags name, for asserts and tests.
enum PNP_STATE
{
    PnpStateNotStarted,           // added, stopped, surprise-removed, or a start failed: holding, no window
    PnpStateStarted,              // serving requests
    PnpStateStopOrRemovePending,  // query-stop, or query-remove without open handle: holding, window kept
};

inline PNP_STATE StateOf(const DEVICE_EXTENSION* Extension)
{
    if (!Extension->HoldRequests)
        return PnpStateStarted;
    return Extension->WindowMapped ? PnpStateStopOrRemovePending : PnpStateNotStarted;
}

extern "C" DRIVER_INITIALIZE DriverEntry;
DRIVER_ADD_DEVICE AddDevice;
DRIVER_UNLOAD Unload;
_Dispatch_type_(IRP_MJ_CREATE) DRIVER_DISPATCH DispatchCreate;
_Dispatch_type_(IRP_MJ_CLOSE) DRIVER_DISPATCH DispatchClose;
_Dispatch_type_(IRP_MJ_READ) _Dispatch_type_(IRP_MJ_WRITE) DRIVER_DISPATCH DispatchReadWrite;
_Dispatch_type_(IRP_MJ_DEVICE_CONTROL) DRIVER_DISPATCH DispatchDeviceControl;
_Dispatch_type_(IRP_MJ_PNP) DRIVER_DISPATCH DispatchPnp;
_Dispatch_type_(IRP_MJ_POWER) DRIVER_DISPATCH DispatchPower;
_Dispatch_type_(IRP_MJ_SYSTEM_CONTROL) DRIVER_DISPATCH DispatchSystemControl;

NTSTATUS StartDevice(PDEVICE_EXTENSION Extension, PCM_RESOURCE_LIST Translated);
NTSTATUS ParseResources(PDEVICE_EXTENSION Extension, PCM_RESOURCE_LIST Resources);
VOID ReleaseWindow(PDEVICE_EXTENSION Extension);

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
