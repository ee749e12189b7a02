// State shared by the hostkernel's translation units. One lock guards all of
// it, as one dispatcher lock would; it is never held while driver code runs.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <hostkernel/hk.h>

namespace hk::detail
{

struct DeviceInfo
{
    std::wstring name;
    ULONG extensionSize = 0;
    PDEVICE_OBJECT attachedTo = nullptr;  // the device directly below
    bool pdo = false;
    unsigned pdoIndex = 0;
    // Requests in progress hold a reference, as their file object does in the
    // kernel: a device deleted meanwhile is freed when the last one ends.
    int references = 0;
    bool deleted = false;
};

struct Call
{
    PDEVICE_OBJECT device;
    PIO_STACK_LOCATION location;
};

struct IrpState
{
    IRP irp{};
    std::unique_ptr<IO_STACK_LOCATION[]> stack;
    std::unique_ptr<UCHAR[]> systemBuffer;
    std::vector<UCHAR> userInput;
    std::vector<UCHAR> userOutput;
    FILE_OBJECT file{};
    std::thread::id sender;
    bool dispatchReturned = false;
    bool completed = false;
    bool pendingReturned = false;
    std::vector<Call> calls;
    std::vector<std::thread> lowerThreads;
};

struct LockState
{
    bool initialised = false;
    std::multiset<PVOID> tags;
};

struct Kernel
{
    std::mutex m;
    std::condition_variable cv;

    std::vector<std::string> faults;

    std::set<PDRIVER_OBJECT> drivers;
    PDRIVER_OBJECT bus = nullptr;
    unsigned nextPdoIndex = 0;
    std::map<PDEVICE_OBJECT, DeviceInfo> devices;
    std::map<std::wstring, PDEVICE_OBJECT> names;
    std::map<std::wstring, std::wstring> links;
    std::map<std::wstring, int> linkDeletions;
    std::vector<Interface> interfaces;
    std::map<void*, size_t> pool;

    std::map<Op, NTSTATUS> failNext;
    bool attachNone = false;

    std::map<PDEVICE_OBJECT, std::map<std::pair<UCHAR, UCHAR>, LowerReply>> scripts;
    std::map<PDEVICE_OBJECT, std::vector<LowerCall>> lowerCalls;
    std::map<PIRP, IrpState*> irps;
    int startNextPowerIrp = 0;

    std::multiset<std::thread::id> blocked;
    std::multiset<std::thread::id> held;
    std::set<std::thread::id> testThreads;
    int lowerThreadsAlive = 0;
    std::map<PIO_REMOVE_LOCK, LockState> removeLocks;

    std::array<UCHAR, 0x10000> ports{};
    std::map<ULONGLONG, UCHAR> physical;
    std::map<uintptr_t, Mapping> mappings;  // keyed by base address
    // Released mappings keep their addresses until Reset, so a stale address is
    // never handed out again and an access through it is always caught.
    std::vector<std::unique_ptr<UCHAR[]>> retired;
    int mapCalls = 0;
    int unmapCalls = 0;
    std::vector<Access> accesses;
    bool holdAccesses = false;
    // The one variable whose next interlocked operation stops at the gate.
    std::atomic<const volatile LONG*> interlockedTarget{nullptr};
    bool holdInterlocked = false;
};

Kernel& K();

// Callers hold K().m.
void FaultLocked(const std::string& message);
bool TakeFailure(Op op, NTSTATUS* status);

std::wstring ToWide(PCUNICODE_STRING s);
std::string Narrow(const std::wstring& s);
void* AllocatePoolLocked(size_t bytes);
// The live (not deleted) device, or nullptr.
DeviceInfo* LiveDeviceLocked(PDEVICE_OBJECT device);
void ReferenceDeviceLocked(PDEVICE_OBJECT device);
void DereferenceDeviceLocked(PDEVICE_OBJECT device);

// Drop everything that belongs to one area; called by Reset with the lock held.
void ResetObjects();
void ResetIo();
void ResetHardware();

// No thread is left that could still block or arrive at the access gate.
bool StalledLocked();

NTSTATUS BusDispatch(PDEVICE_OBJECT device, PIRP irp);
NTSTATUS InvalidDeviceRequest(PDEVICE_OBJECT device, PIRP irp);

}  // namespace hk::detail
