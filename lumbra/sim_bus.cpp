#include "sim_bus.h"

namespace lumbra
{

void SimBus::open(const Settings& settings, std::vector<std::string>& warnings)
{
    catchUp();
    clock_.start(settings.pulseHz, nowNs_());
    stateFile_ = settings.stateFile;
    EepromImages kept;
    if (!stateFile_.empty())
        kept = loadEepromImages(stateFile_, warnings);
    while (boards_.size() < static_cast<size_t>(settings.chips))
    {
        const auto chip = static_cast<int32_t>(boards_.size() + 1);
        const auto image = kept.find(chip);
        boards_.emplace_back(chip, image != kept.end() ? image->second : Board::factoryEeprom(chip));
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
    if (b->takeEepromChange())
        keepEeprom(chip);
    return true;
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

void SimBus::keepEeprom(int32_t chip)
{
    if (stateFile_.empty())
        return;
    unsaved_.insert(chip);
    EepromImages changed;
    for (int32_t c : unsaved_)
        changed[c] = boards_[static_cast<size_t>(c - 1)].eeprom();
    if (!saveEepromImages(stateFile_, changed))
    {
        warn_("cannot write " + stateFile_ + "; the EEPROM change lasts this run only");
        return;
    }
    unsaved_.clear();
}

}  // namespace lumbra
