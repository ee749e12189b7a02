#include "probe_driver.h"

namespace probe
{

Settings& settings()
{
    static Settings s;
    return s;
}

static NTSTATUS SignalCompletion(PDEVICE_OBJECT device, PIRP irp, PVOID context)
{
    settings().completionRoutineCalls++;
    settings().statusSeenByRoutine = irp->IoStatus.Status;
    settings().pendingSeenByRoutine = irp->PendingReturned;
    settings().deviceSeenByRoutine = device;
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

static NTSTATUS Dispatch(PDEVICE_OBJECT device, PIRP irp)
{
    auto* ext = static_cast<Extension*>(device->DeviceExtension);
    Settings& s = settings();
    switch (s.action)
    {
        case Action::Complete:
            irp->IoStatus.Status = s.status;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return s.status;
        case Action::Skip:
            IoSkipCurrentIrpStackLocation(irp);
            return IoCallDriver(ext->Lower, irp);
        case Action::CopyNoRoutine:
            IoCopyCurrentIrpStackLocationToNext(irp);
            return IoCallDriver(ext->Lower, irp);
        case Action::ForwardAndWait:
        {
            KEVENT event;
            KeInitializeEvent(&event, NotificationEvent, FALSE);
            IoCopyCurrentIrpStackLocationToNext(irp);
            IoSetCompletionRoutine(irp, SignalCompletion, &event, TRUE, TRUE, TRUE);
            NTSTATUS status = IoCallDriver(ext->Lower, irp);
            s.lowerReturned = status;
            if (status == STATUS_PENDING)
            {
                KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
                status = irp->IoStatus.Status;
            }
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return status;
        }
        case Action::MarkAndPassDown:
            IoMarkIrpPending(irp);
            IoCopyCurrentIrpStackLocationToNext(irp);
            IoCallDriver(ext->Lower, irp);
            return STATUS_PENDING;
        case Action::PendingUnmarked:
            irp->IoStatus.Status = STATUS_SUCCESS;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return STATUS_PENDING;
        case Action::CompleteTwice:
            irp->IoStatus.Status = STATUS_SUCCESS;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return STATUS_SUCCESS;
        case Action::FillOutput:
        {
            PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
            ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
            ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
            s.systemBufferBytes = in > out ? in : out;
            memset(irp->AssociatedIrp.SystemBuffer, s.fill, s.systemBufferBytes);
            irp->IoStatus.Status = STATUS_SUCCESS;
            irp->IoStatus.Information = s.information;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return STATUS_SUCCESS;
        }
    }
    return STATUS_UNSUCCESSFUL;
}

static NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo)
{
    PDEVICE_OBJECT device;
    NTSTATUS status =
        IoCreateDevice(driver, sizeof(Extension), nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    static_cast<Extension*>(device->DeviceExtension)->Lower = IoAttachDeviceToDeviceStack(device, pdo);
    device->Flags |= DO_BUFFERED_IO;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

NTSTATUS Entry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    settings() = Settings();
    driver->DriverExtension->AddDevice = AddDevice;
    for (int major = 0; major <= IRP_MJ_MAXIMUM_FUNCTION; ++major)
        driver->MajorFunction[major] = Dispatch;
    return STATUS_SUCCESS;
}

}  // namespace probe
