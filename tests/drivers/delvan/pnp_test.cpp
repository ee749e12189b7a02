#include "delvan_fixture.h"

namespace
{

using Kind = hk::Access::Kind;
using Mode = hk::LowerReply::Mode;

class StartTest : public DelvanTest
{
};

TEST_F(StartTest, PortRangeTranslatedToMemoryIsMappedAndReachedThroughRegisters)
{
    hk::SetPhysical(kMemoryBase + 2, 0x5C);
    hk::Result r = StartMemoryWindow(16);
    EXPECT_EQ(r.status, STATUS_SUCCESS);
    EXPECT_EQ(r.returned, STATUS_SUCCESS);

    auto mappings = hk::Mappings();
    ASSERT_EQ(mappings.size(), 1u);
    EXPECT_EQ(mappings[0].physical, kMemoryBase);
    EXPECT_EQ(mappings[0].length, 16u);
    EXPECT_TRUE(InterfaceEnabled());

    hk::Result read = ReadByte(2);
    EXPECT_EQ(read.status, STATUS_SUCCESS);
    EXPECT_EQ(FirstUlong(read), 0x5Cu);
    EXPECT_EQ(hk::Accesses(), (std::vector<hk::Access>{{Kind::RegisterRead, kMemoryBase + 2, 0x5C}}));
}

TEST_F(StartTest, IoPortRangeIsUsedDirectlyWithPortAccessAndNotMapped)
{
    hk::SetPort(kPortBase + 2, 0x33);
    EXPECT_EQ(StartPortWindow(16).status, STATUS_SUCCESS);
    EXPECT_EQ(hk::MapCalls(), 0);

    hk::Result read = ReadByte(2);
    EXPECT_EQ(FirstUlong(read), 0x33u);
    EXPECT_EQ(hk::Accesses(), (std::vector<hk::Access>{{Kind::PortRead, kPortBase + 2, 0x33}}));
}

TEST_F(StartTest, WindowIsTakenFromTheTranslatedList)
{
    raw.Port(0x1000, 16);
    translated.Port(kPortBase, 16);
    Start(raw, translated);
    ReadByte(1);
    EXPECT_EQ(hk::Accesses().at(0).address, kPortBase + 1);
}

TEST_F(StartTest, InterruptThenTwoPortRangesTakesTheFirstPortRangeAsWindow)
{
    raw.Interrupt(5, 0x35).Port(0xD000, 16).Port(0xC000, 8);
    translated.Interrupt(5, 0x35).Port(0xD000, 16).Port(0xC000, 8);
    EXPECT_EQ(Start(raw, translated).status, STATUS_SUCCESS);

    ReadByte(15);
    EXPECT_EQ(hk::Accesses(), (std::vector<hk::Access>{{Kind::PortRead, 0xD00F, 0xFF}}));
    EXPECT_EQ(Extension()->WindowLength, 16u);
}

TEST_F(StartTest, MemoryOnlyListYieldsNoWindowAndByteRequestsAreNotReady)
{
    raw.Memory(kMemoryBase, 0x100);
    translated.Memory(kMemoryBase, 0x100);
    EXPECT_EQ(Start(raw, translated).status, STATUS_SUCCESS);
    EXPECT_FALSE(Extension()->WindowFound);
    EXPECT_FALSE(Extension()->IsPort);
    EXPECT_FALSE(Extension()->NeedsMapping);
    EXPECT_EQ(Extension()->WindowLength, 0u);
    EXPECT_EQ(hk::MapCalls(), 0);

    EXPECT_EQ(ReadByte(0).status, STATUS_DEVICE_NOT_READY);
    EXPECT_EQ(WriteByte(0, 1).status, STATUS_DEVICE_NOT_READY);
    EXPECT_TRUE(hk::Accesses().empty());
    EXPECT_EQ(hk::Create(fdo).status, STATUS_SUCCESS);
}

TEST_F(StartTest, RestartWithoutAPortRangeKeepsTheOldLengthButServesNoBytes)
{
    StartMemoryWindow(16);
    hk::Pnp(fdo, IRP_MN_STOP_DEVICE);
    hk::ResourceList memoryOnly;
    memoryOnly.Memory(kMemoryBase, 0x100);
    EXPECT_EQ(Start(memoryOnly, memoryOnly).status, STATUS_SUCCESS);

    EXPECT_EQ(Extension()->WindowLength, 16u);
    EXPECT_FALSE(Extension()->NeedsMapping);
    EXPECT_EQ(ReadByte(0).status, STATUS_DEVICE_NOT_READY);
    EXPECT_TRUE(hk::Accesses().empty());
}

TEST_F(StartTest, MissingResourceListsGiveNoWindow)
{
    EXPECT_EQ(hk::Pnp(fdo, IRP_MN_START_DEVICE).status, STATUS_SUCCESS);
    EXPECT_FALSE(Extension()->WindowFound);
    EXPECT_EQ(ReadByte(0).status, STATUS_DEVICE_NOT_READY);

    hk::Pnp(fdo, IRP_MN_STOP_DEVICE);
    hk::ResourceList none = hk::ResourceList::NoFullDescriptor();
    EXPECT_EQ(Start(none, none).status, STATUS_SUCCESS);
    EXPECT_FALSE(Extension()->WindowFound);
}

TEST_F(StartTest, SecondStartWhileMappedChangesNothing)
{
    StartMemoryWindow(16);
    hk::ResourceList other;
    other.Port(0xC000, 8);
    EXPECT_EQ(Start(other, other).status, STATUS_SUCCESS);
    EXPECT_EQ(hk::MapCalls(), 1);
    EXPECT_EQ(Extension()->WindowLength, 16u);
}

TEST_F(StartTest, StartIsSentDownFirstWithACompletionRoutineOnTheNextLocation)
{
    StartPortWindow();
    auto calls = hk::LowerCalls(pdo);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].minor, IRP_MN_START_DEVICE);
    EXPECT_FALSE(calls[0].skipped);
    EXPECT_TRUE(calls[0].completionRoutine);
    EXPECT_EQ(calls[0].location.Parameters.StartDevice.AllocatedResourcesTranslated, translated.Get());
}

