#pragma once

#include <string>
#include <vector>

#include <hostkernel/hk_test.h>

#include "probe_driver.h"

// One probe device attached above one PDO of the scripted bus.
class ProbeTest : public hk::KernelTest
{
protected:
    void SetUp() override
    {
        hk::KernelTest::SetUp();
        driver = hk::LoadDriver(probe::Entry, L"probe");
        pdo = hk::CreatePdo();
        ASSERT_EQ(hk::AddDevice(driver, pdo), STATUS_SUCCESS);
        fdo = hk::TopOfStack(pdo);
        ASSERT_NE(fdo, pdo);
    }
    probe::Settings& probe() { return probe::settings(); }
    static bool AnyFaultContains(const std::vector<std::string>& faults, const std::string& text)
    {
        for (const auto& f : faults)
            if (f.find(text) != std::string::npos)
                return true;
        return false;
    }

    PDRIVER_OBJECT driver = nullptr;
    PDEVICE_OBJECT pdo = nullptr;
    PDEVICE_OBJECT fdo = nullptr;
};
