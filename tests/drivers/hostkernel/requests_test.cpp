#include <thread>

#include "probe_fixture.h"

using hk::LowerReply;
using Mode = hk::LowerReply::Mode;

class Requests : public ProbeTest
{
};

TEST_F(Requests, SkippedRequestReachesTheLowerDriverOnTheSameStackLocation)
{
    probe().action = probe::Action::Skip;
    hk::Result r = hk::Pnp(fdo, IRP_MN_QUERY_CAPABILITIES);

    auto calls = hk::LowerCalls(pdo);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].skipped);
    EXPECT_FALSE(calls[0].completionRoutine);
    EXPECT_EQ(calls[0].statusOnArrival, STATUS_NOT_SUPPORTED);
    // An unknown PnP request keeps the status it arrived with.
    EXPECT_EQ(r.returned, STATUS_NOT_SUPPORTED);
    EXPECT_EQ(r.status, STATUS_NOT_SUPPORTED);
    EXPECT_TRUE(r.completed);
}

TEST_F(Requests, CopiedRequestReachesTheNextLocationWithTheSameParameters)
{
    probe().action = probe::Action::CopyNoRoutine;
    hk::ResourceList raw, translated;
    raw.Port(0x300, 8);
    translated.Port(0x300, 8);
    hk::Pnp(fdo, IRP_MN_START_DEVICE, raw.Get(), translated.Get());

    auto calls = hk::LowerCalls(pdo);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].skipped);
    EXPECT_EQ(calls[0].minor, IRP_MN_START_DEVICE);
    EXPECT_EQ(calls[0].location.Parameters.StartDevice.AllocatedResources, raw.Get());
    EXPECT_EQ(calls[0].location.Parameters.StartDevice.AllocatedResourcesTranslated, translated.Get());
}

struct RoutineCase
{
    const char* name;
    LowerReply reply;
    NTSTATUS expected;
};

class CompletionRoutine : public ProbeTest, public ::testing::WithParamInterface<RoutineCase>
{
};

TEST_P(CompletionRoutine, RunsForTheLowerOutcomeAndHandsTheRequestBack)
{
    probe().action = probe::Action::ForwardAndWait;
    hk::ScriptLower(pdo, IRP_MJ_PNP, IRP_MN_START_DEVICE, GetParam().reply);
    hk::Result r = hk::Pnp(fdo, IRP_MN_START_DEVICE);

    EXPECT_EQ(probe().completionRoutineCalls, 1);
    EXPECT_EQ(probe().statusSeenByRoutine, GetParam().expected);
    EXPECT_EQ(probe().deviceSeenByRoutine, fdo);
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.status, GetParam().expected);
    EXPECT_EQ(r.returned, GetParam().expected);
    EXPECT_FALSE(r.pendingReturned);
}

INSTANTIATE_TEST_SUITE_P(
    SuccessErrorCancelAndLater, CompletionRoutine,
    ::testing::Values(
        RoutineCase{"Success", {Mode::Complete, STATUS_SUCCESS, 0}, STATUS_SUCCESS},
        RoutineCase{
            "Error", {Mode::Complete, STATUS_INSUFFICIENT_RESOURCES, 0}, STATUS_INSUFFICIENT_RESOURCES},
        RoutineCase{"Cancel", {Mode::Cancel, STATUS_SUCCESS, 0}, STATUS_CANCELLED},
        RoutineCase{"LaterSuccess", {Mode::Pending, STATUS_SUCCESS, 0}, STATUS_SUCCESS},
        RoutineCase{"LaterError", {Mode::Pending, STATUS_DEVICE_NOT_READY, 0}, STATUS_DEVICE_NOT_READY}),
    [](const ::testing::TestParamInfo<RoutineCase>& info) { return std::string(info.param.name); });

TEST_F(Requests, LaterCompletionComesFromAnotherThreadWhileTheDriverWaits)
{
    probe().action = probe::Action::ForwardAndWait;
    hk::ScriptLower(pdo, IRP_MJ_PNP, IRP_MN_START_DEVICE, {Mode::Pending, STATUS_UNSUCCESSFUL, 0});
    hk::Pnp(fdo, IRP_MN_START_DEVICE);

    EXPECT_EQ(probe().lowerReturned, STATUS_PENDING);
    EXPECT_TRUE(probe().pendingSeenByRoutine);
}

