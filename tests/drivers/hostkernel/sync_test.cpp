#include <atomic>

#include "probe_fixture.h"

namespace
{

class Sync : public hk::KernelTest
{
};

TEST_F(Sync, WaitBlocksUntilAnotherThreadSetsTheEvent)
{
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    std::atomic<bool> woke = false;
    hk::Thread waiter(
        [&]
        {
            KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
            woke = true;
        });
    ASSERT_TRUE(hk::WaitForBlockedThreads(1));
    EXPECT_FALSE(woke);
    EXPECT_EQ(KeSetEvent(&event, IO_NO_INCREMENT, FALSE), 0);
    waiter.Join();
    EXPECT_TRUE(woke);
    EXPECT_EQ(hk::BlockedThreads(), 0);
}

TEST_F(Sync, NotificationEventStaysSignalledAndSynchronizationEventResets)
{
    LARGE_INTEGER now{};
    KEVENT notification, synchronization;
    KeInitializeEvent(&notification, NotificationEvent, TRUE);
    KeInitializeEvent(&synchronization, SynchronizationEvent, TRUE);
    EXPECT_EQ(KeWaitForSingleObject(&notification, Executive, KernelMode, FALSE, &now), STATUS_SUCCESS);
    EXPECT_EQ(KeWaitForSingleObject(&notification, Executive, KernelMode, FALSE, &now), STATUS_SUCCESS);
    EXPECT_EQ(KeWaitForSingleObject(&synchronization, Executive, KernelMode, FALSE, &now), STATUS_SUCCESS);
    EXPECT_EQ(KeWaitForSingleObject(&synchronization, Executive, KernelMode, FALSE, &now), STATUS_TIMEOUT);
}

class RemoveLock : public hk::KernelTest
{
protected:
    void SetUp() override
    {
        hk::KernelTest::SetUp();
        IoInitializeRemoveLock(&lock, 0x47415441, 1, 1);
    }
    IO_REMOVE_LOCK lock;
    int a = 0, b = 0;
};

TEST_F(RemoveLock, AcquireFailsWithDeletePendingOnceRemovalHasBegun)
{
    ASSERT_EQ(IoAcquireRemoveLock(&lock, &a), STATUS_SUCCESS);
    IoReleaseRemoveLockAndWait(&lock, &a);
    EXPECT_EQ(IoAcquireRemoveLock(&lock, &b), STATUS_DELETE_PENDING);
}

TEST_F(RemoveLock, ReleaseAndWaitReturnsOnlyWhenEveryOtherHolderHasReleased)
{
    ASSERT_EQ(IoAcquireRemoveLock(&lock, &a), STATUS_SUCCESS);
    std::atomic<bool> returned = false;
    hk::Thread remover(
        [&]
        {
            ASSERT_EQ(IoAcquireRemoveLock(&lock, &b), STATUS_SUCCESS);
            IoReleaseRemoveLockAndWait(&lock, &b);
            returned = true;
        });
    ASSERT_TRUE(hk::WaitForBlockedThreads(1));
    EXPECT_FALSE(returned);
    EXPECT_EQ(IoAcquireRemoveLock(&lock, &b), STATUS_DELETE_PENDING);
    IoReleaseRemoveLock(&lock, &a);
    remover.Join();
    EXPECT_TRUE(returned);
}

TEST_F(RemoveLock, ReleasingWithATagThatHoldsNothingIsAFault)
{
    ASSERT_EQ(IoAcquireRemoveLock(&lock, &a), STATUS_SUCCESS);
    IoReleaseRemoveLock(&lock, &b);
    EXPECT_EQ(hk::TakeFaults().size(), 1u);
    IoReleaseRemoveLock(&lock, &a);
}

}  // namespace
