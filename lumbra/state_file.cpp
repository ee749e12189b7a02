#include "state_file.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "settings.h"
#include "text.h"

namespace lumbra
{

namespace
{

std::optional<std::pair<int32_t, Board::Eeprom>> parseLine(const std::string& line)
{
    std::istringstream in(line);
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

EepromImages loadEepromImages(const std::string& path, std::vector<std::string>& warnings)
{
    EepromImages images;
    std::ifstream file(path);
    std::string line;
    for (int number = 1; std::getline(file, line); ++number)
    {
        const auto text = trim(line);
        if (text.empty() || text.front() == '#')
            continue;
        if (auto image = parseLine(line))
            images[image->first] = image->second;
        else
            warnings.push_back(path + ":" + std::to_string(number) +
                               ": not a chip number and 64 hexadecimal words; skipped");
    }
    return images;
}

bool saveEepromImages(const std::string& path, const EepromImages& images)
{
    const std::string temporary = path + ".tmp";
    bool written = false;
    {
        std::ofstream file(temporary, std::ios::trunc);
        file << "# lumbra simulated boards: chip number, then its 64 EEPROM words in hex\n";
        for (const auto& [chip, words] : images)
        {
            file << chip;
            for (const auto word : words)
            {
                char text[8];
                std::snprintf(text, sizeof text, " %04X", word);
                file << text;
            }
            file << '\n';
        }
        file.close();
        written = !file.fail();
    }
    if (written && std::rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    std::remove(temporary.c_str());
    return false;
}

}  // namespace lumbra
