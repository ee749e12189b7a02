// hostkernel test-control API.
//
// The hostkernel library stands in for the Windows kernel when a driver is
// built for the host: the driver includes <ntddk.h>/<wdm.h> as usual and links
// against `hostkernel`; a test drives it through the functions below. This
// header is the only test-facing interface; it is stable, extend it, do not
// change what is here.
//
// Setting up
//   hk::Reset()                       forget every object, script, log and fault
//                                     (hk::KernelTest in hk_test.h does it).
//   hk::LoadDriver(DriverEntry)       a driver object, DriverEntry run on it.
//   hk::CreatePdo()                   a physical device object owned by the
//                                     scripted bus driver (the "lower driver").
//   hk::AddDevice(driver, pdo)        runs the driver's add-device callback;
//                                     hk::TopOfStack(pdo) is then its device.
//
// Sending requests (the I/O manager's part): hk::Create, Close, Read, Write,
// DeviceControl, Pnp, Power, SystemControl and the general hk::Send build an
// IRP with one stack location per device in the stack, call the device, wait
// for the request's final completion when the dispatch returned
// STATUS_PENDING, and return a Result. Buffers follow the device's I/O method:
// DO_BUFFERED_IO and METHOD_BUFFERED get a system buffer of exactly the asked
// size; neither-I/O gets the caller's buffer in Irp->UserBuffer. Requests may
// be sent from several threads at once.
//
// The lower driver: every request that reaches a PDO is recorded
// (hk::LowerCalls) and answered as scripted with hk::ScriptLower: completed at
// once with a status, or marked pending, STATUS_PENDING returned and completed
// from another thread once the sending thread waits in KeWaitForSingleObject
// or has returned from its dispatch. Unscripted requests complete with
// STATUS_SUCCESS, except that a PnP or power request keeps the status it
// arrived with when its minor code is not one of start, query/cancel/remove,
// query/cancel/stop, surprise removal, set or query power.
//
// Hardware: I/O port space (64K bytes, 0xFF where nothing was set) and a
// sparse physical memory (0xFF where nothing was set). MmMapIoSpace maps
// physical memory to a fresh system address; READ/WRITE_REGISTER_UCHAR work
// only through a live mapping. Every access is logged (hk::Accesses).
//
// Faults: whatever a real kernel would crash on or silently corrupt (access
// through an unmapped address, a request completed twice, a dispatch that
// returns STATUS_PENDING without marking the request pending or marks it and
// returns something else, a remove lock released by a tag that does not hold
// it, a device deleted while still attached, pool freed twice, ...) is
// recorded as a fault. hk::TakeFaults() returns and clears them;
// hk::KernelTest turns each into a test failure.
//
// Determinism without clocks: start test threads as hk::Thread.
// hk::WaitForBlockedThreads(n) returns true once n threads are blocked in
// KeWaitForSingleObject (including the waits inside
// IoReleaseRemoveLockAndWaitEx). hk::HoldAccesses() makes every port and
// register access stop at a gate before it touches anything;
// hk::WaitForHeldAccesses(n) returns true once n accesses are held there;
// hk::ReleaseAccesses() lets them all through. hk::HoldInterlocked(&x)
// likewise stops the next interlocked operation on x, before it takes effect,
// at the same gate (counted and released with the accesses). A held access checks its
// mapping only after the gate, so an unmap that overtakes it is caught. Both
// waits return false instead of hanging when the count can no longer be
// reached: every hk::Thread has finished, is blocked or is held, and no lower
// driver completion is outstanding.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <wdm.h>

