// delvan: opening and closing the device, and the two control codes that read
// or write one byte of the register window.
#include "driver.h"

static VOID LeaveRequest(PDEVICE_EXTENSION Extension)
{
    if (InterlockedDecrement(&Extension->ActiveRequests) == 0)
        KeSetEvent(&Extension->RequestsDone, IO_NO_INCREMENT, FALSE);
}

// Counts a device-control request in, unless requests are held. Counting
// before the hold test lets ReleaseWindow see every request that passed it.
static BOOLEAN EnterRequest(PDEVICE_EXTENSION Extension)
{
    InterlockedIncrement(&Extension->ActiveRequests);
    if (Extension->HoldRequests)
    {
        LeaveRequest(Extension);
        return FALSE;
    }
    return TRUE;
}

// The offset at byte 0 of the buffer, once it is known to lie in the window.
static NTSTATUS WindowOffset(PDEVICE_EXTENSION Extension, const UCHAR* Buffer, PULONG Offset)
{
    // A start that found no port range has no window to reach.
    if (!Extension->WindowMapped || !Extension->WindowFound)
        return STATUS_DEVICE_NOT_READY;
    RtlCopyMemory(Offset, Buffer, sizeof(ULONG));
    if (*Offset >= Extension->WindowLength)
        return STATUS_ACCESS_VIOLATION;
    return STATUS_SUCCESS;
}

static UCHAR ReadWindow(PDEVICE_EXTENSION Extension, ULONG Offset)
{
    PUCHAR address = reinterpret_cast<PUCHAR>(Extension->WindowBase + Offset);
    return Extension->IsPort ? READ_PORT_UCHAR(address) : READ_REGISTER_UCHAR(address);
}

static VOID WriteWindow(PDEVICE_EXTENSION Extension, ULONG Offset, UCHAR Value)
{
    PUCHAR address = reinterpret_cast<PUCHAR>(Extension->WindowBase + Offset);
    if (Extension->IsPort)
    {
        WRITE_PORT_UCHAR(address, Value);
    }
    else
    {
        WRITE_REGISTER_UCHAR(address, Value);
    }
}

static NTSTATUS ReadByte(PDEVICE_EXTENSION Extension, PIO_STACK_LOCATION Stack, PUCHAR Buffer,
                         PULONG_PTR Information)
{
    if (Stack->Parameters.DeviceIoControl.InputBufferLength < sizeof(ULONG) ||
        Stack->Parameters.DeviceIoControl.OutputBufferLength < sizeof(ULONG))
        return STATUS_INVALID_PARAMETER;
    ULONG offset;
    NTSTATUS status = WindowOffset(Extension, Buffer, &offset);
    if (!NT_SUCCESS(status))
        return status;
    ULONG value = ReadWindow(Extension, offset);
    RtlCopyMemory(Buffer, &value, sizeof value);
    *Information = sizeof value;
    return STATUS_SUCCESS;
}

static NTSTATUS WriteByte(PDEVICE_EXTENSION Extension, PIO_STACK_LOCATION Stack, PUCHAR Buffer,
                          PULONG_PTR Information)
{
    if (Stack->Parameters.DeviceIoControl.InputBufferLength < 2 * sizeof(ULONG) ||
        Stack->Parameters.DeviceIoControl.OutputBufferLength < sizeof(ULONG))
        return STATUS_INVALID_PARAMETER;
    ULONG offset;
    NTSTATUS status = WindowOffset(Extension, Buffer, &offset);
    if (!NT_SUCCESS(status))
        return status;
    UCHAR byte = Buffer[sizeof(ULONG)];
    WriteWindow(Extension, offset, byte);
    ULONG written = byte;
    RtlCopyMemory(Buffer, &written, sizeof written);
    *Information = sizeof written;
    return STATUS_SUCCESS;
}

NTSTATUS DispatchDeviceControl(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    PDEVICE_EXTENSION extension = ExtensionOf(DeviceObject);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    PUCHAR buffer = static_cast<PUCHAR>(Irp->AssociatedIrp.SystemBuffer);
    ULONG_PTR information = 0;
    NTSTATUS status;

    BOOLEAN entered = EnterRequest(extension);
    if (!entered)
    {
        status = STATUS_DEVICE_NOT_CONNECTED;
    }
    else
    {
        switch (stack->Parameters.DeviceIoControl.IoControlCode)
        {
            case IOCTL_READ_BYTE:
                status = ReadByte(extension, stack, buffer, &information);
                break;
            case IOCTL_WRITE_BYTE:
                status = WriteByte(extension, stack, buffer, &information);
                break;
            default:
                status = STATUS_INVALID_DEVICE_REQUEST;
                break;
        }
    }
    CompleteRequest(Irp, status, information);
    if (entered)
        LeaveRequest(extension);
    return status;
}

NTSTATUS DispatchCreate(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    PDEVICE_EXTENSION extension = ExtensionOf(DeviceObject);
    NTSTATUS status = STATUS_SUCCESS;
    // Counted in before the hold is tested, so that a query-remove cannot
    // succeed between the two (it sets the hold, then reads the count).
    InterlockedIncrement(&extension->OpenCount);
    if (extension->HoldRequests)
    {
        InterlockedDecrement(&extension->OpenCount);
        status = STATUS_DEVICE_NOT_CONNECTED;
    }
    return CompleteRequest(Irp, status, 0);
}

NTSTATUS DispatchClose(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    InterlockedDecrement(&ExtensionOf(DeviceObject)->OpenCount);
    return CompleteRequest(Irp, STATUS_SUCCESS, 0);
}

NTSTATUS DispatchReadWrite(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    UNREFERENCED_PARAMETER(DeviceObject);
    return CompleteRequest(Irp, STATUS_SUCCESS, 0);
}
