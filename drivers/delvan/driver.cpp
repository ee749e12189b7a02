// delvan: registration, adding a device for a board, unloading.
#include <ntddk.h>
#include <initguid.h>

#include "driver.h"

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath)
{
    UNREFERENCED_PARAMETER(RegistryPath);
    DriverObject->DriverExtension->AddDevice = AddDevice;
    DriverObject->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    DriverObject->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    DriverObject->MajorFunction[IRP_MJ_READ] = DispatchReadWrite;
    DriverObject->MajorFunction[IRP_MJ_WRITE] = DispatchReadWrite;
    DriverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
    DriverObject->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    DriverObject->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    DriverObject->MajorFunction[IRP_MJ_SYSTEM_CONTROL] = DispatchSystemControl;
    DriverObject->DriverUnload = Unload;
    return STATUS_SUCCESS;
}

NTSTATUS AddDevice(PDRIVER_OBJECT DriverObject, PDEVICE_OBJECT PhysicalDeviceObject)
{
    PAGED_CODE();
    PDEVICE_OBJECT device = NULL;
    static_assert(
        sizeof(DEVICE_EXTENSION) >= 104 && sizeof(((PDEVICE_EXTENSION)0)->WindowBase) == sizeof(PVOID),
        "the extension is created at its own x64 size, no smaller than the 104-byte 32-bit layout, and "
        "its window base holds a system address");
    NTSTATUS status =
        IoCreateDevice(DriverObject, sizeof(DEVICE_EXTENSION), NULL, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;

    PDEVICE_EXTENSION extension = ExtensionOf(device);
    extension->Self = device;
    extension->Pdo = PhysicalDeviceObject;
    extension->OpenCount = 0;
    extension->HoldRequests = TRUE;
    extension->WindowMapped = FALSE;
    extension->ActiveRequests = 0;
    extension->InterfaceEnabled = FALSE;
    KeInitializeEvent(&extension->RequestsDone, SynchronizationEvent, FALSE);

    status = IoRegisterDeviceInterface(PhysicalDeviceObject, &GUID_DEVINTERFACE_DELVAN, NULL,
                                       &extension->InterfaceName);
    if (!NT_SUCCESS(status))
    {
        IoDeleteDevice(device);
        return status;
    }

    extension->LowerDevice = IoAttachDeviceToDeviceStack(device, PhysicalDeviceObject);
    if (extension->LowerDevice == NULL)
    {
        // Nothing to pass requests to: undo everything, the name's pool included.
        RtlFreeUnicodeString(&extension->InterfaceName);
        IoDeleteDevice(device);
        return STATUS_NO_SUCH_DEVICE;
    }

    device->Flags |= DO_BUFFERED_IO | DO_POWER_PAGABLE;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

VOID Unload(PDRIVER_OBJECT DriverObject) { UNREFERENCED_PARAMETER(DriverObject); }