namespace hk
{

// ---- Lifetime and faults --------------------------------------------------
void Reset();
std::vector<std::string> TakeFaults();
void Fault(const std::string& message);

// ---- Drivers and devices --------------------------------------------------
PDRIVER_OBJECT LoadDriver(PDRIVER_INITIALIZE entry, const wchar_t* serviceName = L"hk",
                          NTSTATUS* entryStatus = nullptr);
// Calls DriverUnload when set and frees the driver object; a fault when the
// driver still owns device objects.
void UnloadDriver(PDRIVER_OBJECT driver);

PDEVICE_OBJECT CreatePdo();
NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo);
PDEVICE_OBJECT TopOfStack(PDEVICE_OBJECT pdo);
// The device a device is attached to (nullptr when it is not attached).
PDEVICE_OBJECT AttachedTo(PDEVICE_OBJECT device);
bool DeviceExists(PDEVICE_OBJECT device);
size_t DeviceCount();  // live device objects of every driver, PDOs included
std::wstring DeviceName(PDEVICE_OBJECT device);
ULONG DeviceExtensionSize(PDEVICE_OBJECT device);

// ---- Scripting kernel operations -------------------------------------------
enum class Op
{
    CreateDevice,
    RegisterDeviceInterface,
    SetDeviceInterfaceState,
    CreateSymbolicLink,
    MapIoSpace,  // fails by returning nullptr; the status is ignored
    AllocatePool,
};
// The next call of `op` fails with `status` and does nothing else.
void FailNext(Op op, NTSTATUS status = STATUS_INSUFFICIENT_RESOURCES);
// The next IoAttachDeviceToDeviceStack returns nullptr and attaches nothing.
void AttachReturnsNone();

// ---- The lower driver -------------------------------------------------------
constexpr UCHAR AnyMinor = 0xFF;
struct LowerReply
{
    enum class Mode
    {
        Complete,  // complete at once with `status`, `information`
        Pending,   // return STATUS_PENDING, complete later from another thread
        Cancel,    // set Irp->Cancel and complete at once with STATUS_CANCELLED
    };
    Mode mode = Mode::Complete;
    NTSTATUS status = STATUS_SUCCESS;
    ULONG_PTR information = 0;
};
void ScriptLower(PDEVICE_OBJECT pdo, UCHAR major, UCHAR minor, LowerReply reply);

struct LowerCall
{
    UCHAR major = 0;
    UCHAR minor = 0;
    // The upper driver skipped its stack location (the lower sees the very
    // location the upper driver was given); false when it set up the next one.
    bool skipped = false;
    // The upper driver set a completion routine for this call.
    bool completionRoutine = false;
    NTSTATUS statusOnArrival = 0;  // Irp->IoStatus.Status as it reached the PDO
    IO_STACK_LOCATION location{};  // copy of the stack location the PDO was given
    LowerReply reply;
};
std::vector<LowerCall> LowerCalls(PDEVICE_OBJECT pdo);

// ---- Requests -------------------------------------------------------------
struct Result
{
    NTSTATUS returned = 0;  // what the dispatch routine returned
    NTSTATUS status = 0;    // the final IoStatus.Status
    ULONG_PTR information = 0;
    bool completed = false;
    bool pendingReturned = false;  // Irp->PendingReturned at final completion
    std::vector<UCHAR> output;     // bytes copied back to the caller
};

// Resource list builder: one full descriptor (unless NoFullDescriptor) whose
// partial descriptors appear in the order added. As in the kernel, partial
// descriptors are packed to 4 bytes: read a start address as
// `d->u.Port.Start.QuadPart`, not by copying the LARGE_INTEGER union, which
// UBSan reports as a misaligned reference.
class ResourceList
{
public:
    ResourceList& Port(ULONGLONG start, ULONG length, USHORT flags = CM_RESOURCE_PORT_IO);
    ResourceList& Memory(ULONGLONG start, ULONG length, USHORT flags = CM_RESOURCE_MEMORY_READ_WRITE);
    ResourceList& Interrupt(ULONG level, ULONG vector, KAFFINITY affinity = 1,
                            USHORT flags = CM_RESOURCE_INTERRUPT_LEVEL_SENSITIVE);
    ResourceList& DevicePrivate(ULONG d0, ULONG d1 = 0, ULONG d2 = 0);
    ResourceList& Descriptor(const CM_PARTIAL_RESOURCE_DESCRIPTOR& descriptor);
    // A list whose Count is 0: no full descriptor at all.
    static ResourceList NoFullDescriptor();

