// Events that really block a thread, interlocked remove locks built on them,
// and the view of blocked threads that lets tests order threads without clocks.
#include "internal.h"

using namespace hk::detail;

namespace
{

LONG ExchangeSignal(PRKEVENT event, LONG state)
{
    LONG previous = event->Header.SignalState;
    event->Header.SignalState = state;
    return previous;
}

bool Removed(PIO_REMOVE_LOCK lock)
{
    return __atomic_load_n(&lock->Common.Removed, __ATOMIC_SEQ_CST) != FALSE;
}

// Checks the tag against the holders the lock has; the caller holds K().m.
bool TakeTagLocked(PIO_REMOVE_LOCK lock, PVOID tag, const char* routine)
{
    auto it = K().removeLocks.find(lock);
    if (it == K().removeLocks.end() || !it->second.initialised)
    {
        FaultLocked(std::string(routine) + " on a remove lock that was never initialised");
        return false;
    }
    auto held = it->second.tags.find(tag);
    if (held == it->second.tags.end())
    {
        FaultLocked(std::string(routine) + " with a tag that does not hold the remove lock");
        return false;
    }
    it->second.tags.erase(held);
    return true;
}

}  // namespace

namespace hk::detail
{

bool StalledLocked()
{
    const Kernel& k = K();
    if (k.lowerThreadsAlive > 0)
        return false;
    for (const auto& id : k.testThreads)
        if (!k.blocked.count(id) && !k.held.count(id))
            return false;
    return true;
}

}  // namespace hk::detail

