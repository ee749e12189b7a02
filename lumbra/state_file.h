// EEPROM contents kept across runs in a small text file: a header line, then one line a
// chip, its number and then its 64 words in hexadecimal, so an engineer can read and
// edit it. Several processes may share one file; each save puts in only the words its
// process changed, so two processes editing the same chip both keep their words.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "board.h"

namespace lumbra
{

using EepromImages = std::map<int32_t, Board::Eeprom>;

// Far above what 32 chips take, far below what could hurt to hold in memory.
inline constexpr uint64_t kMaxStateFileBytes = 1 << 20;
// How long a save waits for another process's save.
inline constexpr int kLockTimeoutMs = 2000;
// The first line of every file the library writes: a file without it is someone else's.
inline constexpr std::string_view kStateHeader =
    "# lumbra simulated boards: chip number, then its 64 EEPROM words in hex";

// The file's text read into images; a line that cannot be read is left out with a
// warning naming `name` and the line. Takes any text: this is where files from outside
// come in.
EepromImages parseEepromImages(std::string_view text, const std::string& name,
                               std::vector<std::string>& warnings);
std::string formatEepromImages(const EepromImages& images);

struct LoadedImages
{
    EepromImages images;
    // False for a file the library cannot rewrite without losing something of it (not
    // its own, a line it cannot read, not a regular file, too big): the file is then left
    // as it is and the run's changes last the run only. One warning says so and why.
    bool writable = true;
};

// A missing file holds no images and may be written.
LoadedImages loadEepromImages(const std::string& path, std::vector<std::string>& warnings);

// One chip's image and which of its words (bit n for word n) this process changed
// since it last put them into the file.
struct ChangedWords
{
    uint64_t mask = 0;
    Board::Eeprom words{};
};
using EepromChanges = std::map<int32_t, ChangedWords>;

// Under the file's lock it reads the file again, puts in the changed words (a chip the
// file lacks gets its whole image), keeps every other word, and replaces the file in
// one step. A file that has meanwhile stopped being the library's own is not touched.
// Temporary files of processes that died mid-save are removed. Anything but Yes comes
// with `error` saying why.
enum class Saved
{
    Yes,
    Busy,    // another process held the lock too long; nothing was written, try again
    Failed,  // the file cannot be written or is no longer the library's own
};
Saved saveEepromWords(const std::string& path, const EepromChanges& changed, std::string& error);

}  // namespace lumbra
