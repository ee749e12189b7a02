// Windows has no fork(): the test program starts itself again, once for each of the
// two processes, running only the writer case below with LUMBRA_TEST_WRITER saying
// which process it is and what sharing it writes.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "KeptState.h"

namespace
{

constexpr wchar_t kWriterVariable[] = L"LUMBRA_TEST_WRITER";

}  // namespace

// Not a test of its own: the body of one of writeInTwoProcesses' processes. It ends the
// process with the outcome before GoogleTest could report anything.
TEST(StateFileWriter, DISABLED_OneOfTwoProcesses)
{
    const char* role = std::getenv("LUMBRA_TEST_WRITER");
    if (role == nullptr)
        GTEST_SKIP() << "only run by writeInTwoProcesses";
    const int p = role[0] - '0', sharing = role[2] - '0';
    ExitProcess(writeAsProcess(p, kSharings[sharing]) == 0 ? 0 : 1);
}

std::vector<int64_t> writeInTwoProcesses(int sharing)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command =
        L"\"" + std::wstring(self) +
        L"\" --gtest_also_run_disabled_tests --gtest_filter=StateFileWriter.DISABLED_OneOfTwoProcesses";
    // The writers' own GoogleTest lines would end up among this program's.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE quiet =
        CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    std::vector<int64_t> ids;
    HANDLE processes[2] = {};
    for (int p : {0, 1})
    {
        const std::wstring role = std::to_wstring(p) + L"," + std::to_wstring(sharing);
        SetEnvironmentVariableW(kWriterVariable, role.c_str());
        STARTUPINFOW start{};
        start.cb = sizeof start;
        start.dwFlags = STARTF_USESTDHANDLES;
        start.hStdInput = quiet;
        start.hStdOutput = quiet;
        start.hStdError = quiet;
        PROCESS_INFORMATION started{};
        std::wstring line = command;
        const bool ok =
            CreateProcessW(self, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &started);
        EXPECT_TRUE(ok) << "cannot start writer " << p << ": error " << GetLastError();
        if (!ok)
            continue;
        CloseHandle(started.hThread);
        processes[p] = started.hProcess;
        ids.push_back(started.dwProcessId);
    }
    SetEnvironmentVariableW(kWriterVariable, nullptr);
    for (HANDLE process : processes)
    {
        if (process == nullptr)
            continue;
        EXPECT_EQ(WaitForSingleObject(process, 120'000), WAIT_OBJECT_0);
        DWORD code = 1;
        GetExitCodeProcess(process, &code);
        EXPECT_EQ(code, 0u) << "a write or save failed in a writer";
        CloseHandle(process);
    }
    CloseHandle(quiet);
    return ids;
}
