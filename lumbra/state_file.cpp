#include "state_file.h"

#include <cstdio>
#include <sstream>

#include "settings.h"
#include "state_file_os.h"
#include "text.h"

namespace lumbra
{

namespace
{

std::optional<std::pair<int32_t, Board::Eeprom>> parseLine(std::string_view line)
{
    std::istringstream in{std::string(line)};
    std::string token;
    if (!(in >> token))
        return std::nullopt;
    const auto chip = parseNumber(token, kMaxChips);
    if (!chip || *chip == 0)
        return std::nullopt;
    Board::Eeprom words;
    for (auto& word : words)
    {
        if (!(in >> token))
            return std::nullopt;
        const auto value = parseHex(token, 0xFFFF);
        if (!value)
            return std::nullopt;
        word = static_cast<uint16_t>(*value);
    }
    if (in >> token)
        return std::nullopt;
    return std::pair{static_cast<int32_t>(*chip), words};
}

}  // namespace

EepromImages parseEepromImages(std::string_view text, const std::string& name,
                               std::vector<std::string>& warnings)
{
    EepromImages images;
    for (int number = 1; !text.empty(); ++number)
    {
        const auto end = std::min(text.find('\n'), text.size());
        const auto line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const auto trimmed = trim(line);
        if (trimmed.empty() || trimmed.front() == '#')
            continue;
        if (auto image = parseLine(line))
            images[image->first] = image->second;
        else
            warnings.push_back(name + ":" + std::to_string(number) +
                               ": not a chip number and 64 hexadecimal words; skipped");
    }
    return images;
}

std::string formatEepromImages(const EepromImages& images)
{
    std::string text = "# lumbra simulated boards: chip number, then its 64 EEPROM words in hex\n";
    for (const auto& [chip, words] : images)
    {
        text += std::to_string(chip);
        for (const auto word : words)
        {
            char hex[8];
            std::snprintf(hex, sizeof hex, " %04X", word);
            text += hex;
        }
        text += '\n';
    }
    return text;
}

EepromImages loadEepromImages(const std::string& path, std::vector<std::string>& warnings)
{
    std::string text, error;
    if (os::readFile(path, kMaxStateFileBytes, text, error) != os::Opened::Read)
        return {};
    return parseEepromImages(text, path, warnings);
}

bool saveEepromImages(const std::string& path, const EepromImages& changed)
{
    std::string error;
    const auto lock = os::lockFile(path, kLockTimeoutMs, error);
    if (!lock)
        return false;
    // What other processes wrote stays; their malformed lines were warned about when read.
    std::string text;
    std::vector<std::string> ignored;
    os::readFile(path, kMaxStateFileBytes, text, error);
    EepromImages images = parseEepromImages(text, path, ignored);
    for (const auto& [chip, words] : changed)
        images[chip] = words;
    // The lock is let go only after the rename, so the next writer reads this one's file.
    return os::replaceFile(path, formatEepromImages(images), error);
}

}  // namespace lumbra
