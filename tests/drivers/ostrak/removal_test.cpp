// Removal racing with requests in progress on other threads. The threads are
// ordered by the hostkernel's gates and wait counts, never by sleeping.
#include "ostrak_test.h"

#include <atomic>
#include <vector>

using RemovalTest = OstrakTest;

TEST_F(RemovalTest, RemovalWaitsForAReadInProgressAndRefusesNewRequests)
{
    ASSERT_EQ(StartAtPort().status, STATUS_SUCCESS);
    hk::SetPort(kPort, 0x6B);

    hk::HoldAccesses();
    hk::Result read;
    hk::Thread reader([&] { read = hk::Read(device_, 1); });
    ASSERT_TRUE(hk::WaitForHeldAccesses(1));

    std::atomic<bool> removed{false};
    hk::Result removal;
    hk::Thread remover(
        [&]
        {
            removal = hk::Pnp(device_, IRP_MN_REMOVE_DEVICE);
            removed = true;
        });
    // The remover is blocked waiting for the read's hold on the remove lock.
    EXPECT_TRUE(hk::WaitForBlockedThreads(1));

    EXPECT_FALSE(removed);
    EXPECT_TRUE(hk::DeviceExists(device_));
    EXPECT_EQ(hk::LowerCalls(pdo_).size(), 1u);  // the removal has not gone down yet
    const hk::Result lateRead = hk::Read(device_, 1);
    const hk::Result lateOpen = hk::Create(device_);
    const hk::Result latePower = hk::Power(device_, IRP_MN_QUERY_POWER);

    hk::ReleaseAccesses();
    reader.Join();
    remover.Join();

    for (const hk::Result& refused : {lateRead, lateOpen})
    {
        EXPECT_EQ(refused.status, STATUS_DELETE_PENDING);
        EXPECT_EQ(refused.information, 0u);
    }
    EXPECT_EQ(latePower.status, STATUS_DELETE_PENDING);
    EXPECT_EQ(read.status, STATUS_SUCCESS);
    EXPECT_EQ(read.output, std::vector<UCHAR>{0x6B});
    EXPECT_EQ(removal.status, STATUS_SUCCESS);
    EXPECT_FALSE(hk::DeviceExists(device_));
    EXPECT_EQ(hk::Accesses().size(), 1u);
}
