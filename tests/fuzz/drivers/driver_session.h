// One fuzz input is one life of one board under a driver: the start's
// resource lists, then Plug and Play, power and user requests in the order
// the input gives, with the lower driver's answers changing on the way, and
// at the end removal and unloading. The sequence keeps to what the PnP
// manager and the I/O manager may send (a stop only after an agreed
// query-stop, closes only for open handles, nothing after removal), so what
// goes wrong is the driver's doing. Every fault the kernel substitute
// records, and every broken rule checked here, aborts with its text.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <hostkernel/hk.h>

namespace fuzz
{

struct DriverUnderTest
{
    PDRIVER_INITIALIZE entry;
    const wchar_t* service;
    std::vector<ULONG> controlCodes;  // the codes the driver knows; others are fuzzed
};

[[noreturn]] inline void Finding(const std::string& what)
{
    std::fprintf(stderr, "finding: %s\n", what.c_str());
    std::abort();
}

inline void CheckNoFaults(const char* after)
{
    std::vector<std::string> faults = hk::TakeFaults();
    if (!faults.empty())
        Finding(std::string("kernel fault after ") + after + ": " + faults.front());
}

class DriverSession
{
public:
    DriverSession(const DriverUnderTest& driver, FuzzedDataProvider& in) : d_(driver), in_(in) {}

    void Run()
    {
        hk::Reset();
        driverObject_ = hk::LoadDriver(d_.entry, d_.service);
        pdo_ = hk::CreatePdo();
        const size_t devicesBefore = hk::DeviceCount();
        ScriptLowerDriver();
        if (!NT_SUCCESS(hk::AddDevice(driverObject_, pdo_)))
        {
            CheckNoFaults("a failed add-device");
            Finish(devicesBefore);
            return;
        }
        fdo_ = hk::TopOfStack(pdo_);
        CheckNoFaults("add-device");
        for (int step = 0; step < kMaxSteps && in_.remaining_bytes() > 0 && !removed_; ++step)
        {
            Step();
            CheckNoFaults(lastRequest_);
            CheckAccesses();
        }
        RemoveAtEnd();
        CheckNoFaults("the removal at the end");
        Finish(devicesBefore);
    }

private:
    static constexpr int kMaxSteps = 48;

    enum class Pnp
    {
        Added,
        Started,
        StopPending,
        Stopped,
        RemovePending,
        SurpriseRemoved,
    };

    void Step()
    {
        switch (in_.ConsumeIntegralInRange<int>(0, 14))
        {
            case 0:
                Start();
                break;
            case 1:
                QueryStop();
                break;
            case 2:
                QueryRemove();
                break;
            case 3:
                SurpriseRemoval();
                break;
            case 4:
                OtherPnp();
                break;
            case 5:
                PowerRequest();
                break;
            case 6:
                Send("system control", hk::SystemControl(fdo_, in_.ConsumeIntegral<UCHAR>()));
                break;
            case 7:
            case 8:
                Create();
                break;
            case 9:
                CloseOne();
                break;
            case 10:
                Read();
                break;
            case 11:
                Write();
                break;
            case 12:
            case 13:
                DeviceControl();
                break;
            case 14:
                ScriptLowerDriver();
                break;
        }
    }

