// The Plug and Play state machine and the check of the assigned resources.
#include "driver.h"

// Surprise removal and removal both end the device's service; the DOS link
// goes with the first of them only, so that it is deleted once.
static VOID MarkRemoved(PDEVICE_EXTENSION Extension)
{
    UNICODE_STRING dosDeviceName;
    RtlInitUnicodeString(&dosDeviceName, OSTRAK_DOS_DEVICE_NAME);
    Extension->Started = FALSE;
    Extension->Removed = TRUE;
    IoDeleteSymbolicLink(&dosDeviceName);
    NT_ASSERT(StateOf(Extension) == PnpStateRemoved);
}

static NTSTATUS StartCompletion(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context)
{
    UNREFERENCED_PARAMETER(DeviceObject);
    if (Irp->PendingReturned)
    {
        IoMarkIrpPending(Irp);
    }
    KeSetEvent(static_cast<PKEVENT>(Context), IO_NO_INCREMENT, FALSE);
    // The request comes back to StartDeviceRequest, which completes it.
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// The resources must be usable before the driver takes over: the lower
// drivers go first, then the assigned ports are checked.
static NTSTATUS StartDeviceRequest(PDEVICE_EXTENSION Extension, PIRP Irp)
{
    KEVENT lowerDone;
    KeInitializeEvent(&lowerDone, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(Irp);
    IoSetCompletionRoutine(Irp, StartCompletion, &lowerDone, TRUE, TRUE, TRUE);

    NTSTATUS status = IoCallDriver(Extension->LowerDevice, Irp);
    if (status == STATUS_PENDING)
    {
        KeWaitForSingleObject(&lowerDone, Executive, KernelMode, FALSE, NULL);
    }
    // A lower driver that returns success but completed the request with a
    // failure has still failed: its final status is the one that counts.
    if (NT_SUCCESS(status))
    {
        status = Irp->IoStatus.Status;
    }
    if (NT_SUCCESS(status))
    {
        status = GetPortResource(Extension, Irp);
        if (NT_SUCCESS(status))
        {
            Extension->Removed = FALSE;
            Extension->Started = TRUE;
        }
    }
    // StartCompletion marked the request pending again when the lower driver
    // had; a request marked pending must be answered with STATUS_PENDING even
    // though it is complete by then, or the I/O manager finishes it twice.
    const BOOLEAN markedPending = Irp->PendingReturned;
    CompleteRequest(Irp, status, Irp->IoStatus.Information);
    return markedPending ? STATUS_PENDING : status;
}

// The translated twin of a port must still be a port, in I/O space and
// within the 64 KiB that port instructions reach: its start becomes the
// address of every read and write. A range of no length assigns no port at
// all, so its start is not ours to touch either.
static BOOLEAN PortUsable(PCM_PARTIAL_RESOURCE_DESCRIPTOR Raw, PCM_PARTIAL_RESOURCE_DESCRIPTOR Twin)
{
    return Twin != NULL && Twin->Type == CmResourceTypePort && (Twin->Flags & CM_RESOURCE_PORT_IO) != 0 &&
           static_cast<ULONGLONG>(Twin->u.Port.Start.QuadPart) <= 0xFFFF && Raw->u.Port.Length != 0 &&
           Twin->u.Port.Length != 0;
}

NTSTATUS GetPortResource(PDEVICE_EXTENSION Extension, PIRP Irp)
{
    if (Extension->Removed)
    {
        return STATUS_DELETE_PENDING;
    }
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    PCM_RESOURCE_LIST raw = stack->Parameters.StartDevice.AllocatedResources;
    PCM_RESOURCE_LIST translated = stack->Parameters.StartDevice.AllocatedResourcesTranslated;
    // The port address comes from the translated list, the types from the
    // raw one: a start carrying only one of them cannot be checked.
    if (raw == NULL || translated == NULL)
    {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    if (raw->Count == 0)
    {
        return STATUS_SUCCESS;
    }

    PCM_PARTIAL_RESOURCE_LIST rawPartial = &raw->List[0].PartialResourceList;
    const ULONG translatedCount = translated->Count == 0 ? 0 : translated->List[0].PartialResourceList.Count;

    // PortAddress changes only when every descriptor passes, so a rejected
    // start after a stop leaves the device serving its old port.
    NTSTATUS status = STATUS_SUCCESS;
    ULONG portAddress = Extension->PortAddress;
    for (ULONG index = 0; index < rawPartial->Count; ++index)
    {
        switch (rawPartial->PartialDescriptors[index].Type)
        {
            case CmResourceTypePort:
            {
                // A list shorter than the raw one has no twin for this port.
                PCM_PARTIAL_RESOURCE_DESCRIPTOR twin =
                    index < translatedCount
                        ? &translated->List[0].PartialResourceList.PartialDescriptors[index]
                        : NULL;
                if (PortUsable(&rawPartial->PartialDescriptors[index], twin))
                {
                    portAddress = static_cast<ULONG>(twin->u.Port.Start.QuadPart);
                }
                else
                {
                    status = STATUS_UNSUCCESSFUL;
                }
                break;
            }
            case CmResourceTypeInterrupt:
            case CmResourceTypeDevicePrivate:
                break;
            default:
                status = STATUS_UNSUCCESSFUL;
                break;
        }
    }
    if (NT_SUCCESS(status))
    {
        Extension->PortAddress = portAddress;
    }
    return status;
}

// Removal: the remove lock's release-and-wait lets every request in
// progress finish before the device object goes.
static NTSTATUS RemoveDeviceRequest(PDEVICE_EXTENSION Extension, PIRP Irp)
{
    if (!Extension->Removed)
    {
        MarkRemoved(Extension);
    }
    IoReleaseRemoveLockAndWait(&Extension->RemoveLock, Irp);

    PDEVICE_OBJECT lowerDevice = Extension->LowerDevice;
    PDEVICE_OBJECT self = Extension->Self;
    NTSTATUS status = SucceedAndPassDown(Extension, Irp);
    IoDetachDevice(lowerDevice);
    IoDeleteDevice(self);
    return status;
}

NTSTATUS DispatchPnp(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    PAGED_CODE();
    PDEVICE_EXTENSION extension = ExtensionOf(DeviceObject);

    NTSTATUS status = IoAcquireRemoveLock(&extension->RemoveLock, Irp);
    BOOLEAN held = NT_SUCCESS(status);
    if (!held)
    {
        CompleteRequest(Irp, status, 0);
    }
    else
    {
        switch (IoGetCurrentIrpStackLocation(Irp)->MinorFunction)
        {
            case IRP_MN_START_DEVICE:
                status = StartDeviceRequest(extension, Irp);
                break;
            case IRP_MN_QUERY_REMOVE_DEVICE:
            case IRP_MN_CANCEL_REMOVE_DEVICE:
            case IRP_MN_CANCEL_STOP_DEVICE:
                status = SucceedAndPassDown(extension, Irp);
                break;
            case IRP_MN_REMOVE_DEVICE:
                // The lock is released inside and the extension is gone after.
                status = RemoveDeviceRequest(extension, Irp);
                held = FALSE;
                break;
            case IRP_MN_STOP_DEVICE:
                // Started and PortAddress stay: a stopped device keeps serving.
                status = SucceedAndPassDown(extension, Irp);
                break;
            case IRP_MN_QUERY_STOP_DEVICE:
                // The port cannot be handed over to another assignment while
                // the device is in use, so a stop is never agreed to.
                status = CompleteRequest(Irp, STATUS_UNSUCCESSFUL, 0);
                break;
            case IRP_MN_SURPRISE_REMOVAL:
                MarkRemoved(extension);
                status = SucceedAndPassDown(extension, Irp);
                break;
            default:
                status = PassDown(extension, Irp);
                break;
        }
        if (held)
        {
            IoReleaseRemoveLock(&extension->RemoveLock, Irp);
        }
    }
    return status;
}
