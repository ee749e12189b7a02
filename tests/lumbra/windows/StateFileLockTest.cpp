// On Windows another process's lock is LockFileEx on the file beside the state file
// that saves lock (the state file itself is replaced by every save, which Windows
// refuses while a process holds it open).
#include <windows.h>

#include "KeptState.h"

TEST_F(KeptState, ASaveThatCannotGetTheLockFailsTheWriteAndTriesAgainLater)
{
    HANDLE other = INVALID_HANDLE_VALUE;
    expectSavesWaitForTheLock(
        [&]
        {
            other = CreateFileA((path_ + ".lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(other, INVALID_HANDLE_VALUE);
            OVERLAPPED whole{};
            ASSERT_TRUE(LockFileEx(other, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole));
        },
        [&] { CloseHandle(other); });
}
