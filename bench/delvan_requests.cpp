// One read-byte and one write-byte device-control request through delvan's
// dispatch routine, host build, on a started board with a port window.
#include "runner.h"

#include <hostkernel/hk.h>

#include "driver.h"

#include <cstdio>
#include <vector>

namespace
{

constexpr ULONGLONG kPortBase = 0xE000;

// The kernel substitute keeps a log of every port access; it is emptied now
// and then so the log's growth stays out of the figures.
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
    bench::add("delvan/read-byte",
               [&](benchmark::State& st)
               {
                   for (auto _ : st)
                   {
                       if (!checked(hk::DeviceControl(fdo, IOCTL_READ_BYTE, readIn, 4), st))
                           break;
                       trimLog(st);
                   }
               });
    bench::add("delvan/write-byte",
               [&](benchmark::State& st)
               {
                   for (auto _ : st)
                   {
                       if (!checked(hk::DeviceControl(fdo, IOCTL_WRITE_BYTE, writeIn, 4), st))
                           break;
                       trimLog(st);
                   }
               });

    bench::Medians m;
    const bool ok = bench::runAll(argc, argv, m);
    for (const auto& [name, ns] : m)
        std::printf("| %s | %s |\n", name.c_str(), bench::formatNs(ns).c_str());

    hk::Pnp(fdo, IRP_MN_REMOVE_DEVICE);
    hk::UnloadDriver(driver);
    for (const std::string& fault : hk::TakeFaults())
    {
        std::fprintf(stderr, "kernel fault: %s\n", fault.c_str());
        return 1;
    }
    return ok ? 0 : 1;
}
