#include "sim_bus.h"

#include "state_file_os.h"

namespace lumbra
{

void SimBus::open(const Settings& settings, std::vector<std::string>& warnings)
{
    catchUp();
    clock_.start(settings.pulseHz, nowNs_());
    stateFile_.clear();
    LoadedImages kept;
    if (!settings.stateFile.empty())
    {
        // A link is followed, so the save replaces its target and the link stays.
        std::string error;
        const std::string target = os::resolveLinks(settings.stateFile, error);
        if (target.empty())
            warnings.push_back("state file " + error + "; not read, and EEPROM changes last this run only");
        else
        {
            kept = loadEepromImages(target, warnings);
            if (kept.writable)
                stateFile_ = target;
        }
    }
    while (boards_.size() < static_cast<size_t>(settings.chips))
    {
        const auto chip = static_cast<int32_t>(boards_.size() + 1);
        const auto image = kept.images.find(chip);
        boards_.emplace_back(chip, image != kept.images.end() ? image->second : Board::factoryEeprom(chip));
        synced_.push_back(boards_.back().eeprom());
        raised_.push_back(0);
        seen_.push_back(0);
    }
    for (auto& board : boards_)
    {
        board.inport = settings.inport;
        board.inportLoopback = settings.inportLoopback;
    }
    chips_ = settings.chips;
}

void SimBus::close()
{
    catchUp();
    clock_.start(0, nowNs_());
}

Board* SimBus::board(int32_t chip)
{
    if (!isBoard(chip))
        return nullptr;
    return &boards_[static_cast<size_t>(chip - 1)];
}

// Pulses are credited lazily, at every access; since a register can only change through
// an access, crediting first counts every pulse under the settings it came in under.
void SimBus::catchUp()
{
    const uint64_t pulses = clock_.take(nowNs_());
    if (pulses == 0)
        return;
    for (size_t i = 0; i < boards_.size(); ++i)
        raised_[i] += boards_[i].advance(pulses);
}

Board* SimBus::reach(int32_t chip)
{
    catchUp();
    return board(chip);
}

bool SimBus::advance(int32_t chip, uint64_t pulses)
{
    Board* b = reach(chip);
    if (!b)
        return false;
    raised_[static_cast<size_t>(chip - 1)] += b->advance(pulses);
    return true;
}

std::optional<uint32_t> SimBus::readConfig(int32_t chip, uint32_t offset)
{
    Board* b = reach(chip);
    return b ? b->readConfig(offset) : std::nullopt;
}

bool SimBus::writeConfig(int32_t chip, uint32_t offset, uint32_t value)
{
    Board* b = reach(chip);
    return b && b->writeConfig(offset, value);
}

std::optional<uint8_t> SimBus::readPort(int32_t chip, uint32_t offset)
{
    Board* b = reach(chip);
    return b ? b->readPort(offset) : std::nullopt;
}

bool SimBus::writePort(int32_t chip, uint32_t offset, uint8_t value)
{
    Board* b = reach(chip);
    return b && b->writePort(offset, value);
}

std::optional<uint32_t> SimBus::readMemory(int32_t chip, uint32_t offset)
{
    Board* b = reach(chip);
    return b ? b->readMemory(offset, nowNs_()) : std::nullopt;
}

bool SimBus::writeMemory(int32_t chip, uint32_t offset, uint32_t value)
{
    Board* b = reach(chip);
    if (!b || !b->writeMemory(offset, value, nowNs_()))
        return false;
    return !b->takeEepromChange() || keepEeprom();
}

std::optional<uint32_t> SimBus::waitInterrupt(int32_t chip, int)
{
    catchUp();
    if (!board(chip))
        return std::nullopt;
    const auto i = static_cast<size_t>(chip - 1);
    const uint64_t fresh = raised_[i] - seen_[i];
    seen_[i] = raised_[i];
    return static_cast<uint32_t>(fresh);
}

// Only the words that changed since the file last took this process's words go in, so
// another process's words in the same chip stay.
bool SimBus::keepEeprom()
{
    if (stateFile_.empty())
        return true;
    EepromChanges changed;
    for (size_t i = 0; i < boards_.size(); ++i)
    {
        ChangedWords change{0, boards_[i].eeprom()};
        for (int word = 0; word < Board::kEepromWords; ++word)
            if (change.words[word] != synced_[i][word])
                change.mask |= uint64_t{1} << word;
        if (change.mask != 0)
            changed[static_cast<int32_t>(i + 1)] = change;
    }
    std::string error;
    switch (saveEepromWords(stateFile_, changed, error))
    {
        case Saved::Yes:
            for (const auto& [chip, change] : changed)
                synced_[static_cast<size_t>(chip - 1)] = change.words;
            return true;
        case Saved::Busy:
            // The word is in the EEPROM but not in the file: the write fails, and the next save
            // tries again.
            warn_("cannot save to state file " + error + "; the EEPROM write is not kept");
            return false;
        case Saved::Failed:
            break;
    }
    warn_("cannot write state file " + error + "; EEPROM changes last this run only");
    stateFile_.clear();
    return true;
}

}  // namespace lumbra
