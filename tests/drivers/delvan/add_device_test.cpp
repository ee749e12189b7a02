#include "delvan_fixture.h"

namespace
{

class AddDeviceTest : public DelvanTest
{
};

TEST_F(AddDeviceTest, NewDeviceIsUnnamedHoldingAndPublishedThroughADisabledInterface)
{
    EXPECT_EQ(hk::DeviceName(fdo), L"");
    EXPECT_EQ(fdo->DeviceType, static_cast<DEVICE_TYPE>(FILE_DEVICE_UNKNOWN));
    EXPECT_EQ(hk::DeviceExtensionSize(fdo), sizeof(DEVICE_EXTENSION));
    EXPECT_EQ(fdo->Flags & (DO_BUFFERED_IO | DO_POWER_PAGABLE | DO_DEVICE_INITIALIZING),
              static_cast<ULONG>(DO_BUFFERED_IO | DO_POWER_PAGABLE));
    EXPECT_EQ(hk::AttachedTo(fdo), pdo);
    EXPECT_EQ(Extension()->Self, fdo);
    EXPECT_EQ(Extension()->Pdo, pdo);
    EXPECT_EQ(Extension()->LowerDevice, pdo);

    auto interfaces = hk::Interfaces();
    ASSERT_EQ(interfaces.size(), 1u);
    EXPECT_EQ(interfaces[0].pdo, pdo);
    EXPECT_TRUE(IsEqualGUID(interfaces[0].guid, GUID_DEVINTERFACE_DELVAN));
    EXPECT_FALSE(interfaces[0].enabled);

    hk::Result open = hk::Create(fdo);
    EXPECT_EQ(open.status, STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(open.information, 0u);
}

TEST_F(AddDeviceTest, InterfaceClassIsTheBoardsPublishedIdentifier)
{
    const GUID expected = {0xF0CAD8D9, 0xF0D2, 0x4C0B, {0x96, 0xAF, 0xBB, 0xA5, 0x59, 0xE7, 0x36, 0x3A}};
    EXPECT_TRUE(IsEqualGUID(GUID_DEVINTERFACE_DELVAN, expected));
    EXPECT_EQ(IOCTL_READ_BYTE, 0x222004u);
    EXPECT_EQ(IOCTL_WRITE_BYTE, 0x222008u);
}

TEST_F(AddDeviceTest, FailedCreateIsReturnedAndLeavesNothing)
{
    PDEVICE_OBJECT second = hk::CreatePdo();
    hk::FailNext(hk::Op::CreateDevice, STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(hk::AddDevice(driver, second), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(second->AttachedDevice, nullptr);
    EXPECT_EQ(hk::Interfaces().size(), 1u);
}

TEST_F(AddDeviceTest, FailedInterfaceRegistrationDeletesTheDevice)
{
    PDEVICE_OBJECT second = hk::CreatePdo();
    size_t devices = hk::DeviceCount();
    size_t pool = hk::OutstandingPoolAllocations();
    hk::FailNext(hk::Op::RegisterDeviceInterface, STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(hk::AddDevice(driver, second), STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(hk::DeviceCount(), devices);
    EXPECT_EQ(hk::OutstandingPoolAllocations(), pool);
    EXPECT_EQ(second->AttachedDevice, nullptr);
}

TEST_F(AddDeviceTest, AttachReturningNoneUndoesEverythingAndReportsNoSuchDevice)
{
    PDEVICE_OBJECT second = hk::CreatePdo();
    size_t devices = hk::DeviceCount();
    size_t pool = hk::OutstandingPoolAllocations();
    hk::AttachReturnsNone();
    EXPECT_EQ(hk::AddDevice(driver, second), STATUS_NO_SUCH_DEVICE);
    EXPECT_EQ(hk::DeviceCount(), devices);
    EXPECT_EQ(hk::OutstandingPoolAllocations(), pool);
}

TEST_F(AddDeviceTest, RequestsWithoutAHandlerGetTheKernelsDefaultAnswer)
{
    hk::Result cleanup = hk::Cleanup(fdo);
    EXPECT_EQ(cleanup.status, STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_TRUE(hk::LowerCalls(pdo).empty());
}

TEST_F(AddDeviceTest, DriverUnloadsAfterItsLastDeviceIsRemoved)
{
    ASSERT_NE(driver->DriverUnload, nullptr);
    hk::Pnp(fdo, IRP_MN_REMOVE_DEVICE);
    EXPECT_FALSE(hk::DeviceExists(fdo));
    hk::UnloadDriver(driver);  // a fault if the driver still owned a device
}

}  // namespace
