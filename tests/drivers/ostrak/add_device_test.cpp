// Adding the board's device: its name, link and flags, and the unwinding of
// every step that can fail.
#include "ostrak_test.h"

class AddDeviceTest : public OstrakTest
{
protected:
    // Removes the board added by the fixture and offers a new one, so a test
    // can watch a failing add from a clean start.
    PDEVICE_OBJECT ReplaceBoard()
    {
        hk::Pnp(device_, IRP_MN_REMOVE_DEVICE);
        return hk::CreatePdo();
    }
};

TEST_F(AddDeviceTest, AddedDeviceIsNamedLinkedAttachedAndBuffered)
{
    EXPECT_EQ(hk::DeviceName(device_), kDeviceName);
    EXPECT_EQ(hk::SymbolicLinks()[kDosLink], kDeviceName);
    EXPECT_EQ(hk::AttachedTo(device_), pdo_);
    EXPECT_EQ(device_->DeviceType, 0x8000u);
    EXPECT_EQ(device_->Characteristics, 0u);
    EXPECT_EQ(device_->Flags & (DO_BUFFERED_IO | DO_DIRECT_IO), ULONG{DO_BUFFERED_IO});
    EXPECT_NE(device_->Flags & DO_POWER_PAGABLE, 0u);
    EXPECT_EQ(device_->Flags & (DO_DEVICE_INITIALIZING | DO_EXCLUSIVE), 0u);
}

TEST_F(AddDeviceTest, SecondBoardFailsBecauseTheNameExists)
{
    PDEVICE_OBJECT secondPdo = hk::CreatePdo();
    const size_t devices = hk::DeviceCount();

    EXPECT_EQ(hk::AddDevice(driver_, secondPdo), STATUS_OBJECT_NAME_COLLISION);

    EXPECT_EQ(hk::DeviceCount(), devices);
    EXPECT_EQ(hk::TopOfStack(secondPdo), secondPdo);
    EXPECT_EQ(hk::SymbolicLinks()[kDosLink], kDeviceName);
    ASSERT_EQ(StartAtPort().status, STATUS_SUCCESS);
    EXPECT_TRUE(Serves());
}

TEST_F(AddDeviceTest, FailedCreateIsReturnedAndLeavesNothing)
{
    PDEVICE_OBJECT pdo = ReplaceBoard();
    const size_t devices = hk::DeviceCount();
    hk::FailNext(hk::Op::CreateDevice, STATUS_INSUFFICIENT_RESOURCES);

    EXPECT_EQ(hk::AddDevice(driver_, pdo), STATUS_INSUFFICIENT_RESOURCES);

    EXPECT_EQ(hk::DeviceCount(), devices);
    EXPECT_EQ(hk::SymbolicLinks().count(kDosLink), 0u);
}

TEST_F(AddDeviceTest, FailedLinkDeletesTheDeviceAndIsReturned)
{
    PDEVICE_OBJECT pdo = ReplaceBoard();
    const size_t devices = hk::DeviceCount();
    hk::FailNext(hk::Op::CreateSymbolicLink, STATUS_OBJECT_NAME_COLLISION);

    EXPECT_EQ(hk::AddDevice(driver_, pdo), STATUS_OBJECT_NAME_COLLISION);

    EXPECT_EQ(hk::DeviceCount(), devices);
    EXPECT_EQ(hk::TopOfStack(pdo), pdo);
}

TEST_F(AddDeviceTest, NothingToAttachToDeletesLinkAndDevice)
{
    PDEVICE_OBJECT pdo = ReplaceBoard();
    const size_t devices = hk::DeviceCount();
    const int deletions = hk::SymbolicLinkDeletions(kDosLink);
    hk::AttachReturnsNone();

    EXPECT_EQ(hk::AddDevice(driver_, pdo), STATUS_NO_SUCH_DEVICE);

    EXPECT_EQ(hk::DeviceCount(), devices);
    EXPECT_EQ(hk::SymbolicLinks().count(kDosLink), 0u);
    EXPECT_EQ(hk::SymbolicLinkDeletions(kDosLink), deletions + 1);
}

TEST_F(AddDeviceTest, BoardCanBeAddedAgainAfterRemoval)
{
    PDEVICE_OBJECT pdo = ReplaceBoard();

    ASSERT_EQ(hk::AddDevice(driver_, pdo), STATUS_SUCCESS);
    device_ = hk::TopOfStack(pdo);

    EXPECT_EQ(hk::SymbolicLinks()[kDosLink], kDeviceName);
    EXPECT_EQ(StartAtPort().status, STATUS_SUCCESS);
}