    // ---- Resources ---------------------------------------------------------
    CM_PARTIAL_RESOURCE_DESCRIPTOR FuzzedDescriptor()
    {
        static constexpr UCHAR kTypes[] = {
            CmResourceTypeNull,      CmResourceTypePort,        CmResourceTypeInterrupt,
            CmResourceTypeMemory,    CmResourceTypeDma,         CmResourceTypeDeviceSpecific,
            CmResourceTypeBusNumber, CmResourceTypeMemoryLarge, CmResourceTypeDevicePrivate};
        CM_PARTIAL_RESOURCE_DESCRIPTOR d;
        std::memset(&d, 0, sizeof d);
        // Mostly what a board is given (a port range, an interrupt), then
        // every other type and any byte at all.
        switch (in_.ConsumeIntegralInRange<int>(0, 7))
        {
            case 0:
            case 1:
            case 2:
                d.Type = CmResourceTypePort;
                break;
            case 3:
                d.Type = CmResourceTypeInterrupt;
                break;
            case 4:
            case 5:
                d.Type = in_.PickValueInArray(kTypes);
                break;
            default:
                d.Type = in_.ConsumeIntegral<UCHAR>();
                break;
        }
        d.ShareDisposition = in_.ConsumeIntegralInRange<UCHAR>(0, 3);
        d.Flags =
            in_.ConsumeBool() ? in_.ConsumeIntegralInRange<USHORT>(0, 1) : in_.ConsumeIntegral<USHORT>();
        // Start and length in the forms that matter most: near the ends of
        // the port space, zero, and anything at all.
        LONGLONG start;
        switch (in_.ConsumeIntegralInRange<int>(0, 3))
        {
            case 0:
                start = in_.ConsumeIntegralInRange<LONGLONG>(0, 0xFFFF);
                break;
            case 1:
                start = 0x10000 - in_.ConsumeIntegralInRange<LONGLONG>(0, 0x40);
                break;
            case 2:
                start = 0xFEB00000 + in_.ConsumeIntegralInRange<LONGLONG>(0, 0xFFFF);
                break;
            default:
                start = in_.ConsumeIntegral<LONGLONG>();
                break;
        }
        ULONG length =
            in_.ConsumeBool() ? in_.ConsumeIntegralInRange<ULONG>(0, 0x40) : in_.ConsumeIntegral<ULONG>();
        d.u.Port.Start.QuadPart = start;
        d.u.Port.Length = length;
        return d;
    }

    void FuzzedList(hk::ResourceList& list, int count)
    {
        for (int i = 0; i < count; ++i)
            list.Descriptor(Mappable(FuzzedDescriptor()));
    }

    // The substitute backs a mapping with as much host memory as it spans, so
    // a range the driver may map (memory, or a port translated into memory)
    // is kept to 1 MiB; ranges in I/O space keep every length.
    static CM_PARTIAL_RESOURCE_DESCRIPTOR Mappable(CM_PARTIAL_RESOURCE_DESCRIPTOR d)
    {
        const bool mapped = d.Type == CmResourceTypeMemory || d.Type == CmResourceTypeMemoryLarge ||
                            (d.Type == CmResourceTypePort && !(d.Flags & CM_RESOURCE_PORT_IO));
        if (mapped && d.u.Memory.Length > 0x100000)
            d.u.Memory.Length = 0x100000;
        return d;
    }

    // ---- Plug and Play ---------------------------------------------------------
    void Start()
    {
        if (pnp_ != Pnp::Added && pnp_ != Pnp::Stopped)
            return;
        // Mostly twin lists as a bus assigns them, sometimes two unrelated
        // ones, a list with no full descriptor, or none at all.
        hk::ResourceList raw, translated;
        const int shape = in_.ConsumeIntegralInRange<int>(0, 5);
        const int count = in_.ConsumeIntegralInRange<int>(0, 4);
        if (shape <= 2)
        {
            for (int i = 0; i < count; ++i)
            {
                CM_PARTIAL_RESOURCE_DESCRIPTOR d = FuzzedDescriptor();
                raw.Descriptor(d);
                if (in_.ConsumeBool())
                {
                    // Translated elsewhere, or into another space.
                    d.u.Port.Start.QuadPart = FuzzedDescriptor().u.Port.Start.QuadPart;
                    if (in_.ConsumeBool())
                        d.Flags ^= CM_RESOURCE_PORT_IO;
                    if (in_.ConsumeBool())
                        d.Type = d.Type == CmResourceTypePort ? CmResourceTypeMemory : CmResourceTypePort;
                }
                translated.Descriptor(Mappable(d));
            }
        }
        else if (shape == 3)
        {
            FuzzedList(raw, count);
            FuzzedList(translated, in_.ConsumeIntegralInRange<int>(0, 4));
        }
        else if (shape == 4)
        {
            raw = hk::ResourceList::NoFullDescriptor();
            translated = hk::ResourceList::NoFullDescriptor();
        }
        const bool none = shape == 5;
        hk::Result r =
            hk::Pnp(fdo_, IRP_MN_START_DEVICE, none ? nullptr : raw.Get(), none ? nullptr : translated.Get());
        Send("start", r);
        // A failed start leaves the device as it was; the PnP manager would
        // remove it, but a restart after a stop is also worth seeing.
        if (NT_SUCCESS(r.status))
        {
            pnp_ = Pnp::Started;
            if (!none && shape != 4)
                Assigned(translated);
        }
    }

