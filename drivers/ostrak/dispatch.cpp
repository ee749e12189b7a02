// Open, close, read, write and device control: the requests user-mode code sends.
#include "driver.h"

// A read or write needs a port and a buffer of at least one byte: a start
// whose resources held no port leaves PortAddress at 0, and port 0 belongs
// to another device. With buffered I/O a length of 0 comes without a system
// buffer at all.
static NTSTATUS CheckTransfer(PDEVICE_EXTENSION Extension, ULONG Length)
{
    if (Extension->PortAddress == 0)
    {
        return STATUS_DEVICE_NOT_READY;
    }
    if (Length == 0)
    {
        return STATUS_INVALID_PARAMETER;
    }
    return STATUS_SUCCESS;
}

static PUCHAR PortOf(PDEVICE_EXTENSION Extension)
{
    return reinterpret_cast<PUCHAR>(static_cast<ULONG_PTR>(Extension->PortAddress));
}

NTSTATUS ReadPortByte(PDEVICE_EXTENSION Extension, PIRP Irp, PULONG_PTR Information)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    NTSTATUS status = CheckTransfer(Extension, stack->Parameters.Read.Length);
    if (NT_SUCCESS(status))
    {
        PUCHAR buffer = static_cast<PUCHAR>(Irp->AssociatedIrp.SystemBuffer);
        buffer[0] = READ_PORT_UCHAR(PortOf(Extension));
        *Information = OSTRAK_TRANSFER_LENGTH;
    }
    return status;
}

NTSTATUS WritePortByte(PDEVICE_EXTENSION Extension, PIRP Irp, PULONG_PTR Information)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    NTSTATUS status = CheckTransfer(Extension, stack->Parameters.Write.Length);
    if (NT_SUCCESS(status))
    {
        PUCHAR buffer = static_cast<PUCHAR>(Irp->AssociatedIrp.SystemBuffer);
        WRITE_PORT_UCHAR(PortOf(Extension), buffer[0]);
        *Information = OSTRAK_TRANSFER_LENGTH;
    }
    return status;
}

static NTSTATUS ServeRequest(PDEVICE_EXTENSION Extension, PIRP Irp, PULONG_PTR Information)
{
    if (!Extension->Started)
    {
        return STATUS_DEVICE_NOT_READY;
    }
    switch (IoGetCurrentIrpStackLocation(Irp)->MajorFunction)
    {
        case IRP_MJ_CREATE:
        case IRP_MJ_CLOSE:
        case IRP_MJ_DEVICE_CONTROL:
            return STATUS_SUCCESS;
        case IRP_MJ_READ:
            return ReadPortByte(Extension, Irp, Information);
        case IRP_MJ_WRITE:
            return WritePortByte(Extension, Irp, Information);
        default:
            return STATUS_NOT_IMPLEMENTED;
    }
}

NTSTATUS DispatchGeneral(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    PDEVICE_EXTENSION extension = ExtensionOf(DeviceObject);
    ULONG_PTR information = 0;

    NTSTATUS status = IoAcquireRemoveLock(&extension->RemoveLock, Irp);
    const BOOLEAN held = NT_SUCCESS(status);
    if (held)
    {
        status = ServeRequest(extension, Irp, &information);
    }
    CompleteRequest(Irp, status, information);
    if (held)
    {
        IoReleaseRemoveLock(&extension->RemoveLock, Irp);
    }
    return status;
}
