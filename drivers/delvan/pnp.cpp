// delvan: the Plug and Play state machine, resource parsing and the register
// window's mapping.
#include "driver.h"

static NTSTATUS StartCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context)
{
    UNREFERENCED_PARAMETER(DeviceObject);
    UNREFERENCED_PARAMETER(Irp);
    KeSetEvent(static_cast<PKEVENT>(Context), IO_NO_INCREMENT, FALSE);
    // The request comes back to StartDeviceRequest, which completes it.
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// Sends the request down and waits until the lower drivers are done with it;
// returns their outcome.
static NTSTATUS ForwardAndWait(PDEVICE_EXTENSION Extension, PIRP Irp)
{
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(Irp);
    IoSetCompletionRoutine(Irp, StartCompletion, &event, TRUE, TRUE, TRUE);
    NTSTATUS status = IoCallDriver(Extension->LowerDevice, Irp);
    if (status == STATUS_PENDING)
    {
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, NULL);
        status = Irp->IoStatus.Status;
    }
    return status;
}

static NTSTATUS StartDeviceRequest(PDEVICE_EXTENSION Extension, PIRP Irp)
{
    NTSTATUS status = ForwardAndWait(Extension, Irp);
    if (NT_SUCCESS(status))
    {
        PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
        status = StartDevice(Extension, stack->Parameters.StartDevice.AllocatedResourcesTranslated);
        if (NT_SUCCESS(status))
            Extension->HoldRequests = FALSE;
        IoSetDeviceInterfaceState(&Extension->InterfaceName, TRUE);
        Extension->InterfaceEnabled = TRUE;
    }
    return CompleteRequest(Irp, status, Irp->IoStatus.Information);
}

// Surprise removal and removal both end the board's service; the first of
// them disables the interface, so no caller opens a board that is gone.
static VOID DisableInterface(PDEVICE_EXTENSION Extension)
{
    if (Extension->InterfaceEnabled)
    {
        IoSetDeviceInterfaceState(&Extension->InterfaceName, FALSE);
        Extension->InterfaceEnabled = FALSE;
    }
}

// The hold is set before the open count is read, and an open counts itself
// in before it tests the hold: either the open sees the hold and backs out,
// or this sees the open and refuses.
static NTSTATUS QueryRemoveRequest(PDEVICE_EXTENSION Extension, PIRP Irp)
{
    const BOOLEAN wasHolding = Extension->HoldRequests;
    Extension->HoldRequests = TRUE;
    if (InterlockedCompareExchange(&Extension->OpenCount, 0, 0) > 0)
    {
        Extension->HoldRequests = wasHolding;
        return CompleteRequest(Irp, STATUS_UNSUCCESSFUL, 0);
    }
    return SucceedAndPassDown(Extension, Irp);
}

static NTSTATUS RemoveDeviceRequest(PDEVICE_EXTENSION Extension, PIRP Irp)
{
    ReleaseWindow(Extension);
    NTSTATUS status = SucceedAndPassDown(Extension, Irp);
    DisableInterface(Extension);
    RtlFreeUnicodeString(&Extension->InterfaceName);
    if (Extension->LowerDevice != NULL)
        IoDetachDevice(Extension->LowerDevice);
    IoDeleteDevice(Extension->Self);
    return status;
}

NTSTATUS DispatchPnp(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    PAGED_CODE();
    PDEVICE_EXTENSION extension = ExtensionOf(DeviceObject);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    NTSTATUS status;

    switch (stack->MinorFunction)
    {
        case IRP_MN_START_DEVICE:
            status = StartDeviceRequest(extension, Irp);
            break;
        case IRP_MN_QUERY_REMOVE_DEVICE:
            status = QueryRemoveRequest(extension, Irp);
            break;
        case IRP_MN_REMOVE_DEVICE:
            status = RemoveDeviceRequest(extension, Irp);
            break;
        case IRP_MN_CANCEL_REMOVE_DEVICE:
        case IRP_MN_CANCEL_STOP_DEVICE:
            extension->HoldRequests = FALSE;
            status = SucceedAndPassDown(extension, Irp);
            break;
        case IRP_MN_STOP_DEVICE:
            ReleaseWindow(extension);
            status = SucceedAndPassDown(extension, Irp);
            break;
        case IRP_MN_SURPRISE_REMOVAL:
            ReleaseWindow(extension);
            DisableInterface(extension);
            status = SucceedAndPassDown(extension, Irp);
            break;
        case IRP_MN_QUERY_STOP_DEVICE:
            extension->HoldRequests = TRUE;
            status = SucceedAndPassDown(extension, Irp);
            break;
        default:
            status = PassDown(extension, Irp);
            break;
    }
    return status;
}

