#pragma once

#include <cstring>
#include <vector>

#include <hostkernel/hk_test.h>

#include "driver.h"

// One board: the delvan driver loaded and its device added above a PDO.
class DelvanTest : public hk::KernelTest
{
protected:
    static constexpr ULONGLONG kPortBase = 0xE000;
    static constexpr ULONGLONG kMemoryBase = 0xFEB00000;

    void SetUp() override
    {
        hk::KernelTest::SetUp();
        NTSTATUS entry = STATUS_UNSUCCESSFUL;
        driver = hk::LoadDriver(DriverEntry, L"delvan", &entry);
        ASSERT_EQ(entry, STATUS_SUCCESS);
        pdo = hk::CreatePdo();
        ASSERT_EQ(hk::AddDevice(driver, pdo), STATUS_SUCCESS);
        fdo = hk::TopOfStack(pdo);
        ASSERT_NE(fdo, pdo);
    }

    PDEVICE_EXTENSION Extension() { return ExtensionOf(fdo); }

    // Starts with the raw list the bus assigned and the list as translated.
    hk::Result Start(hk::ResourceList& raw, hk::ResourceList& translated)
    {
        return hk::Pnp(fdo, IRP_MN_START_DEVICE, raw.Get(), translated.Get());
    }
    // A window of `length` bytes in I/O port space.
    hk::Result StartPortWindow(ULONG length = 16)
    {
        raw = hk::ResourceList();
        translated = hk::ResourceList();
        raw.Port(kPortBase, length);
        translated.Port(kPortBase, length);
        return Start(raw, translated);
    }
    // A port range the bus translated to memory.
    hk::Result StartMemoryWindow(ULONG length = 16)
    {
        raw = hk::ResourceList();
        translated = hk::ResourceList();
        raw.Port(kPortBase, length);
        translated.Port(kMemoryBase, length, CM_RESOURCE_PORT_MEMORY);
        return Start(raw, translated);
    }

    // The values little-endian one after the other, cut or zero-padded to `bytes`.
    static std::vector<UCHAR> Ulongs(std::initializer_list<ULONG> values, size_t bytes)
    {
        std::vector<UCHAR> buffer;
        for (ULONG v : values)
            for (int i = 0; i < 4; ++i)
                buffer.push_back(static_cast<UCHAR>(v >> (8 * i)));
        buffer.resize(bytes, 0);
        return buffer;
    }
    static ULONG FirstUlong(const hk::Result& r)
    {
        ULONG v = 0;
        std::memcpy(&v, r.output.data(), sizeof v);
        return v;
    }
    hk::Result ReadByte(ULONG offset, size_t inBytes = 4, ULONG outBytes = 4)
    {
        return hk::DeviceControl(fdo, IOCTL_READ_BYTE, Ulongs({offset}, inBytes), outBytes);
    }
    hk::Result WriteByte(ULONG offset, ULONG value, size_t inBytes = 8, ULONG outBytes = 4)
    {
        return hk::DeviceControl(fdo, IOCTL_WRITE_BYTE, Ulongs({offset, value}, inBytes), outBytes);
    }

    // How many requests of a PnP minor code reached the lower driver.
    size_t LowerPnpCalls(UCHAR minor)
    {
        size_t n = 0;
        for (const auto& call : hk::LowerCalls(pdo))
            n += call.major == IRP_MJ_PNP && call.minor == minor;
        return n;
    }
    bool InterfaceEnabled() { return hk::Interfaces().at(0).enabled; }

    PDRIVER_OBJECT driver = nullptr;
    PDEVICE_OBJECT pdo = nullptr;
    PDEVICE_OBJECT fdo = nullptr;
    hk::ResourceList raw, translated;
};
