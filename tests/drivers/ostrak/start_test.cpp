// The start request: waiting for the drivers below, then checking every
// assigned resource before the device serves.
#include "ostrak_test.h"

#include <vector>

namespace
{

std::vector<hk::Access> PortReadAt(ULONG port) { return {{hk::Access::Kind::PortRead, port, 0xFF}}; }

}  // namespace

using StartTest = OstrakTest;

TEST_F(StartTest, PortAndInterruptStartTakesTheTranslatedPortStart)
{
    const hk::Result result = StartAtPort();

    EXPECT_EQ(result.status, STATUS_SUCCESS);
    EXPECT_EQ(result.returned, STATUS_SUCCESS);
    ASSERT_TRUE(Serves());
    EXPECT_EQ(hk::Accesses(), PortReadAt(kPort));
}

TEST_F(StartTest, PortOutsideThePortSpaceOrOfNoLengthFailsTheStart)
{
    struct Case
    {
        const char* what;
        ULONGLONG start;
        USHORT flags;
        ULONG length;
    };
    const Case unusable[] = {
        {"port translated into memory space", kPort, CM_RESOURCE_PORT_MEMORY, 8},
        {"port just past 0xFFFF", 0x10000, CM_RESOURCE_PORT_IO, 8},
        {"port above four gigabytes", 0x100000000ull + kPort, CM_RESOURCE_PORT_IO, 8},
        {"port range of length 0", kPort, CM_RESOURCE_PORT_IO, 0},
    };
    for (const Case& c : unusable)
    {
        SCOPED_TRACE(c.what);
        StartResources resources;
        resources.raw.Port(kRawPort, c.length);
        resources.translated.Port(c.start, c.length, c.flags);
        EXPECT_EQ(Start(resources).status, STATUS_UNSUCCESSFUL);
        EXPECT_FALSE(Serves());
    }
    EXPECT_TRUE(hk::Accesses().empty());

    ASSERT_EQ(StartAtPort(0xFFFF).status, STATUS_SUCCESS);
    ASSERT_TRUE(Serves());
    EXPECT_EQ(hk::Accesses(), PortReadAt(0xFFFF));
}

TEST_F(StartTest, LastOfSeveralPortsSetsTheAddressAndDevicePrivateIsSkipped)
{
    StartResources resources;
    resources.raw.Port(kRawPort, 8).DevicePrivate(1, 2, 3).Port(kRawPort + 0x10, 8);
    resources.translated.Port(kPort, 8).DevicePrivate(1, 2, 3).Port(kPort + 0x10, 8);

    ASSERT_EQ(Start(resources).status, STATUS_SUCCESS);

    ASSERT_TRUE(Serves());
    EXPECT_EQ(hk::Accesses(), PortReadAt(kPort + 0x10));
}

