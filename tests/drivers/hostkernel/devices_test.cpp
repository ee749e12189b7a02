#include "probe_fixture.h"

namespace
{

const GUID kGuid = {0x12345678, 0x9ABC, 0xDEF0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};

NTSTATUS NothingToDo(PDRIVER_OBJECT, PUNICODE_STRING) { return STATUS_SUCCESS; }

class Devices : public hk::KernelTest
{
protected:
    void SetUp() override
    {
        hk::KernelTest::SetUp();
        driver = hk::LoadDriver(NothingToDo);
    }
    NTSTATUS Create(const wchar_t* name, PDEVICE_OBJECT* device, ULONG extension = 0)
    {
        UNICODE_STRING text;
        RtlInitUnicodeString(&text, name);
        return IoCreateDevice(driver, extension, name ? &text : nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE,
                              device);
    }
    PDRIVER_OBJECT driver = nullptr;
};

TEST_F(Devices, CreatedDeviceHasAZeroFilledExtensionOfTheAskedSize)
{
    PDEVICE_OBJECT device;
    ASSERT_EQ(Create(nullptr, &device, 104), STATUS_SUCCESS);
    ASSERT_NE(device->DeviceExtension, nullptr);
    const auto* bytes = static_cast<const UCHAR*>(device->DeviceExtension);
    for (int i = 0; i < 104; ++i)
        ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(hk::DeviceExtensionSize(device), 104u);
    EXPECT_TRUE(device->Flags & DO_DEVICE_INITIALIZING);
    EXPECT_EQ(driver->DeviceObject, device);
    IoDeleteDevice(device);
    EXPECT_FALSE(hk::DeviceExists(device));
    EXPECT_EQ(driver->DeviceObject, nullptr);
}

TEST_F(Devices, SecondDeviceOfTheSameNameCollidesUntilTheFirstIsDeleted)
{
    PDEVICE_OBJECT first, second;
    ASSERT_EQ(Create(L"\\Device\\Probe0", &first), STATUS_SUCCESS);
    EXPECT_EQ(Create(L"\\Device\\Probe0", &second), STATUS_OBJECT_NAME_COLLISION);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(hk::DeviceName(first), L"\\Device\\Probe0");
    IoDeleteDevice(first);
    ASSERT_EQ(Create(L"\\Device\\Probe0", &second), STATUS_SUCCESS);
    IoDeleteDevice(second);
}

TEST_F(Devices, ScriptedCreateFailureHitsOnlyTheNextCall)
{
    hk::FailNext(hk::Op::CreateDevice, STATUS_INSUFFICIENT_RESOURCES);
    PDEVICE_OBJECT device;
    EXPECT_EQ(Create(nullptr, &device), STATUS_INSUFFICIENT_RESOURCES);
    ASSERT_EQ(Create(nullptr, &device), STATUS_SUCCESS);
    IoDeleteDevice(device);
}

TEST_F(Devices, AttachStacksOnTheTopAndCanBeScriptedToReturnNone)
{
    PDEVICE_OBJECT pdo = hk::CreatePdo();
    PDEVICE_OBJECT a, b;
    ASSERT_EQ(Create(nullptr, &a), STATUS_SUCCESS);
    ASSERT_EQ(Create(nullptr, &b), STATUS_SUCCESS);

    hk::AttachReturnsNone();
    EXPECT_EQ(IoAttachDeviceToDeviceStack(a, pdo), nullptr);
    EXPECT_EQ(pdo->AttachedDevice, nullptr);

    EXPECT_EQ(IoAttachDeviceToDeviceStack(a, pdo), pdo);
    EXPECT_EQ(IoAttachDeviceToDeviceStack(b, pdo), a);
    EXPECT_EQ(b->StackSize, 3);
    EXPECT_EQ(hk::TopOfStack(pdo), b);
    EXPECT_EQ(hk::AttachedTo(b), a);

    IoDetachDevice(a);
    IoDeleteDevice(b);
    IoDetachDevice(pdo);
    IoDeleteDevice(a);
}

TEST_F(Devices, DeletingAnAttachedDeviceIsAFault)
{
    PDEVICE_OBJECT pdo = hk::CreatePdo();
    PDEVICE_OBJECT device;
    ASSERT_EQ(Create(nullptr, &device), STATUS_SUCCESS);
    IoAttachDeviceToDeviceStack(device, pdo);
    IoDeleteDevice(device);
    EXPECT_EQ(hk::TakeFaults().size(), 1u);
    pdo->AttachedDevice = nullptr;
}

TEST_F(Devices, UnloadingADriverThatStillOwnsDevicesIsAFault)
{
    PDEVICE_OBJECT device;
    ASSERT_EQ(Create(nullptr, &device), STATUS_SUCCESS);
    hk::UnloadDriver(driver);
    EXPECT_EQ(hk::TakeFaults().size(), 1u);
}

TEST_F(Devices, SymbolicLinksAreCreatedOnceAndEveryDeletionIsCounted)
{
    UNICODE_STRING link, target;
    RtlInitUnicodeString(&link, L"\\DosDevices\\Probe");
    RtlInitUnicodeString(&target, L"\\Device\\Probe0");
    EXPECT_EQ(IoCreateSymbolicLink(&link, &target), STATUS_SUCCESS);
    EXPECT_EQ(IoCreateSymbolicLink(&link, &target), STATUS_OBJECT_NAME_COLLISION);
    EXPECT_EQ(hk::SymbolicLinks().at(L"\\DosDevices\\Probe"), L"\\Device\\Probe0");

    EXPECT_EQ(IoDeleteSymbolicLink(&link), STATUS_SUCCESS);
    EXPECT_EQ(IoDeleteSymbolicLink(&link), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_TRUE(hk::SymbolicLinks().empty());
    EXPECT_EQ(hk::SymbolicLinkDeletions(L"\\DosDevices\\Probe"), 2);
}

TEST_F(Devices, InterfaceIsRegisteredDisabledAndItsNameIsPoolTheDriverFrees)
{
    PDEVICE_OBJECT pdo = hk::CreatePdo();
    UNICODE_STRING name{};
    ASSERT_EQ(IoRegisterDeviceInterface(pdo, &kGuid, nullptr, &name), STATUS_SUCCESS);
    ASSERT_EQ(hk::Interfaces().size(), 1u);
    hk::Interface entry = hk::Interfaces()[0];
    EXPECT_EQ(entry.pdo, pdo);
    EXPECT_TRUE(IsEqualGUID(entry.guid, kGuid));
    EXPECT_FALSE(entry.enabled);
    EXPECT_NE(entry.name.find(L"{12345678-9ABC-DEF0-0123-456789ABCDEF}"), std::wstring::npos);
    EXPECT_EQ(hk::OutstandingPoolAllocations(), 1u);

    EXPECT_EQ(IoSetDeviceInterfaceState(&name, TRUE), STATUS_SUCCESS);
    EXPECT_TRUE(hk::Interfaces()[0].enabled);
    EXPECT_EQ(IoSetDeviceInterfaceState(&name, TRUE), STATUS_OBJECT_NAME_EXISTS);
    EXPECT_EQ(IoSetDeviceInterfaceState(&name, FALSE), STATUS_SUCCESS);
    EXPECT_FALSE(hk::Interfaces()[0].enabled);
    EXPECT_EQ(hk::Interfaces()[0].stateChanges, 2);

    RtlFreeUnicodeString(&name);
    EXPECT_EQ(name.Buffer, nullptr);
    EXPECT_EQ(hk::OutstandingPoolAllocations(), 0u);
}

TEST_F(Devices, InterfaceRegistrationCanBeScriptedToFail)
{
    PDEVICE_OBJECT pdo = hk::CreatePdo();
    UNICODE_STRING name{};
    hk::FailNext(hk::Op::RegisterDeviceInterface, STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(IoRegisterDeviceInterface(pdo, &kGuid, nullptr, &name), STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_TRUE(hk::Interfaces().empty());
    EXPECT_EQ(hk::OutstandingPoolAllocations(), 0u);
}

TEST_F(Devices, FreeingPoolTwiceIsAFault)
{
    void* p = ExAllocatePoolWithTag(NonPagedPoolNx, 16, 0);
    ExFreePool(p);
    ExFreePool(p);
    EXPECT_EQ(hk::TakeFaults().size(), 1u);
}

}  // namespace
