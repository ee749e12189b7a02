// Registration of the port byte driver and the adding of its one device.
#include "driver.h"

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath)
{
    UNREFERENCED_PARAMETER(RegistryPath);

    DriverObject->DriverExtension->AddDevice = AddDevice;
    DriverObject->DriverUnload = Unload;
    DriverObject->MajorFunction[IRP_MJ_CREATE] = DispatchGeneral;
    DriverObject->MajorFunction[IRP_MJ_CLOSE] = DispatchGeneral;
    DriverObject->MajorFunction[IRP_MJ_READ] = DispatchGeneral;
    DriverObject->MajorFunction[IRP_MJ_WRITE] = DispatchGeneral;
    DriverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchGeneral;
    DriverObject->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    DriverObject->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    DriverObject->MajorFunction[IRP_MJ_SYSTEM_CONTROL] = DispatchSystemControl;
    return STATUS_SUCCESS;
}

NTSTATUS AddDevice(PDRIVER_OBJECT DriverObject, PDEVICE_OBJECT PhysicalDeviceObject)
{
    PAGED_CODE();
    UNICODE_STRING deviceName;
    UNICODE_STRING dosDeviceName;
    RtlInitUnicodeString(&deviceName, OSTRAK_DEVICE_NAME);
    RtlInitUnicodeString(&dosDeviceName, OSTRAK_DOS_DEVICE_NAME);

    // The fixed name is what limits the driver to one board: a second
    // board's create fails here because the name exists.
    PDEVICE_OBJECT deviceObject = NULL;
    NTSTATUS status = IoCreateDevice(DriverObject, sizeof(DEVICE_EXTENSION), &deviceName, FILE_DEVICE_OSTRAK,
                                     0, FALSE, &deviceObject);
    if (!NT_SUCCESS(status))
    {
        return status;
    }

    status = IoCreateSymbolicLink(&dosDeviceName, &deviceName);
    if (!NT_SUCCESS(status))
    {
        IoDeleteDevice(deviceObject);
        return status;
    }

    PDEVICE_EXTENSION extension = ExtensionOf(deviceObject);
    extension->LowerDevice = IoAttachDeviceToDeviceStack(deviceObject, PhysicalDeviceObject);
    if (extension->LowerDevice == NULL)
    {
        IoDeleteSymbolicLink(&dosDeviceName);
        IoDeleteDevice(deviceObject);
        return STATUS_NO_SUCH_DEVICE;
    }

    IoInitializeRemoveLock(&extension->RemoveLock, OSTRAK_POOL_TAG, OSTRAK_REMOVE_LOCK_MINUTES,
                           OSTRAK_REMOVE_LOCK_HIGH_WATER);
    // Buffered I/O: read and write see the I/O manager's checked system
    // buffer, never an address the caller chose, which could point into
    // kernel memory.
    deviceObject->Flags |= DO_BUFFERED_IO | DO_POWER_PAGABLE;
    extension->Self = deviceObject;
    extension->Removed = FALSE;
    extension->Started = FALSE;
    deviceObject->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

VOID Unload(PDRIVER_OBJECT DriverObject)
{
    // Every device object is gone with its removal; nothing is left to free.
    UNREFERENCED_PARAMETER(DriverObject);
}
