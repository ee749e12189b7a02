// EEPROM contents kept across runs in a small text file: one line a chip, its number
// and then its 64 words in hexadecimal, so an engineer can read and edit it. Several
// processes may share one file, each writing its own chips.
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
inline constexpr int kLockTimeoutMs = 5000;

// The file's text read into images; a line that cannot be read is skipped with a
// warning naming `name` and the line. Takes any text: this is where files from outside
// come in.
EepromImages parseEepromImages(std::string_view text, const std::string& name,
                               std::vector<std::string>& warnings);
std::string formatEepromImages(const EepromImages& images);

// A missing file holds no images.
EepromImages loadEepromImages(const std::string& path, std::vector<std::string>& warnings);

// Puts `changed` into the file and keeps every other chip the file holds, so two
// processes writing different chips do not undo each other: under a lock on the file it
// re-reads it, replaces only those chips, writes a temporary file named for this
// process beside it and renames that into place (a run that dies mid-write leaves the
// previous contents rather than half a file).
bool saveEepromImages(const std::string& path, const EepromImages& changed);

}  // namespace lumbra
