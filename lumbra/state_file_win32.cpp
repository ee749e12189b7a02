#include <windows.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "state_file_os.h"
#include "win32_text.h"

namespace lumbra::os
{

namespace
{

using Clock = std::chrono::steady_clock;

std::string describe(DWORD code)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text, length);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    if (message.empty())
        return "error " + std::to_string(code);
    return narrow(message) + " (error " + std::to_string(code) + ")";
}

std::string reason(const std::string& path) { return path + ": " + describe(GetLastError()); }

bool isSeparator(char c) { return c == '\\' || c == '/'; }

size_t lastSeparator(const std::string& path)
{
    const auto at = path.find_last_of("\\/");
    return at == std::string::npos ? 0 : at + 1;
}

bool missing(DWORD code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

// Other processes may read, write, and rename or replace the file while it is open
// here; without FILE_SHARE_DELETE a reader would make a writer's replace fail.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class Handle
{
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle()
    {
        if (valid())
            CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    // Closes now, for a caller that must know whether the close lost data.
    bool close()
    {
        const bool closed = CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE h_;
};

bool writeAll(HANDLE file, const std::string& text)
{
    for (size_t done = 0; done < text.size();)
    {
        DWORD put = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1 << 20));
        if (!WriteFile(file, text.data() + done, chunk, &put, nullptr) || put == 0)
            return false;
        done += put;
    }
    return true;
}

class Win32Lock : public FileLock
{
public:
    explicit Win32Lock(HANDLE file) : file_(file) {}
    ~Win32Lock() override
    {
        OVERLAPPED whole{};
        UnlockFileEx(file_.get(), 0, MAXDWORD, MAXDWORD, &whole);
    }

private:
    Handle file_;
};

// The name beside the state file that saves lock. Windows cannot replace a file that a
// process holds open, so the lock cannot live on the state file itself, whose name a
// save replaces; this one is never replaced, so a lock on it is always on the file
// every other process locks.
std::string lockName(const std::string& path) { return path + ".lock"; }

}  // namespace

