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
                               ": not a chip number and 64 hexadecimal words");
    }
    return images;
}

std::string formatEepromImages(const EepromImages& images)
{
    std::string text = std::string(kStateHeader) + "\n";
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

namespace
{

bool ownHeader(std::string_view text)
{
    const auto line = text.substr(0, text.find('\n'));
    return trim(line) == kStateHeader;
}

// The images of a file the library may rewrite; an empty `problem` means it may.
EepromImages readOwnFile(const std::string& path, bool& missing, std::string& problem)
{
    std::string text;
    missing = false;
    switch (os::readFile(path, kMaxStateFileBytes, text, problem))
    {
        case os::Opened::Missing:
            missing = true;
            return {};
        case os::Opened::Refused:
            problem += "; not read";
            return {};
        case os::Opened::Read:
            break;
    }
    // An empty file holds nothing to lose; anything else must say it is ours.
    if (!text.empty() && !ownHeader(text))
    {
        problem = path + ": not a lumbra state file (its first line is not \"" + std::string(kStateHeader) +
                  "\"); left as it is";
        return {};
    }
    std::vector<std::string> unreadable;
    EepromImages images = parseEepromImages(text, path, unreadable);
    if (!unreadable.empty())
    {
        problem = unreadable.front();
        if (unreadable.size() > 1)
            problem += " (and " + std::to_string(unreadable.size() - 1) + " more such lines)";
        problem += "; the file is left as it is";
    }
    return images;
}

}  // namespace

LoadedImages loadEepromImages(const std::string& path, std::vector<std::string>& warnings)
{
    LoadedImages loaded;
    bool missing = false;
    std::string problem;
    loaded.images = readOwnFile(path, missing, problem);
    if (!problem.empty())
    {
        loaded.writable = false;
        warnings.push_back("state file " + problem + ", and EEPROM changes last this run only");
    }
    return loaded;
}

Saved saveEepromWords(const std::string& path, const EepromChanges& changed, std::string& error)
{
    bool busy = false;
    const auto lock = os::lockFile(path, kLockTimeoutMs, busy, error);
    if (!lock)
        return busy ? Saved::Busy : Saved::Failed;
    os::removeDeadTemporaries(path);
    bool missing = false;
    EepromImages images = readOwnFile(path, missing, error);
    if (!error.empty())
        return Saved::Failed;
    for (const auto& [chip, change] : changed)
    {
        const auto kept = images.find(chip);
        if (kept == images.end())
        {
            images[chip] = change.words;
            continue;
        }
        for (int word = 0; word < Board::kEepromWords; ++word)
            if (change.mask >> word & 1)
                kept->second[word] = change.words[word];
    }
    // The lock is let go only after the rename, so the next writer reads this one's file.
    return os::replaceFile(path, formatEepromImages(images), error) ? Saved::Yes : Saved::Failed;
}

}  // namespace lumbra
