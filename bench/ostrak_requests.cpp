// ostrak moves its byte with read and write requests rather than device
// controls: one of each through its dispatch routine, host build, on a
// started board.
#include "runner.h"

#include <hostkernel/hk.h>

#include "driver.h"

#include <cstdio>
#include <vector>

namespace
{

constexpr ULONGLONG kPort = 0xE300;

void trimLog(benchmark::State& st)
{
    if ((st.iterations() & 1023) == 0)
        hk::ClearAccesses();
}

bool checked(const hk::Result& r, benchmark::State& st)
{
    if (r.status == STATUS_SUCCESS)
        return true;
    st.SkipWithError("request failed");
    return false;
}

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
    bench::add("ostrak/read-byte",
               [&](benchmark::State& st)
               {
                   for (auto _ : st)
                   {
                       if (!checked(hk::Read(device, 1), st))
                           break;
                       trimLog(st);
                   }
               });
    bench::add("ostrak/write-byte",
               [&](benchmark::State& st)
               {
                   for (auto _ : st)
                   {
                       if (!checked(hk::Write(device, byte), st))
                           break;
                       trimLog(st);
                   }
               });

    bench::Medians m;
    const bool ok = bench::runAll(argc, argv, m);
    for (const auto& [name, ns] : m)
        std::printf("| %s | %s |\n", name.c_str(), bench::formatNs(ns).c_str());

    hk::Close(device);
    hk::Pnp(device, IRP_MN_REMOVE_DEVICE);
    hk::UnloadDriver(driver);
    for (const std::string& fault : hk::TakeFaults())
    {
        std::fprintf(stderr, "kernel fault: %s\n", fault.c_str());
        return 1;
    }
    return ok ? 0 : 1;
}
