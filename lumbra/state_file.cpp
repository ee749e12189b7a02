#include "state_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "settings.h"
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

std::string readAll(int fd)
{
    std::string text;
    char buffer[4096];
    for (off_t at = 0;;)
    {
        const ssize_t got = pread(fd, buffer, sizeof buffer, at);
        if (got <= 0)
            return text;
        text.append(buffer, static_cast<size_t>(got));
        at += got;
    }
}

bool writeAll(int fd, const std::string& text)
{
    for (size_t done = 0; done < text.size();)
    {
        const ssize_t put = write(fd, text.data() + done, text.size() - done);
        if (put <= 0)
            return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

// Opens and locks the file, making sure the lock is on the file the path names now: a
// process that was waiting while another renamed a new file into place must not go on
// holding a lock on the old one.
int lockCurrentFile(const std::string& path)
{
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            return -1;
        struct stat locked, named;
        if (flock(fd, LOCK_EX) == 0 && fstat(fd, &locked) == 0 && stat(path.c_str(), &named) == 0 &&
            locked.st_ino == named.st_ino && locked.st_dev == named.st_dev)
            return fd;
        close(fd);
    }
    return -1;
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
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    const std::string text = readAll(fd);
    close(fd);
    return parseEepromImages(text, path, warnings);
}

bool saveEepromImages(const std::string& path, const EepromImages& changed)
{
    const int lock = lockCurrentFile(path);
    if (lock < 0)
        return false;
    // What other processes wrote stays; their malformed lines were warned about when read.
    std::vector<std::string> ignored;
    EepromImages images = parseEepromImages(readAll(lock), path, ignored);
    for (const auto& [chip, words] : changed)
        images[chip] = words;

    const std::string temporary = path + "." + std::to_string(getpid()) + ".tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool saved = fd >= 0 && writeAll(fd, formatEepromImages(images));
    if (fd >= 0)
        saved = close(fd) == 0 && saved;
    saved = saved && std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!saved)
        std::remove(temporary.c_str());
    close(lock);  // only now, so the next writer reads what this one renamed in
    return saved;
}

}  // namespace lumbra
