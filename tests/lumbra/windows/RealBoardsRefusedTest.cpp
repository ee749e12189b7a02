// On Windows real boards are served by the board maker's own library: asked for them,
// this one fails the open and says why, on standard error and on the debugger's output
// (which a program without a console still has).
#include <windows.h>

#include <string>

#include "SimulatedBoards.h"

namespace
{

// What a debug-output viewer sees: the system writes each OutputDebugString text into
// the shared DBWIN buffer (after the writer's process id) once the viewer signals it
// ready, then signals that data is there.
class DebugOutputViewer
{
public:
    DebugOutputViewer()
    {
        ready_ = CreateEventW(nullptr, FALSE, TRUE, L"DBWIN_BUFFER_READY");
        data_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
        buffer_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER");
        view_ =
            buffer_ ? static_cast<const char*>(MapViewOfFile(buffer_, FILE_MAP_READ, 0, 0, 4096)) : nullptr;
    }
    ~DebugOutputViewer()
    {
        if (view_)
            UnmapViewOfFile(view_);
        for (HANDLE h : {buffer_, data_, ready_})
            if (h)
                CloseHandle(h);
    }
    bool listening() const { return ready_ && data_ && view_; }

    // The texts written since the last call, each handed back by the system one by one.
    std::string take()
    {
        std::string texts;
        while (WaitForSingleObject(data_, 0) == WAIT_OBJECT_0)
        {
            texts += std::string(view_ + sizeof(DWORD), strnlen(view_ + sizeof(DWORD), 4096 - sizeof(DWORD)));
            SetEvent(ready_);
        }
        return texts;
    }

private:
    HANDLE ready_ = nullptr, data_ = nullptr, buffer_ = nullptr;
    const char* view_ = nullptr;
};

}  // namespace

TEST_F(SimulatedBoards, RealBoardsAreRefusedWithTheReasonOnStandardErrorAndTheDebuggerOutput)
{
    const char* kReason = "real boards are served by the board maker's own lumbra.dll";
    for (const char* device : {"pci", "pci:7a5e:0b17", "pci:slot=00:05.0"})
    {
        DebugOutputViewer viewer;
        ASSERT_TRUE(viewer.listening());
        setEnv("LUMBRA_DEVICE", device);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(PciOpenDevice(), 0) << device;
        const std::string stderrText = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(PciFindDevice(), 0) << "the library stays closed";
        EXPECT_EQ(stderrText.rfind("lumbra: LUMBRA_DEVICE=\"" + std::string(device) + "\"", 0), 0u)
            << stderrText;
        EXPECT_NE(stderrText.find(kReason), std::string::npos) << stderrText;
        const std::string debugText = viewer.take();
        EXPECT_EQ(debugText.rfind("lumbra: LUMBRA_DEVICE=", 0), 0u) << debugText;
        EXPECT_NE(debugText.find(kReason), std::string::npos) << debugText;
    }
    setEnv("LUMBRA_DEVICE", "sim");
    EXPECT_EQ(PciOpenDevice(), 1) << "the simulated boards are still there";
    EXPECT_EQ(PciFindDevice(), 2);
}