extern "C"
{

    VOID KeInitializeEvent(PRKEVENT Event, EVENT_TYPE Type, BOOLEAN State)
    {
        std::lock_guard lock(K().m);
        std::memset(Event, 0, sizeof *Event);
        Event->Header.Type = static_cast<UCHAR>(Type);
        Event->Header.SignalState = State ? 1 : 0;
    }

    LONG KeSetEvent(PRKEVENT Event, KPRIORITY, BOOLEAN)
    {
        std::lock_guard lock(K().m);
        LONG previous = ExchangeSignal(Event, 1);
        K().cv.notify_all();
        return previous;
    }

    VOID KeClearEvent(PRKEVENT Event)
    {
        std::lock_guard lock(K().m);
        ExchangeSignal(Event, 0);
    }

    LONG KeResetEvent(PRKEVENT Event)
    {
        std::lock_guard lock(K().m);
        return ExchangeSignal(Event, 0);
    }

    LONG KeReadStateEvent(PRKEVENT Event)
    {
        std::lock_guard lock(K().m);
        return Event->Header.SignalState;
    }

    NTSTATUS KeWaitForSingleObject(PVOID Object, KWAIT_REASON, KPROCESSOR_MODE, BOOLEAN,
                                   PLARGE_INTEGER Timeout)
    {
        auto* event = static_cast<PRKEVENT>(Object);
        std::unique_lock lock(K().m);
        if (Timeout != nullptr && Timeout->QuadPart == 0)
        {
            if (!event->Header.SignalState)
                return STATUS_TIMEOUT;
        }
        else
        {
            if (Timeout != nullptr)
                FaultLocked("KeWaitForSingleObject with a time-out is not simulated; waiting without");
            auto self = K().blocked.insert(std::this_thread::get_id());
            K().cv.notify_all();
            K().cv.wait(lock, [&] { return event->Header.SignalState != 0; });
            K().blocked.erase(self);
        }
        if (event->Header.Type == SynchronizationEvent)
            event->Header.SignalState = 0;
        return STATUS_SUCCESS;
    }

    VOID IoInitializeRemoveLockEx(PIO_REMOVE_LOCK Lock, ULONG, ULONG, ULONG, ULONG RemlockSize)
    {
        {
            std::lock_guard lock(K().m);
            if (RemlockSize != sizeof(IO_REMOVE_LOCK))
                FaultLocked("IoInitializeRemoveLockEx with a wrong lock size");
            LockState& state = K().removeLocks[Lock];
            state.initialised = true;
            state.tags.clear();
        }
        Lock->Common.Removed = FALSE;
        Lock->Common.IoCount = 1;
        KeInitializeEvent(&Lock->Common.RemoveEvent, NotificationEvent, FALSE);
    }

    NTSTATUS IoAcquireRemoveLockEx(PIO_REMOVE_LOCK RemoveLock, PVOID Tag, PCSTR, ULONG, ULONG)
    {
        {
            std::lock_guard lock(K().m);
            auto it = K().removeLocks.find(RemoveLock);
            if (it == K().removeLocks.end() || !it->second.initialised)
            {
                FaultLocked("IoAcquireRemoveLockEx on a remove lock that was never initialised");
                return STATUS_DELETE_PENDING;
            }
        }
        InterlockedIncrement(&RemoveLock->Common.IoCount);
        if (!Removed(RemoveLock))
        {
            std::lock_guard lock(K().m);
            K().removeLocks[RemoveLock].tags.insert(Tag);
            return STATUS_SUCCESS;
        }
        if (InterlockedDecrement(&RemoveLock->Common.IoCount) == 0)
            KeSetEvent(&RemoveLock->Common.RemoveEvent, 0, FALSE);
        return STATUS_DELETE_PENDING;
    }

    VOID IoReleaseRemoveLockEx(PIO_REMOVE_LOCK RemoveLock, PVOID Tag, ULONG)
    {
        {
            std::lock_guard lock(K().m);
            if (!TakeTagLocked(RemoveLock, Tag, "IoReleaseRemoveLockEx"))
                return;
        }
        if (InterlockedDecrement(&RemoveLock->Common.IoCount) == 0)
            KeSetEvent(&RemoveLock->Common.RemoveEvent, 0, FALSE);
    }

    VOID IoReleaseRemoveLockAndWaitEx(PIO_REMOVE_LOCK RemoveLock, PVOID Tag, ULONG)
    {
        {
            std::lock_guard lock(K().m);
            if (!TakeTagLocked(RemoveLock, Tag, "IoReleaseRemoveLockAndWaitEx"))
                return;
            if (Removed(RemoveLock))
                FaultLocked("IoReleaseRemoveLockAndWaitEx called twice on one remove lock");
        }
        __atomic_store_n(&RemoveLock->Common.Removed, TRUE, __ATOMIC_SEQ_CST);
        InterlockedDecrement(&RemoveLock->Common.IoCount);          // this caller's own hold
        if (InterlockedDecrement(&RemoveLock->Common.IoCount) > 0)  // the lock's initial bias
            KeWaitForSingleObject(&RemoveLock->Common.RemoveEvent, Executive, KernelMode, FALSE, nullptr);
    }

}  // extern "C"

namespace hk
{

bool WaitForBlockedThreads(int count)
{
    std::unique_lock lock(K().m);
    K().cv.wait(lock, [&] { return static_cast<int>(K().blocked.size()) >= count || StalledLocked(); });
    return static_cast<int>(K().blocked.size()) >= count;
}

Thread::Thread(std::function<void()> body)
{
    std::unique_lock lock(K().m);
    bool registered = false;
    thread_ = std::thread(
        [body = std::move(body), &registered]
        {
            {
                std::lock_guard started(K().m);
                K().testThreads.insert(std::this_thread::get_id());
                registered = true;
                K().cv.notify_all();
            }
            body();
            std::lock_guard finished(K().m);
            K().testThreads.erase(std::this_thread::get_id());
            K().cv.notify_all();
        });
    // Counted before the constructor returns, so a wait that follows at once
    // cannot mistake a thread that has not run yet for one that finished.
    K().cv.wait(lock, [&] { return registered; });
}

// A test that stops early at a failed assertion must not hang on a thread
// still held at the access gate: the gate opens before the join.
Thread::~Thread()
{
    if (thread_.joinable())
        ReleaseAccesses();
    Join();
}

void Thread::Join()
{
    if (thread_.joinable())
        thread_.join();
}

int BlockedThreads()
{
    std::lock_guard lock(K().m);
    return static_cast<int>(K().blocked.size());
}

}  // namespace hk