// Windows' links are followed by the calls themselves, and replacing the name puts a
// file in place of the link; only a link that leads nowhere is worth a word.
std::string resolveLinks(const std::string& path, std::string& error)
{
    const std::wstring name = widen(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return path;
    Handle target(
        CreateFileW(name.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!target.valid())
    {
        if (missing(GetLastError()))
            return path;
        error = reason(path);
        return {};
    }
    wchar_t final[MAX_PATH * 4];
    const DWORD length =
        GetFinalPathNameByHandleW(target.get(), final, std::size(final), FILE_NAME_NORMALIZED);
    if (length == 0 || length >= std::size(final))
    {
        error = reason(path);
        return {};
    }
    std::wstring resolved(final, length);
    if (resolved.rfind(L"\\\\?\\UNC\\", 0) == 0)
        resolved = L"\\\\" + resolved.substr(8);
    else if (resolved.rfind(L"\\\\?\\", 0) == 0)
        resolved = resolved.substr(4);
    return narrow(resolved);
}

Opened readFile(const std::string& path, uint64_t maxBytes, std::string& text, std::string& error)
{
    text.clear();
    Handle file(CreateFileW(widen(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
    {
        if (missing(GetLastError()))
            return Opened::Missing;
        error = reason(path);
        return Opened::Refused;
    }
    LARGE_INTEGER size{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK)
    {
        error = path + ": not a regular file";
        return Opened::Refused;
    }
    if (!GetFileSizeEx(file.get(), &size))
    {
        error = reason(path);
        return Opened::Refused;
    }
    if (static_cast<uint64_t>(size.QuadPart) > maxBytes)
    {
        error = path + ": " + std::to_string(size.QuadPart) + " bytes, more than the " +
                std::to_string(maxBytes) + " a state file can have";
        return Opened::Refused;
    }
    char buffer[4096];
    for (;;)
    {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr))
        {
            error = reason(path);
            return Opened::Refused;
        }
        if (got == 0)
            return Opened::Read;
        if (text.size() + got > maxBytes)
        {
            error = path + ": grew past " + std::to_string(maxBytes) + " bytes while read";
            return Opened::Refused;
        }
        text.append(buffer, got);
    }
}

std::unique_ptr<FileLock> lockFile(const std::string& path, int timeoutMs, bool& busy, std::string& error)
{
    busy = false;
    const std::string name = lockName(path);
    HANDLE file = CreateFileW(widen(name).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        error = reason(name);
        return nullptr;
    }
    auto lock = std::make_unique<Win32Lock>(file);
    // LockFileEx waits without a limit or not at all; the time limit is polled.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;)
    {
        OVERLAPPED whole{};
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                       &whole))
            return lock;
        const DWORD code = GetLastError();
        if (code != ERROR_LOCK_VIOLATION && code != ERROR_IO_PENDING)
        {
            SetLastError(code);
            error = reason(name);
            break;
        }
        if (Clock::now() >= deadline)
        {
            busy = true;
            error = path + ": another process held it for more than " + std::to_string(timeoutMs) + " ms";
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    // Not locked: the destructor must not unlock another process's range.
    lock.release();
    CloseHandle(file);
    return nullptr;
}

std::string temporaryName(const std::string& path)
{
    return path + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
}

bool replaceFile(const std::string& path, const std::string& text, std::string& error)
{
    const std::string temporary = temporaryName(path);
    const std::wstring wideTemporary = widen(temporary);
    Handle file(CreateFileW(wideTemporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
    {
        error = reason(temporary);
        return false;
    }
    bool saved = writeAll(file.get(), text);
    if (!saved)
        error = reason(temporary);
    if (!file.close() && saved)
        error = reason(temporary), saved = false;
    // A reader may hold the file open for a moment (without FILE_SHARE_DELETE if it is
    // not this library), and Windows refuses to replace it until it lets go.
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (saved && !MoveFileExW(wideTemporary.c_str(), widen(path).c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    {
        const DWORD code = GetLastError();
        if ((code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION) || Clock::now() >= deadline)
        {
            SetLastError(code);
            error = reason(path), saved = false;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!saved)
        DeleteFileW(wideTemporary.c_str());
    return saved;
}

void removeDeadTemporaries(const std::string& path)
{
    const size_t nameAt = lastSeparator(path);
    const std::string folder = path.substr(0, nameAt);
    const std::string prefix = path.substr(nameAt) + ".";
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(widen(path + ".*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
    {
        const std::string name = narrow(found.cFileName);
        if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - 4, 4, ".tmp") != 0)
            continue;
        const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        if (digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        if (!processAlive(std::stoll(digits)))
            DeleteFileW(widen(folder + name).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

bool processAlive(int64_t pid)
{
    if (pid <= 0 || pid > static_cast<int64_t>(MAXDWORD))
        return false;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr)
        // Another user's process cannot be opened, but it runs.
        return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

bool createNewFile(const std::string& path, const std::string& text, bool& exists, std::string& error)
{
    exists = false;
    const std::wstring name = widen(path);
    Handle file(
        CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
    {
        exists = GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS;
        error = reason(path);
        return false;
    }
    // A backup is only worth something once it is on the disk.
    bool written = writeAll(file.get(), text) && FlushFileBuffers(file.get());
    if (!written)
        error = reason(path);
    if (!file.close() && written)
        error = reason(path), written = false;
    if (!written)
        DeleteFileW(name.c_str());
    return written;
}

// Programs keep a user's state in the local application data folder.
std::string userStateFolder(const Getenv& getenv, std::string& error)
{
    const char* local = getenv("LOCALAPPDATA");
    const std::string folder = local != nullptr ? local : "";
    const bool absolute = (folder.size() >= 3 && folder[1] == ':' && isSeparator(folder[2])) ||
                          (folder.size() >= 2 && isSeparator(folder[0]) && isSeparator(folder[1]));
    if (absolute)
        return folder;
    error = "LOCALAPPDATA names no folder";
    return {};
}

// Folders under the user's own inherit their access from it, which is the user's alone.
bool makeFolders(const std::string& path, std::string& error)
{
    const bool share = path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]);
    for (size_t end = path.find_first_of("\\/", 1);; end = path.find_first_of("\\/", end + 1))
    {
        const std::string part = path.substr(0, end);
        // A drive ("C:") or a share's server and name are there or not; they are not made.
        const bool top = (part.size() == 2 && part[1] == ':') ||
                         (share && std::count_if(part.begin(), part.end(), isSeparator) <= 3);
        const std::wstring name = widen(part);
        if (!top && !CreateDirectoryW(name.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        {
            error = reason(part);
            return false;
        }
        const DWORD attributes = GetFileAttributesW(name.c_str());
        if (!top && (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)))
        {
            error = part + ": not a folder";
            return false;
        }
        if (end == std::string::npos)
            return true;
    }
}

}  // namespace lumbra::os