TEST_F(Requests, PendingPropagatesToTheTopWhenNoRoutineStopsIt)
{
    probe().action = probe::Action::Skip;
    hk::ScriptLower(pdo, IRP_MJ_READ, hk::AnyMinor, {Mode::Pending, STATUS_SUCCESS, 0});
    hk::Result r = hk::Read(fdo, 4);

    EXPECT_EQ(r.returned, STATUS_PENDING);
    EXPECT_TRUE(r.pendingReturned);
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.status, STATUS_SUCCESS);
}

TEST_F(Requests, LocationWithoutRoutineInheritsThePendingMarkFromBelow)
{
    probe().action = probe::Action::CopyNoRoutine;
    hk::ScriptLower(pdo, IRP_MJ_READ, hk::AnyMinor, {Mode::Pending, STATUS_SUCCESS, 0});
    hk::Result r = hk::Read(fdo, 4);

    EXPECT_EQ(r.returned, STATUS_PENDING);
    EXPECT_TRUE(r.pendingReturned);
}

TEST_F(Requests, MarkedRequestReturningPendingIsCompletedLater)
{
    probe().action = probe::Action::MarkAndPassDown;
    hk::ScriptLower(pdo, IRP_MJ_WRITE, hk::AnyMinor, {Mode::Complete, STATUS_DEVICE_BUSY, 0});
    hk::Result r = hk::Write(fdo, {1, 2, 3});

    EXPECT_EQ(r.returned, STATUS_PENDING);
    EXPECT_TRUE(r.pendingReturned);
    EXPECT_EQ(r.status, STATUS_DEVICE_BUSY);
}

TEST_F(Requests, UnregisteredMajorIsAnsweredByTheKernelDefault)
{
    PDRIVER_OBJECT plain =
        hk::LoadDriver([](PDRIVER_OBJECT, PUNICODE_STRING) -> NTSTATUS { return STATUS_SUCCESS; });
    PDEVICE_OBJECT device;
    ASSERT_EQ(IoCreateDevice(plain, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device), STATUS_SUCCESS);
    hk::Result r = hk::Cleanup(device);
    EXPECT_EQ(r.status, STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(r.returned, STATUS_INVALID_DEVICE_REQUEST);
    IoDeleteDevice(device);
}

TEST_F(Requests, BufferedControlRequestCopiesBackAsMuchAsTheInformationSays)
{
    probe().action = probe::Action::FillOutput;
    probe().fill = 0x5A;
    probe().information = 2;
    hk::Result r = hk::DeviceControl(
        fdo, CTL_CODE(FILE_DEVICE_UNKNOWN, 0x900, METHOD_BUFFERED, FILE_ANY_ACCESS), {1, 2, 3, 4, 5, 6}, 4);
    EXPECT_EQ(probe().systemBufferBytes, 6u);
    EXPECT_EQ(r.output, (std::vector<UCHAR>{0x5A, 0x5A, 0xCC, 0xCC}));
}

TEST_F(Requests, InformationBeyondTheOutputBufferIsAFault)
{
    probe().action = probe::Action::FillOutput;
    probe().information = 5;
    hk::DeviceControl(fdo, CTL_CODE(FILE_DEVICE_UNKNOWN, 0x900, METHOD_BUFFERED, FILE_ANY_ACCESS), {}, 4);
    EXPECT_TRUE(AnyFaultContains(hk::TakeFaults(), "beyond an output buffer"));
}

TEST_F(Requests, ReturningPendingWithoutMarkingIsAFault)
{
    probe().action = probe::Action::PendingUnmarked;
    hk::Create(fdo);
    EXPECT_TRUE(AnyFaultContains(hk::TakeFaults(), "without marking"));
}

TEST_F(Requests, CompletingTwiceIsAFault)
{
    probe().action = probe::Action::CompleteTwice;
    hk::Close(fdo);
    EXPECT_TRUE(AnyFaultContains(hk::TakeFaults(), "completed twice"));
}

TEST_F(Requests, RequestsFromSeveralThreadsEachCompleteOnce)
{
    probe().action = probe::Action::Skip;
    hk::ScriptLower(pdo, IRP_MJ_READ, hk::AnyMinor, {Mode::Pending, STATUS_SUCCESS, 0});
    std::vector<std::thread> threads;
    std::vector<hk::Result> results(4);
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] { results[i] = hk::Read(fdo, 1); });
    for (auto& t : threads)
        t.join();
    for (const auto& r : results)
    {
        EXPECT_TRUE(r.completed);
        EXPECT_EQ(r.returned, STATUS_PENDING);
    }
    EXPECT_EQ(hk::LowerCalls(pdo).size(), 4u);
}