    // What a successful start gave the device, as the processor reaches it.
    // A stopped device may go on serving its old assignment, so every
    // assignment of this life counts.
    void Assigned(hk::ResourceList& translated)
    {
        const CM_PARTIAL_RESOURCE_LIST& partials = translated.Get()->List[0].PartialResourceList;
        for (ULONG i = 0; i < partials.Count; ++i)
        {
            const CM_PARTIAL_RESOURCE_DESCRIPTOR& d = partials.PartialDescriptors[i];
            const ULONGLONG start = static_cast<ULONGLONG>(d.u.Port.Start.QuadPart);
            if (d.Type == CmResourceTypePort && (d.Flags & CM_RESOURCE_PORT_IO))
                ports_.push_back({start, d.u.Port.Length});
            else if (d.Type == CmResourceTypePort || d.Type == CmResourceTypeMemory)
                memory_.push_back({start, d.u.Memory.Length});
        }
    }

    // The driver touches only hardware the bus assigned it: ports in I/O
    // space, registers through memory.
    void CheckAccesses()
    {
        for (const hk::Access& a : hk::Accesses())
        {
            const bool port = a.kind == hk::Access::Kind::PortRead || a.kind == hk::Access::Kind::PortWrite;
            bool inside = false;
            for (const Range& r : port ? ports_ : memory_)
                inside |= a.address >= r.start && a.address - r.start < r.length;
            if (!inside)
                Finding(std::string(port ? "port" : "register") + " access at " + std::to_string(a.address) +
                        ", outside what the bus assigned, after " + lastRequest_);
        }
        hk::ClearAccesses();
    }

    void QueryStop()
    {
        if (pnp_ != Pnp::Started)
            return;
        hk::Result r = hk::Pnp(fdo_, IRP_MN_QUERY_STOP_DEVICE);
        Send("query-stop", r);
        pnp_ = Pnp::StopPending;
        Interleave();
        if (NT_SUCCESS(r.status) && in_.ConsumeBool())
        {
            Send("stop", hk::Pnp(fdo_, IRP_MN_STOP_DEVICE));
            pnp_ = Pnp::Stopped;
        }
        else
        {
            Send("cancel-stop", hk::Pnp(fdo_, IRP_MN_CANCEL_STOP_DEVICE));
            pnp_ = Pnp::Started;
        }
    }

    void QueryRemove()
    {
        if (pnp_ == Pnp::SurpriseRemoved || pnp_ == Pnp::StopPending)
            return;
        const Pnp before = pnp_;
        hk::Result r = hk::Pnp(fdo_, IRP_MN_QUERY_REMOVE_DEVICE);
        Send("query-remove", r);
        pnp_ = Pnp::RemovePending;
        Interleave();
        if (NT_SUCCESS(r.status) && in_.ConsumeBool())
        {
            Remove();
        }
        else
        {
            Send("cancel-remove", hk::Pnp(fdo_, IRP_MN_CANCEL_REMOVE_DEVICE));
            pnp_ = before;
        }
    }

    void SurpriseRemoval()
    {
        if (pnp_ == Pnp::Added || pnp_ == Pnp::SurpriseRemoved)
            return;
        Send("surprise removal", hk::Pnp(fdo_, IRP_MN_SURPRISE_REMOVAL));
        pnp_ = Pnp::SurpriseRemoved;
    }

    // The removal proper comes once the applications have closed their handles.
    void Remove()
    {
        while (!handles_.empty())
            CloseOne();
        Send("remove", hk::Pnp(fdo_, IRP_MN_REMOVE_DEVICE));
        removed_ = true;
    }