NTSTATUS StartDevice(PDEVICE_EXTENSION Extension, PCM_RESOURCE_LIST Translated)
{
    if (Extension->WindowMapped)
        return STATUS_SUCCESS;
    ParseResources(Extension, Translated);
    if (Extension->NeedsMapping)
    {
        Extension->WindowBase = reinterpret_cast<ULONG_PTR>(
            MmMapIoSpace(Extension->WindowStart, Extension->WindowLength, MmNonCached));
        if (Extension->WindowBase == 0)
            return STATUS_NO_MEMORY;
    }
    else
    {
        Extension->WindowBase = Extension->WindowStart.LowPart;
    }
    Extension->WindowMapped = TRUE;
    return STATUS_SUCCESS;
}

// A range no bus should assign: empty (nothing to map, no byte to reach), or
// in I/O space but not wholly inside the 64 KiB that port instructions reach.
static BOOLEAN WindowUsable(PDEVICE_EXTENSION Extension)
{
    if (Extension->WindowLength == 0)
        return FALSE;
    const ULONGLONG start = static_cast<ULONGLONG>(Extension->WindowStart.QuadPart);
    if (Extension->IsPort && (start > 0xFFFF || Extension->WindowLength > 0x10000 - start))
        return FALSE;
    return TRUE;
}

NTSTATUS ParseResources(PDEVICE_EXTENSION Extension, PCM_RESOURCE_LIST Resources)
{
    Extension->WindowFound = FALSE;
    Extension->IsPort = FALSE;
    Extension->NeedsMapping = FALSE;
    if (Resources == NULL || Resources->Count == 0)
        return STATUS_SUCCESS;

    // Only the first full descriptor counts; its partial descriptors are walked
    // at the real header's stride (20 bytes on x64).
    PCM_PARTIAL_RESOURCE_LIST partials = &Resources->List[0].PartialResourceList;
    for (ULONG i = 0; i < partials->Count; ++i)
    {
        PCM_PARTIAL_RESOURCE_DESCRIPTOR descriptor = partials->PartialDescriptors + i;
        if (descriptor->Type == CmResourceTypePort && !Extension->WindowFound)
        {
            Extension->WindowFound = TRUE;
            // Descriptors are packed to 4 bytes: copy the start as a scalar, not as
            // a union that would need 8-byte alignment.
            Extension->WindowStart.QuadPart = descriptor->u.Port.Start.QuadPart;
            Extension->WindowLength = descriptor->u.Port.Length;
            Extension->IsPort = (descriptor->Flags & CM_RESOURCE_PORT_IO) != 0;
            Extension->NeedsMapping = !Extension->IsPort;
        }
    }
    if (Extension->WindowFound && !WindowUsable(Extension))
    {
        Extension->WindowFound = FALSE;
        Extension->IsPort = FALSE;
        Extension->NeedsMapping = FALSE;
    }
    return STATUS_SUCCESS;
}

// Waits until no device-control request is between its hold test and its
// completion. The caller has set HoldRequests, so none can start after this.
static VOID WaitForRequests(PDEVICE_EXTENSION Extension)
{
    // The interlocked read orders it after the store of HoldRequests, which a
    // request reads after its own interlocked increment: either the request
    // sees the hold, or this sees the request.
    while (InterlockedCompareExchange(&Extension->ActiveRequests, 0, 0) != 0)
        KeWaitForSingleObject(&Extension->RequestsDone, Executive, KernelMode, FALSE, NULL);
}

VOID ReleaseWindow(PDEVICE_EXTENSION Extension)
{
    Extension->HoldRequests = TRUE;
    WaitForRequests(Extension);
    if (Extension->WindowMapped)
    {
        Extension->WindowMapped = FALSE;
        if (Extension->NeedsMapping)
            MmUnmapIoSpace(reinterpret_cast<PVOID>(Extension->WindowBase), Extension->WindowLength);
        Extension->WindowBase = 0;
    }
    NT_ASSERT(StateOf(Extension) == PnpStateNotStarted);
}