    PCM_RESOURCE_LIST Get();  // valid while this object lives and is not changed
    size_t Size() const;      // bytes of the laid-out list

private:
    bool noFull_ = false;
    std::vector<CM_PARTIAL_RESOURCE_DESCRIPTOR> partials_;
    std::vector<uint32_t> storage_;
};

struct IrpRequest
{
    UCHAR major = 0;
    UCHAR minor = 0;
    NTSTATUS initialStatus = 0;
    IO_STACK_LOCATION location{};  // Parameters taken as given
    std::vector<UCHAR> input;      // write data, device-control input
    ULONG outputLength = 0;        // read length, device-control output length
    bool cancel = false;           // Irp->Cancel set before sending
};
Result Send(PDEVICE_OBJECT device, const IrpRequest& request);

Result Create(PDEVICE_OBJECT device);
Result Close(PDEVICE_OBJECT device);
Result Cleanup(PDEVICE_OBJECT device);
Result Read(PDEVICE_OBJECT device, ULONG length, LONGLONG offset = 0);
Result Write(PDEVICE_OBJECT device, const std::vector<UCHAR>& data, LONGLONG offset = 0);
Result DeviceControl(PDEVICE_OBJECT device, ULONG code, const std::vector<UCHAR>& input, ULONG outputLength);
// PnP requests start with STATUS_NOT_SUPPORTED as the kernel sends them.
Result Pnp(PDEVICE_OBJECT device, UCHAR minor, PCM_RESOURCE_LIST raw = nullptr,
           PCM_RESOURCE_LIST translated = nullptr);
Result Power(PDEVICE_OBJECT device, UCHAR minor, POWER_STATE_TYPE type = DevicePowerState,
             POWER_STATE state = POWER_STATE{.DeviceState = PowerDeviceD0});
Result SystemControl(PDEVICE_OBJECT device, UCHAR minor = IRP_MN_QUERY_ALL_DATA);

// Requests that were handed to PoStartNextPowerIrp, counted over all IRPs.
int StartNextPowerIrpCalls();

// ---- Names, links, interfaces and pool --------------------------------------
std::map<std::wstring, std::wstring> SymbolicLinks();  // link -> device name
int SymbolicLinkDeletions(const std::wstring& link);   // IoDeleteSymbolicLink calls

struct Interface
{
    PDEVICE_OBJECT pdo = nullptr;
    GUID guid{};
    std::wstring name;
    bool enabled = false;
    int stateChanges = 0;  // IoSetDeviceInterfaceState calls that changed the state
};
std::vector<Interface> Interfaces();

size_t OutstandingPoolAllocations();  // pool and strings allocated for drivers, not yet freed

// ---- Threads ------------------------------------------------------------------
// A test thread the kernel keeps track of (see the waits below); joined at the
// latest when the object is destroyed, which first opens the access gate so a
// test ending early does not hang on a held access.
class Thread
{
public:
    explicit Thread(std::function<void()> body);
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    void Join();

private:
    std::thread thread_;
};

bool WaitForBlockedThreads(int count);
int BlockedThreads();

// ---- Hardware -----------------------------------------------------------------
struct Access
{
    enum class Kind
    {
        PortRead,
        PortWrite,
        RegisterRead,
        RegisterWrite
    };
    Kind kind;
    ULONGLONG address;  // port number, or physical address for register accesses
    UCHAR value;
    friend bool operator==(const Access&, const Access&) = default;
};
std::vector<Access> Accesses();
void ClearAccesses();

void SetPort(ULONG port, UCHAR value);
UCHAR PortValue(ULONG port);
void SetPhysical(ULONGLONG address, UCHAR value);
UCHAR PhysicalValue(ULONGLONG address);

struct Mapping
{
    PVOID base = nullptr;
    ULONGLONG physical = 0;
    SIZE_T length = 0;
};
std::vector<Mapping> Mappings();  // live mappings
int MapCalls();                   // successful MmMapIoSpace calls
int UnmapCalls();                 // MmUnmapIoSpace calls that released a mapping

void HoldAccesses();
void HoldInterlocked(volatile LONG* target);
bool WaitForHeldAccesses(int count);
void ReleaseAccesses();

}  // namespace hk
