// EEPROM contents kept across runs in a small text file: one line a chip, its number
// and then its 64 words in hexadecimal, so an engineer can read and edit it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "board.h"

namespace lumbra
{

using EepromImages = std::map<int32_t, Board::Eeprom>;

// A missing file holds no images; a line that cannot be read is skipped with a warning.
EepromImages loadEepromImages(const std::string& path, std::vector<std::string>& warnings);

// Replaces the file whole (written beside it, then renamed), so a run that dies
// mid-write leaves the previous contents rather than half a file.
bool saveEepromImages(const std::string& path, const EepromImages& images);

}  // namespace lumbra