    void OtherPnp()
    {
        static constexpr UCHAR kMinors[] = {IRP_MN_QUERY_DEVICE_RELATIONS,
                                            IRP_MN_QUERY_INTERFACE,
                                            IRP_MN_QUERY_CAPABILITIES,
                                            IRP_MN_QUERY_RESOURCES,
                                            IRP_MN_QUERY_RESOURCE_REQUIREMENTS,
                                            IRP_MN_QUERY_DEVICE_TEXT,
                                            IRP_MN_FILTER_RESOURCE_REQUIREMENTS,
                                            IRP_MN_READ_CONFIG,
                                            IRP_MN_WRITE_CONFIG,
                                            IRP_MN_EJECT,
                                            IRP_MN_SET_LOCK,
                                            IRP_MN_QUERY_ID,
                                            IRP_MN_QUERY_PNP_DEVICE_STATE,
                                            IRP_MN_QUERY_BUS_INFORMATION,
                                            IRP_MN_DEVICE_USAGE_NOTIFICATION,
                                            0x18,
                                            0x19,
                                            0x0E};
        Send("another PnP request", hk::Pnp(fdo_, in_.PickValueInArray(kMinors)));
    }

    // Requests that may arrive while a query is outstanding.
    void Interleave()
    {
        const int n = in_.ConsumeIntegralInRange<int>(0, 3);
        for (int i = 0; i < n; ++i)
        {
            switch (in_.ConsumeIntegralInRange<int>(0, 4))
            {
                case 0:
                    Create();
                    break;
                case 1:
                    CloseOne();
                    break;
                case 2:
                    Read();
                    break;
                case 3:
                    DeviceControl();
                    break;
                case 4:
                    PowerRequest();
                    break;
            }
            CheckNoFaults(lastRequest_);
            CheckAccesses();
        }
    }

    // ---- Power -------------------------------------------------------------------
    void PowerRequest()
    {
        static constexpr UCHAR kMinors[] = {IRP_MN_SET_POWER, IRP_MN_QUERY_POWER, IRP_MN_WAIT_WAKE,
                                            IRP_MN_POWER_SEQUENCE};
        const UCHAR minor = in_.PickValueInArray(kMinors);
        const bool system = in_.ConsumeBool();
        POWER_STATE state{};
        if (system)
            state.SystemState = static_cast<SYSTEM_POWER_STATE>(in_.ConsumeIntegralInRange<int>(0, 7));
        else
            state.DeviceState = static_cast<DEVICE_POWER_STATE>(in_.ConsumeIntegralInRange<int>(0, 5));
        hk::Result r = hk::Power(fdo_, minor, system ? SystemPowerState : DevicePowerState, state);
        Send("power", r);
        // Sleep and resume pass through the stack until the removal proper: a
        // set-power request the lower driver agreed to must not be failed here.
        if (minor == IRP_MN_SET_POWER && !NT_SUCCESS(r.status) && LastLowerAgreed(IRP_MJ_POWER, minor))
            Finding("a set-power request was failed by the driver");
    }

    // ---- What applications send ---------------------------------------------------
    void Create()
    {
        hk::Result r = hk::Create(fdo_);
        Send("create", r);
        if (NT_SUCCESS(r.status))
            handles_.push_back(1);
    }

    void CloseOne()
    {
        if (handles_.empty())
            return;
        Send("cleanup", hk::Cleanup(fdo_));
        Send("close", hk::Close(fdo_));
        handles_.pop_back();
    }

    // User requests come only through an open handle.
    bool HasHandle() { return !handles_.empty(); }

    void Read()
    {
        if (!HasHandle())
            return;
        Send("read", hk::Read(fdo_, Length(), in_.ConsumeIntegral<LONGLONG>()));
    }

    void Write()
    {
        if (!HasHandle())
            return;
        std::vector<UCHAR> data = in_.ConsumeBytes<UCHAR>(Length());
        Send("write", hk::Write(fdo_, data, in_.ConsumeIntegral<LONGLONG>()));
    }

