// Power and system control: both belong to the drivers below.
#include "driver.h"

NTSTATUS NTAPI DispatchPower(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    PDEVICE_EXTENSION extension = GetExtension(DeviceObject);
    NTSTATUS status;

    // The power manager waits for this call before it sends the next power
    // request to the device, on the refused road as well.
    PoStartNextPowerIrp(Irp);
    // A set-power request is never failed: the stack lives until the removal,
    // and the system's sleep and resume pass through it. Only a query may be
    // refused once the board is gone.
    if (extension->Removed && IoGetCurrentIrpStackLocation(Irp)->MinorFunction == IRP_MN_QUERY_POWER)
    {
        Irp->IoStatus.Information = 0;
        status = CompleteRequest(Irp, STATUS_DELETE_PENDING);
    }
    else
    {
        IoSkipCurrentIrpStackLocation(Irp);
        status = PoCallDriver(extension->LowerDevice, Irp);
    }
    return status;
}

NTSTATUS NTAPI DispatchSystemControl(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    IoSkipCurrentIrpStackLocation(Irp);
    return IoCallDriver(GetExtension(DeviceObject)->LowerDevice, Irp);
}
