// Power and system control: both belong to the drivers below.
#include "driver.h"

NTSTATUS DispatchPower(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    PAGED_CODE();
    PDEVICE_EXTENSION extension = ExtensionOf(DeviceObject);
    NTSTATUS status;

    // The power manager waits for this call before it sends the next power
    // request to the device, on the refused road as well.
    PoStartNextPowerIrp(Irp);
    // A set-power request is never failed: the stack lives until the removal,
    // and the system's sleep and resume pass through it. Only a query may be
    // refused once the board is gone.
    if (extension->Removed && IoGetCurrentIrpStackLocation(Irp)->MinorFunction == IRP_MN_QUERY_POWER)
    {
        status = CompleteRequest(Irp, STATUS_DELETE_PENDING, 0);
    }
    else
    {
        IoSkipCurrentIrpStackLocation(Irp);
        status = PoCallDriver(extension->LowerDevice, Irp);
    }
    return status;
}

NTSTATUS DispatchSystemControl(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    return PassDown(ExtensionOf(DeviceObject), Irp);
}