    void DeviceControl()
    {
        if (!HasHandle())
            return;
        ULONG code = in_.ConsumeIntegral<ULONG>();
        if (!d_.controlCodes.empty() && in_.ConsumeBool())
            code = d_.controlCodes[in_.ConsumeIntegralInRange<size_t>(0, d_.controlCodes.size() - 1)];
        // The I/O manager sends only the buffered method here; direct I/O is
        // not what these drivers declare.
        code = (code & ~3u) | METHOD_BUFFERED;
        // Mostly an offset into a small window and a value, as the codes
        // take them, cut or padded to a fuzzed length; sometimes raw bytes.
        std::vector<UCHAR> input;
        if (in_.ConsumeBool())
        {
            const ULONG offset =
                in_.ConsumeBool() ? in_.ConsumeIntegralInRange<ULONG>(0, 0x40) : in_.ConsumeIntegral<ULONG>();
            const ULONG value = in_.ConsumeIntegral<UCHAR>();
            for (ULONG word : {offset, value})
                for (int i = 0; i < 4; ++i)
                    input.push_back(static_cast<UCHAR>(word >> (8 * i)));
            input.resize(Length());
        }
        else
        {
            input = in_.ConsumeBytes<UCHAR>(Length());
        }
        Send("device control", hk::DeviceControl(fdo_, code, input, Length()));
    }

    ULONG Length()
    {
        return in_.ConsumeBool() ? in_.ConsumeIntegralInRange<ULONG>(0, 12)
                                 : in_.ConsumeIntegralInRange<ULONG>(0, 4096);
    }

    // ---- The lower driver --------------------------------------------------------
    static constexpr NTSTATUS kStatuses[] = {STATUS_SUCCESS,          STATUS_UNSUCCESSFUL,
                                             STATUS_NOT_SUPPORTED,    STATUS_INSUFFICIENT_RESOURCES,
                                             STATUS_DEVICE_NOT_READY, STATUS_PENDING - 1};

    // A bus driver may refuse a start, a query or a request it does not know;
    // the removal, stop, cancel and set-power requests it must let through.
    void ScriptLowerDriver()
    {
        const int n = in_.ConsumeIntegralInRange<int>(0, 3);
        for (int i = 0; i < n; ++i)
        {
            struct Choice
            {
                UCHAR major;
                UCHAR minor;
                bool mayFail;
            };
            static constexpr Choice kChoices[] = {
                {IRP_MJ_PNP, IRP_MN_START_DEVICE, true},
                {IRP_MJ_PNP, IRP_MN_QUERY_STOP_DEVICE, true},
                {IRP_MJ_PNP, IRP_MN_QUERY_REMOVE_DEVICE, true},
                {IRP_MJ_PNP, IRP_MN_STOP_DEVICE, false},
                {IRP_MJ_PNP, IRP_MN_CANCEL_STOP_DEVICE, false},
                {IRP_MJ_PNP, IRP_MN_CANCEL_REMOVE_DEVICE, false},
                {IRP_MJ_PNP, IRP_MN_SURPRISE_REMOVAL, false},
                {IRP_MJ_PNP, IRP_MN_REMOVE_DEVICE, false},
                {IRP_MJ_PNP, hk::AnyMinor, true},
                {IRP_MJ_POWER, IRP_MN_SET_POWER, false},
                {IRP_MJ_POWER, IRP_MN_QUERY_POWER, true},
                {IRP_MJ_POWER, hk::AnyMinor, true},
                {IRP_MJ_SYSTEM_CONTROL, hk::AnyMinor, true},
            };
            const Choice c = in_.PickValueInArray(kChoices);
            hk::LowerReply reply;
            reply.mode = in_.ConsumeBool() ? hk::LowerReply::Mode::Pending : hk::LowerReply::Mode::Complete;
            if (c.mayFail)
                reply.status =
                    in_.ConsumeBool() ? in_.PickValueInArray(kStatuses) : in_.ConsumeIntegral<NTSTATUS>();
            // A status of STATUS_PENDING is not a final status.
            if (reply.status == STATUS_PENDING)
                reply.status = STATUS_UNSUCCESSFUL;
            reply.information = in_.ConsumeBool() ? 0 : in_.ConsumeIntegral<ULONG>();
            hk::ScriptLower(pdo_, c.major, c.minor, reply);
        }
    }

