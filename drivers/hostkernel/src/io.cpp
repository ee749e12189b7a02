// Requests: passing an IRP down a device stack, completing it back up through
// the completion routines, the scripted bus driver below every stack, and the
// I/O manager's side that builds requests for the tests.
#include <algorithm>
#include <cstdio>

#include "internal.h"

namespace hk::detail
{

static IrpState* FindIrpLocked(PIRP irp)
{
    auto it = K().irps.find(irp);
    return it == K().irps.end() ? nullptr : it->second;
}

void ResetIo()
{
    Kernel& k = K();
    k.scripts.clear();
    k.lowerCalls.clear();
    k.startNextPowerIrp = 0;
    k.removeLocks.clear();
}

// Unscripted requests behave like a plain bus driver: it succeeds the state
// changes of PnP and power it knows and leaves every other PnP and power
// request as it came.
static LowerReply DefaultReply(PIRP irp, UCHAR major, UCHAR minor)
{
    LowerReply reply;
    bool keep = false;
    if (major == IRP_MJ_PNP)
    {
        keep = !(minor <= IRP_MN_CANCEL_STOP_DEVICE || minor == IRP_MN_SURPRISE_REMOVAL);
    }
    else if (major == IRP_MJ_POWER)
    {
        keep = !(minor == IRP_MN_SET_POWER || minor == IRP_MN_QUERY_POWER);
    }
    if (keep)
    {
        reply.status = irp->IoStatus.Status;
        reply.information = irp->IoStatus.Information;
    }
    return reply;
}

static void CompleteWithReply(PIRP irp, const LowerReply& reply)
{
    if (reply.mode == LowerReply::Mode::Cancel)
    {
        irp->Cancel = TRUE;
        irp->IoStatus.Status = STATUS_CANCELLED;
        irp->IoStatus.Information = 0;
    }
    else
    {
        irp->IoStatus.Status = reply.status;
        irp->IoStatus.Information = reply.information;
    }
    IofCompleteRequest(irp, IO_NO_INCREMENT);
}

NTSTATUS BusDispatch(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    LowerReply reply;
    IrpState* state;
    std::thread::id sender = std::this_thread::get_id();
    {
        std::lock_guard lock(K().m);
        Kernel& k = K();
        state = FindIrpLocked(irp);
        const auto& script = k.scripts[device];
        auto exact = script.find({location->MajorFunction, location->MinorFunction});
        auto any = script.find({location->MajorFunction, AnyMinor});
        if (exact != script.end())
            reply = exact->second;
        else if (any != script.end())
            reply = any->second;
        else
            reply = DefaultReply(irp, location->MajorFunction, location->MinorFunction);

        LowerCall call;
        call.major = location->MajorFunction;
        call.minor = location->MinorFunction;
        if (state != nullptr && state->calls.size() >= 2)
            call.skipped = state->calls[state->calls.size() - 2].location == location;
        call.completionRoutine = location->CompletionRoutine != nullptr;
        call.statusOnArrival = irp->IoStatus.Status;
        call.location = *location;
        call.reply = reply;
        k.lowerCalls[device].push_back(call);
    }
    if (reply.mode != LowerReply::Mode::Pending || state == nullptr)
    {
        NTSTATUS status = reply.mode == LowerReply::Mode::Cancel ? STATUS_CANCELLED : reply.status;
        CompleteWithReply(irp, reply);
        return status;
    }
    IoMarkIrpPending(irp);
    // The completion comes from another thread once the sender is waiting for
    // it or has given up waiting by returning: both orders a driver must
    // survive, and neither depends on how fast the threads run.
    std::lock_guard lock(K().m);
    K().lowerThreadsAlive++;
    state->lowerThreads.emplace_back(
        [irp, reply, state, sender]
        {
            {
                std::unique_lock wait(K().m);
                K().cv.wait(wait, [&] { return K().blocked.count(sender) != 0 || state->dispatchReturned; });
            }
            CompleteWithReply(irp, reply);
            std::lock_guard done(K().m);
            K().lowerThreadsAlive--;
            K().cv.notify_all();
        });
    return STATUS_PENDING;
}

static void ClearStackLocation(PIO_STACK_LOCATION stack)
{
    stack->MinorFunction = 0;
    stack->Flags = 0;
    stack->Control = 0;
    std::memset(&stack->Parameters, 0, sizeof stack->Parameters);
    stack->FileObject = nullptr;
    stack->CompletionRoutine = nullptr;
    stack->Context = nullptr;
}

}  // namespace hk::detail

using namespace hk::detail;

