#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "state_file_os.h"

namespace lumbra::os
{

namespace
{

std::string reason(const std::string& path) { return path + ": " + std::strerror(errno); }

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(int fd, const std::string& text)
{
    for (size_t done = 0; done < text.size();)
    {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

class PosixLock : public FileLock
{
public:
    explicit PosixLock(int fd) : fd_(fd) {}
    ~PosixLock() override { ::close(fd_); }

private:
    int fd_;
};

}  // namespace

std::string resolveLinks(const std::string& path, std::string& error)
{
    std::string at = path;
    for (int depth = 0; depth < 40; ++depth)
    {
        struct stat info;
        if (lstat(at.c_str(), &info) != 0)
        {
            if (errno == ENOENT)
                return at;
            error = reason(at);
            return {};
        }
        if (!S_ISLNK(info.st_mode))
            return at;
        char target[4096];
        const ssize_t length = readlink(at.c_str(), target, sizeof target - 1);
        if (length < 0)
        {
            error = reason(at);
            return {};
        }
        const std::string next(target, static_cast<size_t>(length));
        at = next.front() == '/' ? next : folderOf(at) + "/" + next;
    }
    error = path + ": symbolic links go round in a circle";
    return {};
}

Opened readFile(const std::string& path, uint64_t maxBytes, std::string& text, std::string& error)
{
    // Non-blocking, so that a FIFO or a terminal named by mistake cannot hold the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
    {
        if (errno == ENOENT)
            return Opened::Missing;
        error = reason(path);
        return Opened::Refused;
    }
    struct stat info;
    Opened result = Opened::Read;
    if (fstat(fd, &info) != 0)
        error = reason(path), result = Opened::Refused;
    else if (!S_ISREG(info.st_mode))
        error = path + ": not a regular file", result = Opened::Refused;
    else if (static_cast<uint64_t>(info.st_size) > maxBytes)
        error = path + ": " + std::to_string(info.st_size) + " bytes, more than the " +
                std::to_string(maxBytes) + " a state file can have",
        result = Opened::Refused;
    text.clear();
    char buffer[4096];
    while (result == Opened::Read)
    {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error = reason(path), result = Opened::Refused;
        else if (got == 0)
            break;
        else if (text.size() + static_cast<size_t>(got) > maxBytes)
            error = path + ": grew past " + std::to_string(maxBytes) + " bytes while read",
            result = Opened::Refused;
        else
            text.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return result;
}

std::unique_ptr<FileLock> lockFile(const std::string& path, int timeoutMs, bool& busy, std::string& error)
{
    busy = false;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;)
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
        if (fd < 0)
        {
            error = reason(path);
            return nullptr;
        }
        struct stat locked, named;
        const bool stated = fstat(fd, &locked) == 0;
        if (!stated || !S_ISREG(locked.st_mode))
        {
            error = stated ? path + ": not a regular file" : reason(path);
            ::close(fd);
            return nullptr;
        }
        while (flock(fd, LOCK_EX | LOCK_NB) != 0 && (errno == EWOULDBLOCK || errno == EINTR) &&
               Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        {
            // A process that was waiting while another renamed a new file into place must
            // not go on holding a lock on the old one.
            if (stat(path.c_str(), &named) == 0 && locked.st_ino == named.st_ino &&
                locked.st_dev == named.st_dev)
                return std::make_unique<PosixLock>(fd);
        }
        ::close(fd);
        if (Clock::now() >= deadline)
        {
            busy = true;
            error = path + ": another process held it for more than " + std::to_string(timeoutMs) + " ms";
            return nullptr;
        }
    }
}

std::string temporaryName(const std::string& path) { return path + "." + std::to_string(getpid()) + ".tmp"; }

bool replaceFile(const std::string& path, const std::string& text, std::string& error)
{
    struct stat info;
    const mode_t mode = stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0644;
    const std::string temporary = temporaryName(path);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
    {
        error = reason(temporary);
        return false;
    }
    bool saved = writeAll(fd, text);
    if (!saved)
        error = reason(temporary);
    if (::close(fd) != 0 && saved)
        error = reason(temporary), saved = false;
    if (saved && std::rename(temporary.c_str(), path.c_str()) != 0)
        error = reason(path), saved = false;
    if (!saved)
        ::unlink(temporary.c_str());
    return saved;
}

void removeDeadTemporaries(const std::string& path)
{
    const std::string folder = folderOf(path);
    const std::string prefix = path.substr(path.rfind('/') + 1) + ".";
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return;
    while (const dirent* entry = readdir(dir))
    {
        const std::string name = entry->d_name;
        if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - 4, 4, ".tmp") != 0)
            continue;
        const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        if (digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        if (!processAlive(std::stoll(digits)))
            ::unlink((folder + "/" + name).c_str());
    }
    closedir(dir);
}

bool processAlive(int64_t pid)
{
    if (pid <= 0 || pid != static_cast<pid_t>(pid))
        return false;
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool createNewFile(const std::string& path, const std::string& text, bool& exists, std::string& error)
{
    exists = false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
    {
        exists = errno == EEXIST;
        error = reason(path);
        return false;
    }
    // A backup is only worth something once it is on the disk.
    bool written = writeAll(fd, text) && fsync(fd) == 0;
    if (!written)
        error = reason(path);
    if (::close(fd) != 0 && written)
        error = reason(path), written = false;
    if (!written)
        ::unlink(path.c_str());
    return written;
}

std::string userStateFolder(const Getenv& getenv, std::string& error)
{
    const char* state = getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/')
        return state;
    const char* home = getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return std::string(home) + "/.local/state";
    error = "neither XDG_STATE_HOME nor HOME names a folder";
    return {};
}

bool makeFolders(const std::string& path, std::string& error)
{
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1))
    {
        const std::string part = path.substr(0, end);
        struct stat info;
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
        {
            error = reason(part);
            return false;
        }
        if (stat(part.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        {
            error = part + ": not a folder";
            return false;
        }
        if (end == std::string::npos)
            return true;
    }
}

}  // namespace lumbra::os