TEST_F(StartTest, LowerFailureIsReturnedUnchangedAndTheDeviceKeepsHolding)
{
    hk::ScriptLower(pdo, IRP_MJ_PNP, IRP_MN_START_DEVICE, {Mode::Complete, STATUS_INSUFFICIENT_RESOURCES, 0});
    hk::Result r = StartPortWindow();
    EXPECT_EQ(r.status, STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(r.returned, STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_FALSE(InterfaceEnabled());
    EXPECT_EQ(StateOf(Extension()), PnpStateNotStarted);
    EXPECT_EQ(hk::Create(fdo).status, STATUS_DEVICE_NOT_CONNECTED);
}

TEST_F(StartTest, LowerFailureCompletedLaterFromAnotherThreadIsReturnedAndKeepsHolding)
{
    hk::ScriptLower(pdo, IRP_MJ_PNP, IRP_MN_START_DEVICE, {Mode::Pending, STATUS_DEVICE_NOT_READY, 0});
    hk::Result r = StartMemoryWindow();
    EXPECT_EQ(r.status, STATUS_DEVICE_NOT_READY);
    EXPECT_EQ(r.returned, STATUS_DEVICE_NOT_READY);
    EXPECT_FALSE(r.pendingReturned);
    EXPECT_EQ(hk::MapCalls(), 0);
    EXPECT_EQ(hk::Create(fdo).status, STATUS_DEVICE_NOT_CONNECTED);
}

TEST_F(StartTest, LowerSuccessCompletedLaterStartsTheDevice)
{
    hk::ScriptLower(pdo, IRP_MJ_PNP, IRP_MN_START_DEVICE, {Mode::Pending, STATUS_SUCCESS, 0});
    EXPECT_EQ(StartMemoryWindow().status, STATUS_SUCCESS);
    EXPECT_EQ(hk::MapCalls(), 1);
    EXPECT_EQ(hk::Create(fdo).status, STATUS_SUCCESS);
}

TEST_F(StartTest, CancelledStartIsCompletedWithTheCancellation)
{
    hk::ScriptLower(pdo, IRP_MJ_PNP, IRP_MN_START_DEVICE, {Mode::Cancel, STATUS_SUCCESS, 0});
    EXPECT_EQ(StartPortWindow().status, STATUS_CANCELLED);
    EXPECT_EQ(hk::Create(fdo).status, STATUS_DEVICE_NOT_CONNECTED);
}

TEST_F(StartTest, WindowThatCannotBeMappedFailsWithNoMemoryButEnablesTheInterface)
{
    hk::FailNext(hk::Op::MapIoSpace);
    hk::Result r = StartMemoryWindow();
    EXPECT_EQ(r.status, STATUS_NO_MEMORY);
    EXPECT_EQ(static_cast<ULONG>(r.status), 0xC0000017u);
    EXPECT_TRUE(InterfaceEnabled());
    EXPECT_EQ(StateOf(Extension()), PnpStateNotStarted);
    EXPECT_EQ(hk::Create(fdo).status, STATUS_DEVICE_NOT_CONNECTED);

    // The next start parses and maps again.
    EXPECT_EQ(StartMemoryWindow().status, STATUS_SUCCESS);
    EXPECT_EQ(hk::Mappings().size(), 1u);
}

TEST_F(StartTest, RangesOutsideThePortSpaceOrEmptyGiveNoWindow)
{
    struct Case
    {
        const char* what;
        ULONGLONG start;
        ULONG length;
        USHORT flags;
    };
    const Case unusable[] = {
        {"port range running past 0xFFFF", 0xFFF0, 0x20, CM_RESOURCE_PORT_IO},
        {"port range starting past 0xFFFF", 0x10000, 1, CM_RESOURCE_PORT_IO},
        {"empty port range", kPortBase, 0, CM_RESOURCE_PORT_IO},
        {"empty range translated to memory", kMemoryBase, 0, CM_RESOURCE_PORT_MEMORY},
    };
    for (const Case& c : unusable)
    {
        SCOPED_TRACE(c.what);
        hk::ResourceList bus, cpu;
        bus.Port(c.start, c.length);
        cpu.Port(c.start, c.length, c.flags);
        EXPECT_EQ(Start(bus, cpu).status, STATUS_SUCCESS);
        EXPECT_EQ(ReadByte(0).status, STATUS_DEVICE_NOT_READY);
        EXPECT_EQ(ReadByte(0x10).status, STATUS_DEVICE_NOT_READY);
        EXPECT_EQ(WriteByte(0x10, 0x5A).status, STATUS_DEVICE_NOT_READY);
        hk::Pnp(fdo, IRP_MN_STOP_DEVICE);
    }
    EXPECT_EQ(hk::MapCalls(), 0);
    EXPECT_TRUE(hk::Accesses().empty());
}

TEST_F(StartTest, PortRangesAtEitherEndOfThePortSpaceAreServed)
{
    hk::ResourceList top;
    top.Port(0xFFF0, 0x10);
    ASSERT_EQ(Start(top, top).status, STATUS_SUCCESS);
    EXPECT_EQ(WriteByte(0xF, 0x11).status, STATUS_SUCCESS);
    hk::Pnp(fdo, IRP_MN_STOP_DEVICE);

    hk::ResourceList bottom;
    bottom.Port(0, 4);
    ASSERT_EQ(Start(bottom, bottom).status, STATUS_SUCCESS);
    EXPECT_EQ(WriteByte(3, 0x22).status, STATUS_SUCCESS);
    EXPECT_EQ(hk::Accesses(),
              (std::vector<hk::Access>{{Kind::PortWrite, 0xFFFF, 0x11}, {Kind::PortWrite, 3, 0x22}}));
}

class StateTest : public DelvanTest
{
};

TEST_F(StateTest, AgreedStopAndRemovalRequestsGoDownMarkedSuccessful)
{
    // The bus driver completes what it does not handle with the status the
    // request carries: without success set here, it would veto each of these.
    StartPortWindow();
    for (UCHAR minor :
         {IRP_MN_QUERY_STOP_DEVICE, IRP_MN_CANCEL_STOP_DEVICE, IRP_MN_QUERY_STOP_DEVICE, IRP_MN_STOP_DEVICE})
        hk::Pnp(fdo, minor);
    StartPortWindow();
    for (UCHAR minor : {IRP_MN_QUERY_REMOVE_DEVICE, IRP_MN_CANCEL_REMOVE_DEVICE, IRP_MN_SURPRISE_REMOVAL,
                        IRP_MN_REMOVE_DEVICE})
        hk::Pnp(fdo, minor);

    size_t checked = 0;
    for (const hk::LowerCall& call : hk::LowerCalls(pdo))
    {
        if (call.minor == IRP_MN_START_DEVICE)
            continue;
        SCOPED_TRACE(static_cast<int>(call.minor));
        EXPECT_EQ(call.statusOnArrival, STATUS_SUCCESS);
        EXPECT_TRUE(call.skipped);
        checked++;
    }
    EXPECT_EQ(checked, 8u);
}

TEST_F(StateTest, StopThenStartUnmapsOnceAndMapsAgain)
{
    StartMemoryWindow(16);
    hk::Result stop = hk::Pnp(fdo, IRP_MN_STOP_DEVICE);
    EXPECT_EQ(stop.status, STATUS_SUCCESS);
    EXPECT_EQ(hk::UnmapCalls(), 1);
    EXPECT_TRUE(hk::Mappings().empty());
    EXPECT_EQ(ReadByte(0).status, STATUS_DEVICE_NOT_CONNECTED);

    EXPECT_EQ(StartMemoryWindow(16).status, STATUS_SUCCESS);
    EXPECT_EQ(hk::MapCalls(), 2);
    EXPECT_EQ(hk::UnmapCalls(), 1);
    EXPECT_EQ(ReadByte(0).status, STATUS_SUCCESS);
    EXPECT_TRUE(hk::TakeFaults().empty());
}

TEST_F(StateTest, SurpriseRemovalThenRemovalUnmapsOnceAndDeletesTheDevice)
{
    StartMemoryWindow(16);
    EXPECT_EQ(hk::Pnp(fdo, IRP_MN_SURPRISE_REMOVAL).status, STATUS_SUCCESS);
    EXPECT_EQ(hk::UnmapCalls(), 1);
    EXPECT_EQ(ReadByte(0).status, STATUS_DEVICE_NOT_CONNECTED);
    // No caller finds the board once it is gone.
    EXPECT_FALSE(InterfaceEnabled());

    hk::ScriptLower(pdo, IRP_MJ_PNP, IRP_MN_REMOVE_DEVICE, {Mode::Complete, STATUS_SUCCESS, 0});
    hk::Result remove = hk::Pnp(fdo, IRP_MN_REMOVE_DEVICE);
    EXPECT_EQ(remove.status, STATUS_SUCCESS);
    EXPECT_EQ(hk::UnmapCalls(), 1);
    EXPECT_FALSE(hk::DeviceExists(fdo));
    EXPECT_EQ(pdo->AttachedDevice, nullptr);
    EXPECT_FALSE(InterfaceEnabled());
    EXPECT_EQ(hk::Interfaces().at(0).stateChanges, 2);
    EXPECT_EQ(hk::OutstandingPoolAllocations(), 0u);
    EXPECT_EQ(LowerPnpCalls(IRP_MN_SURPRISE_REMOVAL), 1u);
    EXPECT_EQ(LowerPnpCalls(IRP_MN_REMOVE_DEVICE), 1u);
}

TEST_F(StateTest, RemovalReturnsTheLowerDriversStatus)
{
    StartPortWindow();
    hk::ScriptLower(pdo, IRP_MJ_PNP, IRP_MN_REMOVE_DEVICE, {Mode::Complete, STATUS_DEVICE_BUSY, 0});
    hk::Result remove = hk::Pnp(fdo, IRP_MN_REMOVE_DEVICE);
    EXPECT_EQ(remove.returned, STATUS_DEVICE_BUSY);
    EXPECT_FALSE(hk::DeviceExists(fdo));
    EXPECT_FALSE(InterfaceEnabled());
}

TEST_F(StateTest, QueryRemoveWithOpenHandleFailsAndIsNotPassedDown)
{
    StartPortWindow();
    ASSERT_EQ(hk::Create(fdo).status, STATUS_SUCCESS);

    hk::Result refused = hk::Pnp(fdo, IRP_MN_QUERY_REMOVE_DEVICE);
    EXPECT_EQ(refused.status, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(refused.returned, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(refused.information, 0u);
    EXPECT_EQ(LowerPnpCalls(IRP_MN_QUERY_REMOVE_DEVICE), 0u);
    EXPECT_EQ(ReadByte(0).status, STATUS_SUCCESS);

    ASSERT_EQ(hk::Close(fdo).status, STATUS_SUCCESS);
    hk::Result accepted = hk::Pnp(fdo, IRP_MN_QUERY_REMOVE_DEVICE);
    EXPECT_EQ(accepted.status, STATUS_SUCCESS);
    EXPECT_EQ(LowerPnpCalls(IRP_MN_QUERY_REMOVE_DEVICE), 1u);
    EXPECT_TRUE(hk::LowerCalls(pdo).back().skipped);
    EXPECT_EQ(hk::Create(fdo).status, STATUS_DEVICE_NOT_CONNECTED);
}

TEST_F(StateTest, CancelRemoveServesAgainWithTheWindowStillMapped)
{
    StartMemoryWindow();
    hk::Pnp(fdo, IRP_MN_QUERY_REMOVE_DEVICE);
    EXPECT_EQ(ReadByte(0).status, STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(hk::Pnp(fdo, IRP_MN_CANCEL_REMOVE_DEVICE).status, STATUS_SUCCESS);
    EXPECT_EQ(ReadByte(0).status, STATUS_SUCCESS);
    EXPECT_EQ(hk::MapCalls(), 1);
    EXPECT_EQ(hk::UnmapCalls(), 0);
}

TEST_F(StateTest, QueryStopRefusesNewOpensButStillClosesAndCancelStopResumes)
{
    StartPortWindow();
    ASSERT_EQ(hk::Create(fdo).status, STATUS_SUCCESS);
    EXPECT_EQ(hk::Pnp(fdo, IRP_MN_QUERY_STOP_DEVICE).status, STATUS_SUCCESS);
    EXPECT_EQ(StateOf(Extension()), PnpStateStopOrRemovePending);

    hk::Result open = hk::Create(fdo);
    EXPECT_EQ(open.status, STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(open.information, 0u);
    EXPECT_EQ(hk::Close(fdo).status, STATUS_SUCCESS);
    EXPECT_EQ(ReadByte(0).status, STATUS_DEVICE_NOT_CONNECTED);

    EXPECT_EQ(hk::Pnp(fdo, IRP_MN_CANCEL_STOP_DEVICE).status, STATUS_SUCCESS);
    EXPECT_EQ(StateOf(Extension()), PnpStateStarted);
    EXPECT_EQ(hk::Create(fdo).status, STATUS_SUCCESS);
}

TEST_F(StateTest, CancelStopWithoutAWindowStillServesNoBytes)
{
    // A start that failed to map, then a stop query and its cancellation: the
    // hold is lifted, but there is no window to reach.
    hk::FailNext(hk::Op::MapIoSpace);
    StartMemoryWindow();
    hk::Pnp(fdo, IRP_MN_QUERY_STOP_DEVICE);
    hk::Pnp(fdo, IRP_MN_CANCEL_STOP_DEVICE);
    EXPECT_EQ(ReadByte(0).status, STATUS_DEVICE_NOT_READY);
    EXPECT_TRUE(hk::Accesses().empty());
}

TEST_F(StateTest, OtherMinorCodesArePassedDownUntouched)
{
    hk::Result r = hk::Pnp(fdo, IRP_MN_QUERY_CAPABILITIES);
    EXPECT_EQ(r.status, STATUS_NOT_SUPPORTED);
    auto calls = hk::LowerCalls(pdo);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].skipped);
    EXPECT_FALSE(calls[0].completionRoutine);
    EXPECT_EQ(calls[0].minor, IRP_MN_QUERY_CAPABILITIES);
}

TEST_F(StateTest, RemovalWaitsForADeviceControlRequestInProgress)
{
    StartMemoryWindow(16);
    hk::SetPhysical(kMemoryBase + 3, 0x77);
    hk::HoldAccesses();
    hk::Result read, remove;
    hk::Thread request([&] { read = ReadByte(3); });
    EXPECT_TRUE(hk::WaitForHeldAccesses(1));
    hk::Thread removal([&] { remove = hk::Pnp(fdo, IRP_MN_REMOVE_DEVICE); });

    // The removal is blocked until the request is done, and refuses newcomers.
    EXPECT_TRUE(hk::WaitForBlockedThreads(1));
    EXPECT_EQ(hk::UnmapCalls(), 0);
    EXPECT_EQ(LowerPnpCalls(IRP_MN_REMOVE_DEVICE), 0u);
    EXPECT_EQ(ReadByte(0).status, STATUS_DEVICE_NOT_CONNECTED);

    hk::ReleaseAccesses();
    request.Join();
    removal.Join();
    EXPECT_EQ(read.status, STATUS_SUCCESS);
    EXPECT_EQ(FirstUlong(read), 0x77u);
    EXPECT_EQ(remove.status, STATUS_SUCCESS);
    EXPECT_EQ(hk::UnmapCalls(), 1);
    EXPECT_FALSE(hk::DeviceExists(fdo));
}

TEST_F(StateTest, OpenRacingASuccessfulQueryRemoveIsRefused)
{
    // The open has found the device serving and is about to count itself in
    // when the query-remove looks at the open count.
    StartPortWindow();
    hk::HoldInterlocked(&Extension()->OpenCount);
    hk::Result open;
    hk::Thread opener([&] { open = hk::Create(fdo); });
    ASSERT_TRUE(hk::WaitForHeldAccesses(1));

    hk::Result query = hk::Pnp(fdo, IRP_MN_QUERY_REMOVE_DEVICE);
    hk::ReleaseAccesses();
    opener.Join();

    EXPECT_EQ(query.status, STATUS_SUCCESS);
    EXPECT_EQ(open.status, STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(Extension()->OpenCount, 0);
}

}  // namespace
