// ostrak moves its byte with read and write requests rather than device
// controls: one of each through its dispatch routine, host build, on a
// started board.
#include "driver_requests.h"

#include "driver.h"

#include <cstdio>
#include <vector>

namespace
{

constexpr ULONGLONG kPort = 0xE300;

}  // namespace

int main(int argc, char** argv)
{
    hk::Reset();
    PDRIVER_OBJECT driver = hk::LoadDriver(DriverEntry, L"ostrak");
    PDEVICE_OBJECT pdo = hk::CreatePdo();
    if (hk::AddDevice(driver, pdo) != STATUS_SUCCESS)
    {
        std::fprintf(stderr, "ostrak did not load\n");
        return 1;
    }
    PDEVICE_OBJECT device = hk::TopOfStack(pdo);
    hk::ResourceList raw, translated;
    raw.Port(0x0300, 8).Interrupt(5, 5);
    translated.Port(kPort, 8).Interrupt(5, 0x51);
    if (hk::Pnp(device, IRP_MN_START_DEVICE, raw.Get(), translated.Get()).status != STATUS_SUCCESS ||
        hk::Create(device).status != STATUS_SUCCESS)
    {
        std::fprintf(stderr, "ostrak did not start\n");
        return 1;
    }
    hk::SetPort(kPort, 0x5A);

    const std::vector<UCHAR> byte = {0xA5};
    bench::addRequest("ostrak/read-byte", [&] { return hk::Read(device, 1); });
    bench::addRequest("ostrak/write-byte", [&] { return hk::Write(device, byte); });

    return bench::runRequests(argc, argv,
                              [&]
                              {
                                  hk::Close(device);
                                  hk::Pnp(device, IRP_MN_REMOVE_DEVICE);
                                  hk::UnloadDriver(driver);
                              });
}
