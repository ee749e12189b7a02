// Fixture for the port byte driver's host tests: a fresh kernel with the
// driver loaded and added for one board, removed and unloaded again after.
#pragma once

#include <hostkernel/hk_test.h>

#include "driver.h"

// Resource lists for a start: the raw list says what the board decoded, the
// translated one where the processor reaches it.
struct StartResources
{
    hk::ResourceList raw;
    hk::ResourceList translated;
};

class OstrakTest : public hk::KernelTest
{
protected:
    // Raw and translated port numbers differ on purpose, so a test sees
    // which of the two the driver used.
    static constexpr ULONG kRawPort = 0x0300;
    static constexpr ULONG kPort = 0xE300;
    static constexpr const wchar_t* kDosLink = L"\\DosDevices\\Ostrak";
    static constexpr const wchar_t* kDeviceName = L"\\Device\\Ostrak0";

    void SetUp() override
    {
        hk::KernelTest::SetUp();
        driver_ = hk::LoadDriver(DriverEntry, L"ostrak");
        pdo_ = hk::CreatePdo();
        ASSERT_EQ(hk::AddDevice(driver_, pdo_), STATUS_SUCCESS);
        device_ = hk::TopOfStack(pdo_);
    }

    void TearDown() override
    {
        if (device_ != nullptr && hk::DeviceExists(device_))
        {
            hk::Pnp(device_, IRP_MN_REMOVE_DEVICE);
        }
        hk::UnloadDriver(driver_);
        hk::KernelTest::TearDown();
    }

    // The board as the bus usually assigns it: one port range and an interrupt.
    static StartResources PortAndInterrupt(ULONGLONG translatedPort = kPort)
    {
        StartResources resources;
        resources.raw.Port(kRawPort, 8).Interrupt(5, 5);
        resources.translated.Port(translatedPort, 8).Interrupt(5, 0x51);
        return resources;
    }

    hk::Result Start(StartResources& resources)
    {
        return hk::Pnp(device_, IRP_MN_START_DEVICE, resources.raw.Get(), resources.translated.Get());
    }

    hk::Result StartAtPort(ULONGLONG translatedPort = kPort)
    {
        StartResources resources = PortAndInterrupt(translatedPort);
        return Start(resources);
    }

    // True when a read is served, i.e. the device counts as started.
    bool Serves() { return hk::Read(device_, 1).status == STATUS_SUCCESS; }

    PDRIVER_OBJECT driver_ = nullptr;
    PDEVICE_OBJECT pdo_ = nullptr;
    PDEVICE_OBJECT device_ = nullptr;
};
