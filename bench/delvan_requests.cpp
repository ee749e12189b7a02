// One read-byte and one write-byte device-control request through delvan's
// dispatch routine, host build, on a started board with a port window.
#include "driver_requests.h"

#include "driver.h"

#include <cstdio>
#include <vector>

namespace
{

constexpr ULONGLONG kPortBase = 0xE000;

}  // namespace

int main(int argc, char** argv)
{
    hk::Reset();
    NTSTATUS entry = STATUS_UNSUCCESSFUL;
    PDRIVER_OBJECT driver = hk::LoadDriver(DriverEntry, L"delvan", &entry);
    PDEVICE_OBJECT pdo = hk::CreatePdo();
    if (entry != STATUS_SUCCESS || hk::AddDevice(driver, pdo) != STATUS_SUCCESS)
    {
        std::fprintf(stderr, "delvan did not load\n");
        return 1;
    }
    PDEVICE_OBJECT fdo = hk::TopOfStack(pdo);
    hk::ResourceList raw, translated;
    raw.Port(kPortBase, 16);
    translated.Port(kPortBase, 16);
    if (hk::Pnp(fdo, IRP_MN_START_DEVICE, raw.Get(), translated.Get()).status != STATUS_SUCCESS)
    {
        std::fprintf(stderr, "delvan did not start\n");
        return 1;
    }
    hk::SetPort(kPortBase + 3, 0x5A);

    const std::vector<UCHAR> readIn = {3, 0, 0, 0};
    const std::vector<UCHAR> writeIn = {3, 0, 0, 0, 0xA5, 0, 0, 0};
    bench::addRequest("delvan/read-byte", [&] { return hk::DeviceControl(fdo, IOCTL_READ_BYTE, readIn, 4); });
    bench::addRequest("delvan/write-byte",
                      [&] { return hk::DeviceControl(fdo, IOCTL_WRITE_BYTE, writeIn, 4); });

    return bench::runRequests(argc, argv,
                              [&]
                              {
                                  hk::Pnp(fdo, IRP_MN_REMOVE_DEVICE);
                                  hk::UnloadDriver(driver);
                              });
}
