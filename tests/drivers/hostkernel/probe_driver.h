// A small function driver written against the kernel headers, so the tests
// exercise the hostkernel the way a real driver does. Each test sets what the
// probe does with the requests it receives.
#pragma once

#include <ntddk.h>

namespace probe
{

enum class Action
{
    Complete,         // complete here with `status`
    Skip,             // skip the stack location and pass down
    CopyNoRoutine,    // copy to next, no completion routine, pass down
    ForwardAndWait,   // copy, completion routine that signals an event, wait, complete
    MarkAndPassDown,  // mark pending, pass down, return STATUS_PENDING
    PendingUnmarked,  // complete, then return STATUS_PENDING without marking
    CompleteTwice,    // complete the request two times
    FillOutput,       // write `fill` into the system buffer, information `information`
};

struct Settings
{
    Action action = Action::Skip;
    NTSTATUS status = STATUS_SUCCESS;
    int completionRoutineCalls = 0;
    NTSTATUS statusSeenByRoutine = 0;
    BOOLEAN pendingSeenByRoutine = FALSE;
    PDEVICE_OBJECT deviceSeenByRoutine = nullptr;
    NTSTATUS lowerReturned = 0;
    UCHAR fill = 0;
    ULONG_PTR information = 0;
    ULONG systemBufferBytes = 0;  // bytes FillOutput wrote
};

struct Extension
{
    PDEVICE_OBJECT Lower;
};

Settings& settings();
NTSTATUS Entry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

}  // namespace probe
