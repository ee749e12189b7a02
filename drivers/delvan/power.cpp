// delvan: power and system-control requests, passed to the device below.
#include "driver.h"

NTSTATUS DispatchPower(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    PAGED_CODE();
    PDEVICE_EXTENSION extension = ExtensionOf(DeviceObject);
    PoStartNextPowerIrp(Irp);
    IoSkipCurrentIrpStackLocation(Irp);
    NTSTATUS status = PoCallDriver(extension->LowerDevice, Irp);
    return status;
}

NTSTATUS DispatchSystemControl(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    PDEVICE_EXTENSION extension = ExtensionOf(DeviceObject);
    NTSTATUS status;
    if (extension->HoldRequests)
    {
        status = CompleteRequest(Irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    }
    else
    {
        status = PassDown(extension, Irp);
    }
    return status;
}