extern "C"
{

    NTSTATUS FASTCALL IofCallDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp)
    {
        {
            std::lock_guard lock(K().m);
            IrpState* state = FindIrpLocked(Irp);
            if (state == nullptr)
            {
                FaultLocked("IofCallDriver with a request the I/O manager does not know");
                return STATUS_INVALID_PARAMETER;
            }
            if (!LiveDeviceLocked(DeviceObject))
            {
                FaultLocked("IofCallDriver to a device object that does not exist");
                return STATUS_NO_SUCH_DEVICE;
            }
            if (Irp->CurrentLocation <= 1)
            {
                FaultLocked("IofCallDriver without a stack location left for the lower driver");
                return STATUS_INVALID_PARAMETER;
            }
            Irp->CurrentLocation--;
            Irp->Tail.Overlay.CurrentStackLocation--;
            PIO_STACK_LOCATION location = Irp->Tail.Overlay.CurrentStackLocation;
            location->DeviceObject = DeviceObject;
            state->calls.push_back({DeviceObject, location});
        }
        PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(Irp);
        return DeviceObject->DriverObject->MajorFunction[location->MajorFunction](DeviceObject, Irp);
    }

    VOID FASTCALL IofCompleteRequest(PIRP Irp, CCHAR)
    {
        IrpState* state;
        {
            std::lock_guard lock(K().m);
            state = FindIrpLocked(Irp);
            if (state == nullptr)
            {
                FaultLocked("IofCompleteRequest of a request the I/O manager does not know");
                return;
            }
            if (state->completed || Irp->CurrentLocation > Irp->StackCount)
            {
                FaultLocked("request completed twice");
                return;
            }
            if (Irp->IoStatus.Status == STATUS_PENDING)
            {
                FaultLocked("request completed with STATUS_PENDING");
                return;
            }
        }
        for (PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
             Irp->CurrentLocation <= Irp->StackCount; stack++)
        {
            Irp->PendingReturned = (stack->Control & SL_PENDING_RETURNED) != 0;
            Irp->CurrentLocation++;
            Irp->Tail.Overlay.CurrentStackLocation++;
            NTSTATUS status = Irp->IoStatus.Status;
            bool invoke = stack->CompletionRoutine != nullptr &&
                          ((NT_SUCCESS(status) && (stack->Control & SL_INVOKE_ON_SUCCESS)) ||
                           (!NT_SUCCESS(status) && (stack->Control & SL_INVOKE_ON_ERROR)) ||
                           (Irp->Cancel && (stack->Control & SL_INVOKE_ON_CANCEL)));
            if (invoke)
            {
                PDEVICE_OBJECT device = Irp->CurrentLocation == Irp->StackCount + 1
                                            ? nullptr
                                            : IoGetCurrentIrpStackLocation(Irp)->DeviceObject;
                PIO_COMPLETION_ROUTINE routine = stack->CompletionRoutine;
                PVOID context = stack->Context;
                ClearStackLocation(stack);
                if (routine(device, Irp, context) == STATUS_MORE_PROCESSING_REQUIRED)
                    return;
            }
            else
            {
                if (Irp->PendingReturned && Irp->CurrentLocation <= Irp->StackCount)
                    IoMarkIrpPending(Irp);
                ClearStackLocation(stack);
            }
        }
        std::lock_guard lock(K().m);
        state->completed = true;
        state->pendingReturned = Irp->PendingReturned != FALSE;
        K().cv.notify_all();
    }

    VOID PoStartNextPowerIrp(PIRP Irp)
    {
        std::lock_guard lock(K().m);
        if (FindIrpLocked(Irp) == nullptr)
            FaultLocked("PoStartNextPowerIrp with an unknown request");
        K().startNextPowerIrp++;
    }

    NTSTATUS PoCallDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp) { return IofCallDriver(DeviceObject, Irp); }

}  // extern "C"

// ---------------------------------------------------------------------------
// Test control