TEST_F(StartTest, MemoryDescriptorFailsTheStartAndLeavesTheDeviceNotStarted)
{
    StartResources resources;
    resources.raw.Port(kRawPort, 8).Interrupt(5, 5).Memory(0xFE000000, 0x100);
    resources.translated.Port(kPort, 8).Interrupt(5, 0x51).Memory(0xFE000000, 0x100);

    const hk::Result result = Start(resources);

    EXPECT_EQ(result.status, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(hk::Read(device_, 1).status, STATUS_DEVICE_NOT_READY);
    EXPECT_TRUE(hk::Accesses().empty());
}

TEST_F(StartTest, PortTranslatedToMemoryFailsTheStart)
{
    StartResources resources;
    resources.raw.Port(kRawPort, 8);
    resources.translated.Memory(0xFE000300, 8);

    EXPECT_EQ(Start(resources).status, STATUS_UNSUCCESSFUL);
    EXPECT_FALSE(Serves());
}

TEST_F(StartTest, PortWithoutTranslatedTwinFailsTheStart)
{
    StartResources resources;
    resources.raw.Interrupt(5, 5).Port(kRawPort, 8);
    resources.translated.Interrupt(5, 0x51);

    EXPECT_EQ(Start(resources).status, STATUS_UNSUCCESSFUL);
    EXPECT_FALSE(Serves());
}

TEST_F(StartTest, StartWithoutBothResourceListsFailsInsufficientResources)
{
    StartResources resources = PortAndInterrupt();

    const hk::Result neither = hk::Pnp(device_, IRP_MN_START_DEVICE);
    const hk::Result rawOnly = hk::Pnp(device_, IRP_MN_START_DEVICE, resources.raw.Get(), nullptr);
    const hk::Result translatedOnly =
        hk::Pnp(device_, IRP_MN_START_DEVICE, nullptr, resources.translated.Get());

    EXPECT_EQ(neither.status, STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(rawOnly.status, STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(translatedOnly.status, STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_FALSE(Serves());
}

TEST_F(StartTest, StartWithNoDescriptorAtAllSucceedsWithoutAPort)
{
    StartResources resources{hk::ResourceList::NoFullDescriptor(), hk::ResourceList::NoFullDescriptor()};

    EXPECT_EQ(Start(resources).status, STATUS_SUCCESS);

    EXPECT_EQ(hk::Create(device_).status, STATUS_SUCCESS);
    EXPECT_EQ(hk::Read(device_, 1).status, STATUS_DEVICE_NOT_READY);
}

TEST_F(StartTest, StartIsForwardedWithACompletionRoutineBeforeResourcesAreChecked)
{
    ASSERT_EQ(StartAtPort().status, STATUS_SUCCESS);

    const std::vector<hk::LowerCall> calls = hk::LowerCalls(pdo_);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].minor, IRP_MN_START_DEVICE);
    EXPECT_FALSE(calls[0].skipped);
    EXPECT_TRUE(calls[0].completionRoutine);
}

TEST_F(StartTest, LowerDriverFailureIsReturnedAndLeavesTheDeviceNotStarted)
{
    hk::ScriptLower(pdo_, IRP_MJ_PNP, IRP_MN_START_DEVICE,
                    {hk::LowerReply::Mode::Complete, STATUS_DEVICE_NOT_CONNECTED});

    EXPECT_EQ(StartAtPort().status, STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_FALSE(Serves());
}

TEST_F(StartTest, PendingLowerStartIsWaitedForThenChecked)
{
    hk::ScriptLower(pdo_, IRP_MJ_PNP, IRP_MN_START_DEVICE, {hk::LowerReply::Mode::Pending, STATUS_SUCCESS});

    const hk::Result result = StartAtPort();

    EXPECT_EQ(result.status, STATUS_SUCCESS);
    EXPECT_EQ(result.returned, STATUS_PENDING);
    EXPECT_TRUE(result.pendingReturned);
    EXPECT_TRUE(Serves());
}

TEST_F(StartTest, PendingLowerFailureIsReturnedAndLeavesTheDeviceNotStarted)
{
    hk::ScriptLower(pdo_, IRP_MJ_PNP, IRP_MN_START_DEVICE,
                    {hk::LowerReply::Mode::Pending, STATUS_DEVICE_NOT_CONNECTED});

    EXPECT_EQ(StartAtPort().status, STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_FALSE(Serves());
}

TEST_F(StartTest, CancelledLowerStartIsReturnedAsCancelled)
{
    hk::ScriptLower(pdo_, IRP_MJ_PNP, IRP_MN_START_DEVICE, {hk::LowerReply::Mode::Cancel});

    EXPECT_EQ(StartAtPort().status, STATUS_CANCELLED);
    EXPECT_FALSE(Serves());
}

TEST_F(StartTest, RejectedRestartAfterStopKeepsServingTheOldPort)
{
    ASSERT_EQ(StartAtPort().status, STATUS_SUCCESS);
    ASSERT_EQ(hk::Pnp(device_, IRP_MN_STOP_DEVICE).status, STATUS_SUCCESS);
    StartResources resources;
    resources.raw.Port(kRawPort + 0x10, 8).Memory(0xFE000000, 0x100);
    resources.translated.Port(kPort + 0x10, 8).Memory(0xFE000000, 0x100);

    EXPECT_EQ(Start(resources).status, STATUS_UNSUCCESSFUL);

    ASSERT_TRUE(Serves());
    EXPECT_EQ(hk::Accesses(), PortReadAt(kPort));
}

TEST_F(StartTest, RestartAfterStopMovesToTheNewPort)
{
    ASSERT_EQ(StartAtPort().status, STATUS_SUCCESS);
    ASSERT_EQ(hk::Pnp(device_, IRP_MN_STOP_DEVICE).status, STATUS_SUCCESS);

    EXPECT_EQ(StartAtPort(kPort + 0x20).status, STATUS_SUCCESS);

    ASSERT_TRUE(Serves());
    EXPECT_EQ(hk::Accesses(), PortReadAt(kPort + 0x20));
}

namespace
{

// A driver between ostrak and the bus that completes the start with a failure
// yet returns success from its dispatch routine.
struct FilterExtension
{
    PDEVICE_OBJECT lower;
};

NTSTATUS NTAPI FilterDispatch(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    if (location->MajorFunction == IRP_MJ_PNP && location->MinorFunction == IRP_MN_START_DEVICE)
    {
        irp->IoStatus.Status = STATUS_DEVICE_NOT_CONNECTED;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_SUCCESS;
    }
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(static_cast<FilterExtension*>(device->DeviceExtension)->lower, irp);
}

NTSTATUS NTAPI FilterEntry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    for (PDRIVER_DISPATCH& dispatch : driver->MajorFunction)
    {
        dispatch = FilterDispatch;
    }
    return STATUS_SUCCESS;
}

}  // namespace

class StartBelowFilterTest : public hk::KernelTest
{
protected:
    void SetUp() override
    {
        hk::KernelTest::SetUp();
        pdo_ = hk::CreatePdo();
        filterDriver_ = hk::LoadDriver(FilterEntry, L"filter");
        ASSERT_EQ(IoCreateDevice(filterDriver_, sizeof(FilterExtension), nullptr, FILE_DEVICE_UNKNOWN, 0,
                                 FALSE, &filter_),
                  STATUS_SUCCESS);
        static_cast<FilterExtension*>(filter_->DeviceExtension)->lower =
            IoAttachDeviceToDeviceStack(filter_, pdo_);
        filter_->Flags &= ~DO_DEVICE_INITIALIZING;
        ostrakDriver_ = hk::LoadDriver(DriverEntry, L"ostrak");
        ASSERT_EQ(hk::AddDevice(ostrakDriver_, pdo_), STATUS_SUCCESS);
        device_ = hk::TopOfStack(pdo_);
    }

    void TearDown() override
    {
        if (device_ != nullptr)
        {
            hk::Pnp(device_, IRP_MN_REMOVE_DEVICE);
        }
        if (filter_ != nullptr)
        {
            IoDetachDevice(pdo_);
            IoDeleteDevice(filter_);
        }
        hk::UnloadDriver(ostrakDriver_);
        hk::UnloadDriver(filterDriver_);
        hk::KernelTest::TearDown();
    }

    PDEVICE_OBJECT pdo_ = nullptr;
    PDRIVER_OBJECT filterDriver_ = nullptr;
    PDEVICE_OBJECT filter_ = nullptr;
    PDRIVER_OBJECT ostrakDriver_ = nullptr;
    PDEVICE_OBJECT device_ = nullptr;
};

TEST_F(StartBelowFilterTest, LowerDriverThatFailsTheRequestButReturnsSuccessFailsTheStart)
{
    hk::ResourceList raw;
    hk::ResourceList translated;
    raw.Port(0x300, 8);
    translated.Port(0x300, 8);

    const hk::Result result = hk::Pnp(device_, IRP_MN_START_DEVICE, raw.Get(), translated.Get());

    EXPECT_EQ(result.status, STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(hk::Read(device_, 1).status, STATUS_DEVICE_NOT_READY);
}