    // The last request of `major`/`minor` that reached the lower driver was
    // answered with success.
    bool LastLowerAgreed(UCHAR major, UCHAR minor)
    {
        std::vector<hk::LowerCall> calls = hk::LowerCalls(pdo_);
        for (auto it = calls.rbegin(); it != calls.rend(); ++it)
            if (it->major == major && it->minor == minor)
                return NT_SUCCESS(it->reply.status);
        return true;
    }

    // ---- Bookkeeping ---------------------------------------------------------------
    void Send(const char* what, const hk::Result& r)
    {
        lastRequest_ = what;
        if (!r.completed)
            Finding(std::string(what) + " was never completed");
    }

    void RemoveAtEnd()
    {
        if (removed_)
            return;
        if (pnp_ != Pnp::SurpriseRemoved && in_.ConsumeBool())
        {
            while (!handles_.empty())
                CloseOne();
            hk::Result r = hk::Pnp(fdo_, IRP_MN_QUERY_REMOVE_DEVICE);
            Send("query-remove", r);
            if (NT_SUCCESS(r.status))
            {
                Remove();
                return;
            }
            Send("cancel-remove", hk::Pnp(fdo_, IRP_MN_CANCEL_REMOVE_DEVICE));
        }
        if (pnp_ != Pnp::Added && pnp_ != Pnp::SurpriseRemoved)
            Send("surprise removal", hk::Pnp(fdo_, IRP_MN_SURPRISE_REMOVAL));
        Remove();
    }

    // Whatever the device held is given back by its removal.
    void Finish(size_t devicesBefore)
    {
        CheckRemovalRequestsCarriedSuccess();
        hk::UnloadDriver(driverObject_);
        CheckNoFaults("unloading the driver");
        if (hk::DeviceCount() != devicesBefore)
            Finding("a device object outlived the removal");
        if (hk::OutstandingPoolAllocations() != 0)
            Finding("pool leaked: " + std::to_string(hk::OutstandingPoolAllocations()) + " allocations");
        if (!hk::Mappings().empty())
            Finding("a mapping outlived the removal");
        if (!hk::SymbolicLinks().empty())
            Finding("a symbolic link outlived the removal");
        for (const hk::Interface& i : hk::Interfaces())
            if (i.enabled)
                Finding("a device interface is still enabled after the removal");
    }

    // A request the driver agrees to goes down with success in it: a bus
    // driver that does not handle it completes it with the status it carries.
    void CheckRemovalRequestsCarriedSuccess()
    {
        for (const hk::LowerCall& call : hk::LowerCalls(pdo_))
        {
            if (call.major != IRP_MJ_PNP)
                continue;
            switch (call.minor)
            {
                case IRP_MN_QUERY_REMOVE_DEVICE:
                case IRP_MN_REMOVE_DEVICE:
                case IRP_MN_CANCEL_REMOVE_DEVICE:
                case IRP_MN_QUERY_STOP_DEVICE:
                case IRP_MN_STOP_DEVICE:
                case IRP_MN_CANCEL_STOP_DEVICE:
                case IRP_MN_SURPRISE_REMOVAL:
                    if (call.statusOnArrival != STATUS_SUCCESS)
                        Finding("PnP request " + std::to_string(call.minor) +
                                " passed down without success in it");
                    break;
                default:
                    break;
            }
        }
    }

    struct Range
    {
        ULONGLONG start;
        ULONGLONG length;
    };

    const DriverUnderTest& d_;
    FuzzedDataProvider& in_;
    PDRIVER_OBJECT driverObject_ = nullptr;
    PDEVICE_OBJECT pdo_ = nullptr;
    PDEVICE_OBJECT fdo_ = nullptr;
    Pnp pnp_ = Pnp::Added;
    bool removed_ = false;
    std::vector<int> handles_;
    std::vector<Range> ports_, memory_;
    const char* lastRequest_ = "";
};

}  // namespace fuzz