namespace hk
{

void ScriptLower(PDEVICE_OBJECT pdo, UCHAR major, UCHAR minor, LowerReply reply)
{
    std::lock_guard lock(K().m);
    K().scripts[pdo][{major, minor}] = reply;
}

std::vector<LowerCall> LowerCalls(PDEVICE_OBJECT pdo)
{
    std::lock_guard lock(K().m);
    auto it = K().lowerCalls.find(pdo);
    return it == K().lowerCalls.end() ? std::vector<LowerCall>() : it->second;
}

int StartNextPowerIrpCalls()
{
    std::lock_guard lock(K().m);
    return K().startNextPowerIrp;
}

static constexpr UCHAR kUntouched = 0xCC;

// Lays out the caller's buffers the way the device's I/O method asks for.
static bool PrepareBuffers(PDEVICE_OBJECT device, IrpState& st, const IrpRequest& request,
                           PIO_STACK_LOCATION loc)
{
    PIRP irp = &st.irp;
    st.userInput = request.input;
    st.userOutput.assign(request.outputLength, kUntouched);
    auto allocate = [&](size_t size)
    {
        if (size == 0)
            return;
        st.systemBuffer.reset(new UCHAR[size]);
        std::memset(st.systemBuffer.get(), kUntouched, size);
        irp->AssociatedIrp.SystemBuffer = st.systemBuffer.get();
    };
    switch (request.major)
    {
        case IRP_MJ_READ:
        case IRP_MJ_WRITE:
        {
            bool read = request.major == IRP_MJ_READ;
            ULONG length = read ? request.outputLength : static_cast<ULONG>(request.input.size());
            loc->Parameters.Read.Length = length;
            if (device->Flags & DO_DIRECT_IO)
                return false;
            if (device->Flags & DO_BUFFERED_IO)
            {
                allocate(length);
                if (!read && length)
                    std::memcpy(st.systemBuffer.get(), st.userInput.data(), length);
            }
            else
            {
                irp->UserBuffer = read ? st.userOutput.data() : st.userInput.data();
            }
            return true;
        }
        case IRP_MJ_DEVICE_CONTROL:
        case IRP_MJ_INTERNAL_DEVICE_CONTROL:
        {
            loc->Parameters.DeviceIoControl.InputBufferLength = static_cast<ULONG>(request.input.size());
            loc->Parameters.DeviceIoControl.OutputBufferLength = request.outputLength;
            ULONG method = METHOD_FROM_CTL_CODE(loc->Parameters.DeviceIoControl.IoControlCode);
            if (method == METHOD_BUFFERED)
            {
                allocate(std::max<size_t>(request.input.size(), request.outputLength));
                if (!request.input.empty())
                    std::memcpy(st.systemBuffer.get(), request.input.data(), request.input.size());
                return true;
            }
            if (method == METHOD_NEITHER)
            {
                loc->Parameters.DeviceIoControl.Type3InputBuffer =
                    st.userInput.empty() ? nullptr : st.userInput.data();
                irp->UserBuffer = st.userOutput.empty() ? nullptr : st.userOutput.data();
                return true;
            }
            return false;
        }
        default:
            return true;
    }
}

// Copies what the driver left in the system buffer back to the caller, as far
// as the information field says.
static void CopyBack(IrpState& st, const IrpRequest& request, ULONG ioctlCode)
{
    bool buffered = false;
    if (request.major == IRP_MJ_READ)
        buffered = (st.irp.AssociatedIrp.SystemBuffer != nullptr);
    if (request.major == IRP_MJ_DEVICE_CONTROL || request.major == IRP_MJ_INTERNAL_DEVICE_CONTROL)
        buffered = METHOD_FROM_CTL_CODE(ioctlCode) == METHOD_BUFFERED;
    if (!buffered || !NT_SUCCESS(st.irp.IoStatus.Status))
        return;
    ULONG_PTR count = st.irp.IoStatus.Information;
    if (count > request.outputLength)
    {
        Fault("request completed with information " + std::to_string(count) + " beyond an output buffer of " +
              std::to_string(request.outputLength) + " bytes");
        count = request.outputLength;
    }
    if (count)
        std::memcpy(st.userOutput.data(), st.systemBuffer.get(), count);
}

Result Send(PDEVICE_OBJECT device, const IrpRequest& request)
{
    Result result;
    auto st = std::make_unique<IrpState>();
    CCHAR depth;
    {
        std::lock_guard lock(K().m);
        if (!LiveDeviceLocked(device))
        {
            FaultLocked("request sent to a device object that does not exist");
            return result;
        }
        depth = device->StackSize;
        ReferenceDeviceLocked(device);
    }
    PIRP irp = &st->irp;
    st->stack.reset(new IO_STACK_LOCATION[depth]());
    irp->Type = 6;
    irp->StackCount = depth;
    irp->CurrentLocation = static_cast<CHAR>(depth + 1);
    irp->Tail.Overlay.CurrentStackLocation = st->stack.get() + depth;
    irp->IoStatus.Status = request.initialStatus;
    irp->Cancel = request.cancel ? TRUE : FALSE;
    bool fileRequest = request.major != IRP_MJ_PNP && request.major != IRP_MJ_POWER &&
                       request.major != IRP_MJ_SYSTEM_CONTROL;
    irp->RequestorMode = fileRequest ? UserMode : KernelMode;
    st->file.Type = 5;
    st->file.DeviceObject = device;

    PIO_STACK_LOCATION loc = IoGetNextIrpStackLocation(irp);
    *loc = request.location;
    loc->MajorFunction = request.major;
    loc->MinorFunction = request.minor;
    loc->FileObject = fileRequest ? &st->file : nullptr;
    loc->CompletionRoutine = nullptr;
    loc->Context = nullptr;
    loc->Control = 0;
    ULONG ioctlCode = loc->Parameters.DeviceIoControl.IoControlCode;
    if (!PrepareBuffers(device, *st, request, loc))
    {
        std::lock_guard lock(K().m);
        FaultLocked("direct I/O is not simulated");
        DereferenceDeviceLocked(device);
        return result;
    }
    st->sender = std::this_thread::get_id();
    {
        std::lock_guard lock(K().m);
        K().irps[irp] = st.get();
    }

    result.returned = IofCallDriver(device, irp);

    std::vector<std::thread> lowerThreads;
    {
        std::unique_lock lock(K().m);
        st->dispatchReturned = true;
        K().cv.notify_all();
        if (result.returned == STATUS_PENDING)
            K().cv.wait(lock, [&] { return st->completed; });
    }
    for (;;)
    {
        std::thread t;
        {
            std::lock_guard lock(K().m);
            if (st->lowerThreads.empty())
                break;
            t = std::move(st->lowerThreads.back());
            st->lowerThreads.pop_back();
        }
        t.join();
    }
    {
        std::lock_guard lock(K().m);
        K().irps.erase(irp);
        DereferenceDeviceLocked(device);
        result.completed = st->completed;
        result.pendingReturned = st->pendingReturned;
        if (!st->completed)
        {
            char text[96];
            std::snprintf(text, sizeof text, "dispatch returned 0x%08X without completing the request",
                          static_cast<unsigned>(result.returned));
            FaultLocked(text);
        }
        else if (st->pendingReturned != (result.returned == STATUS_PENDING))
        {
            FaultLocked(st->pendingReturned
                            ? "request marked pending but the dispatch did not return STATUS_PENDING"
                            : "dispatch returned STATUS_PENDING without marking the request pending");
        }
    }
    result.status = irp->IoStatus.Status;
    result.information = irp->IoStatus.Information;
    if (st->completed)
        CopyBack(*st, request, ioctlCode);
    result.output = st->userOutput;
    return result;
}

static IrpRequest NewRequest(UCHAR major, UCHAR minor = 0, NTSTATUS initialStatus = STATUS_SUCCESS)
{
    IrpRequest request;
    request.major = major;
    request.minor = minor;
    request.initialStatus = initialStatus;
    return request;
}

Result Create(PDEVICE_OBJECT device) { return Send(device, NewRequest(IRP_MJ_CREATE)); }
Result Close(PDEVICE_OBJECT device) { return Send(device, NewRequest(IRP_MJ_CLOSE)); }
Result Cleanup(PDEVICE_OBJECT device) { return Send(device, NewRequest(IRP_MJ_CLEANUP)); }

Result Read(PDEVICE_OBJECT device, ULONG length, LONGLONG offset)
{
    IrpRequest request = NewRequest(IRP_MJ_READ);
    request.outputLength = length;
    request.location.Parameters.Read.ByteOffset.QuadPart = offset;
    return Send(device, request);
}

Result Write(PDEVICE_OBJECT device, const std::vector<UCHAR>& data, LONGLONG offset)
{
    IrpRequest request = NewRequest(IRP_MJ_WRITE);
    request.input = data;
    request.location.Parameters.Write.ByteOffset.QuadPart = offset;
    return Send(device, request);
}

Result DeviceControl(PDEVICE_OBJECT device, ULONG code, const std::vector<UCHAR>& input, ULONG outputLength)
{
    IrpRequest request = NewRequest(IRP_MJ_DEVICE_CONTROL);
    request.input = input;
    request.outputLength = outputLength;
    request.location.Parameters.DeviceIoControl.IoControlCode = code;
    return Send(device, request);
}

// The kernel sends PnP, power and WMI requests with STATUS_NOT_SUPPORTED in
// them, so a driver that passes a request on unchanged is seen to do so.
Result Pnp(PDEVICE_OBJECT device, UCHAR minor, PCM_RESOURCE_LIST raw, PCM_RESOURCE_LIST translated)
{
    IrpRequest request = NewRequest(IRP_MJ_PNP, minor, STATUS_NOT_SUPPORTED);
    request.location.Parameters.StartDevice.AllocatedResources = raw;
    request.location.Parameters.StartDevice.AllocatedResourcesTranslated = translated;
    return Send(device, request);
}

Result Power(PDEVICE_OBJECT device, UCHAR minor, POWER_STATE_TYPE type, POWER_STATE state)
{
    IrpRequest request = NewRequest(IRP_MJ_POWER, minor, STATUS_NOT_SUPPORTED);
    request.location.Parameters.Power.Type = type;
    request.location.Parameters.Power.State = state;
    return Send(device, request);
}

Result SystemControl(PDEVICE_OBJECT device, UCHAR minor)
{
    return Send(device, NewRequest(IRP_MJ_SYSTEM_CONTROL, minor, STATUS_NOT_SUPPORTED));
}

}  // namespace hk
