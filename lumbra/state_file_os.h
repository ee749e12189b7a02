// The operating system's part of the state file and of the EEPROM backups: opening,
// locking, reading and replacing files, cleaning up after dead processes, and where a
// user's state belongs. The rules (what is read, what is merged, what is refused) stay
// with the callers; these functions only do the file operations, and when one fails
// they say why in the system's own words through `error`.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "settings.h"

namespace lumbra::os
{

// A hold on the state file that keeps other processes' saves out until it is
// destroyed.
class FileLock
{
public:
    virtual ~FileLock() = default;
};

enum class Opened
{
    Read,     // `text` holds the whole file
    Missing,  // nothing there yet
    Refused,  // not a regular file, too big, or not readable: `error` says which
};

// Follows symbolic links to the file they lead to, which need not exist yet, so that a
// save replaces the target and leaves the link in place. Empty with `error` set when
// the links go round in a circle or cannot be read.
std::string resolveLinks(const std::string& path, std::string& error);

// Reads a regular file of at most maxBytes. Anything else (a device, a FIFO, a
// folder, a file that grows past the bound while being read) is refused without
// waiting on it.
Opened readFile(const std::string& path, uint64_t maxBytes, std::string& text, std::string& error);

// Takes the exclusive lock on the state file at `path` (created empty when missing),
// waiting at most timeoutMs for another process to let go. The lock is on the file the
// path names when it returns, even if another process renamed a new one into place
// meanwhile. Null with `error` set when it cannot be had, and `busy` set when that is
// because another process held it all that time.
std::unique_ptr<FileLock> lockFile(const std::string& path, int timeoutMs, bool& busy, std::string& error);

// Puts `text` into `path` as one step: a temporary file named for this process
// (`temporaryName`) is written beside it and renamed over it, so a process that dies
// mid-save leaves the earlier contents rather than half a file.
bool replaceFile(const std::string& path, const std::string& text, std::string& error);

// "<path>.<process id>.tmp", the temporary file this process's saves use.
std::string temporaryName(const std::string& path);

// Removes the temporary files beside `path` left by processes that no longer run.
void removeDeadTemporaries(const std::string& path);

bool processAlive(int64_t pid);

// Writes a file that must not exist yet; false with `exists` set when it does, so an
// earlier file is never overwritten.
bool createNewFile(const std::string& path, const std::string& text, bool& exists, std::string& error);

// The folder where this user's programs keep state ($XDG_STATE_HOME, else
// ~/.local/state); empty with `error` set when neither is known.
std::string userStateFolder(const Getenv& getenv, std::string& error);

// Creates the folder and the folders above it as needed, for this user only.
bool makeFolders(const std::string& path, std::string& error);

}  // namespace lumbra::os
