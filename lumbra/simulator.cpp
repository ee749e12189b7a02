#include "simulator.h"

namespace lumbra
{

namespace
{

int16_t deliver(std::optional<uint32_t> value, int32_t* out)
{
    if (!value || out == nullptr)
        return 0;
    *out = static_cast<int32_t>(*value);
    return 1;
}

void putLittleEndian(uint8_t* at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

bool Simulator::enter(Fn fn, std::optional<int32_t> chip, std::optional<int32_t> address)
{
    if (!open_)
        return false;
    catchUp();
    return !faults_.failsNow(fn, chip, address);
}

Board* Simulator::enterChip(Fn fn, int32_t chip, std::optional<int32_t> address)
{
    return enter(fn, chip, address) ? boardFor(chip) : nullptr;
}

Board* Simulator::boardFor(int32_t chip)
{
    if (chip < 1 || chip > settings_.chips)
        return nullptr;
    return &boards_[static_cast<size_t>(chip - 1)];
}

// Pulses are credited lazily, whenever the library is entered; since the mask can only
// change inside a call, crediting first counts every pulse under the mask it came in.
void Simulator::catchUp()
{
    const uint64_t pulses = clock_.take(host_.nowNs());
    if (pulses == 0)
        return;
    for (size_t i = 0; i < boards_.size(); ++i)
        boards_[i].cadmir.advance(pulses, counting(static_cast<int32_t>(i + 1)));
}

void Simulator::releaseInterrupt()
{
    if (intrChip_ != 0)
        boards_[static_cast<size_t>(intrChip_ - 1)].cadmir.disarm();
    intrChip_ = 0;
    masked_ = true;
}

void Simulator::keepEeproms()
{
    if (settings_.stateFile.empty())
        return;
    for (size_t i = 0; i < boards_.size(); ++i)
        kept_[static_cast<int32_t>(i + 1)] = boards_[i].eeprom();
    if (!saveEepromImages(settings_.stateFile, kept_))
        report({"cannot write " + settings_.stateFile + "; the EEPROM change lasts this run only"});
}

void Simulator::report(const std::vector<std::string>& warnings) const
{
    for (const auto& line : warnings)
        host_.warn(line);
}

int16_t Simulator::PciOpenDevice()
{
    std::vector<std::string> warnings;
    Settings settings = readSettings(host_.getenv, warnings);
    if (settings.faults != faultText_)
    {
        faults_ = FaultPlan::parse(settings.faults, warnings);
        faultText_ = settings.faults;
    }
    if (open_)
        catchUp();
    if (faults_.failsNow(Fn::PciOpenDevice, {}, {}))
    {
        report(warnings);
        return 0;
    }

    settings_ = std::move(settings);
    clock_.start(settings_.pulseHz, host_.nowNs());
    if (settings_.stateFile.empty())
        kept_.clear();
    else
        kept_ = loadEepromImages(settings_.stateFile, warnings);
    report(warnings);
    while (boards_.size() < static_cast<size_t>(settings_.chips))
    {
        const auto chip = static_cast<int32_t>(boards_.size() + 1);
        const auto kept = kept_.find(chip);
        boards_.emplace_back(chip, kept != kept_.end() ? kept->second : Board::factoryEeprom(chip));
    }
    if (intrChip_ > settings_.chips)
        releaseInterrupt();
    open_ = true;
    return 1;
}

int16_t Simulator::PciCloseDevice()
{
    if (!enter(Fn::PciCloseDevice))
        return 0;
    releaseInterrupt();
    open_ = false;
    return 1;
}

int32_t Simulator::PciGetVxdVersion() { return enter(Fn::PciGetVxdVersion) ? kVxdVersion : 0; }

int32_t Simulator::PciFindDevice() { return enter(Fn::PciFindDevice) ? settings_.chips : 0; }

int16_t Simulator::PciRegisterDevice(int32_t chip)
{
    return enterChip(Fn::PciRegisterDevice, chip) != nullptr;
}

int16_t Simulator::PciReadConfigReg(int32_t chip, int32_t offset, int32_t* value)
{
    Board* board = enterChip(Fn::PciReadConfigReg, chip, offset);
    return board ? deliver(board->readConfig(offset), value) : 0;
}

int16_t Simulator::PciWriteConfigReg(int32_t chip, int32_t offset, int32_t value)
{
    Board* board = enterChip(Fn::PciWriteConfigReg, chip, offset);
    return board && board->writeConfig(offset, static_cast<uint32_t>(value));
}

int16_t Simulator::OrvelReadModeReg(int32_t chip, int32_t offset, int32_t* value)
{
    Board* board = enterChip(Fn::OrvelReadModeReg, chip, offset);
    return board ? deliver(board->readMode(offset), value) : 0;
}

int16_t Simulator::OrvelWriteModeReg(int32_t chip, int32_t offset, int32_t value)
{
    Board* board = enterChip(Fn::OrvelWriteModeReg, chip, offset);
    return board && board->writeMode(offset, static_cast<uint32_t>(value));
}

int16_t Simulator::OrvelReadEep(int32_t chip, int32_t address, int32_t* value)
{
    Board* board = enterChip(Fn::OrvelReadEep, chip, address);
    return board ? deliver(board->readEeprom(address), value) : 0;
}

int16_t Simulator::OrvelWriteEep(int32_t chip, int32_t address, int32_t value)
{
    Board* board = enterChip(Fn::OrvelWriteEep, chip, address);
    // A word that does not fit is refused rather than cut, so a caller's mistake cannot
    // pass for a successful write of some other value.
    if (!board || value < 0 || value > 0xFFFF)
        return 0;
    if (!board->writeEeprom(address, static_cast<uint16_t>(value)))
        return 0;
    keepEeproms();
    return 1;
}

int16_t Simulator::TavrinInitEep(int32_t chip)
{
    Board* board = enterChip(Fn::TavrinInitEep, chip);
    if (!board)
        return 0;
    board->restoreEeprom();
    keepEeproms();
    return 1;
}

int16_t Simulator::TavrinReadInport(int32_t chip, uint8_t* value)
{
    Board* board = enterChip(Fn::TavrinReadInport, chip);
    if (!board || value == nullptr)
        return 0;
    *value = settings_.inportLoopback ? board->outport : settings_.inport;
    return 1;
}

int16_t Simulator::TavrinReadOutport(int32_t chip, uint8_t* value)
{
    Board* board = enterChip(Fn::TavrinReadOutport, chip);
    if (!board || value == nullptr)
        return 0;
    *value = board->outport;
    return 1;
}

int16_t Simulator::TavrinWriteOutport(int32_t chip, uint8_t value)
{
    Board* board = enterChip(Fn::TavrinWriteOutport, chip);
    if (!board)
        return 0;
    board->outport = value;
    return 1;
}

int16_t Simulator::CadmirReadCounter(int32_t chip, int32_t* value)
{
    Board* board = enterChip(Fn::CadmirReadCounter, chip);
    return board ? deliver(board->cadmir.counter(), value) : 0;
}

// Mode 0 loads the counter with data; the counter chip's other modes are not simulated
// and are refused rather than quietly treated as mode 0.
int16_t Simulator::TavrinInitCadmir(int32_t chip, int32_t mode, int32_t data)
{
    Board* board = enterChip(Fn::TavrinInitCadmir, chip);
    if (!board || mode != 0 || data < 0 || static_cast<uint32_t>(data) > Cadmir::kMask)
        return 0;
    board->cadmir.load(static_cast<uint32_t>(data));
    return 1;
}

// There is one interrupt for the library: opening it again, on this chip or another,
// replaces the one that was open. It opens masked; unmasking lets it count.
int16_t Simulator::TavrinOpenIntr(int32_t chip, uint16_t pulses)
{
    Board* board = enterChip(Fn::TavrinOpenIntr, chip);
    if (!board || pulses == 0)
        return 0;
    releaseInterrupt();
    board->cadmir.arm(pulses);
    intrChip_ = chip;
    return 1;
}

int16_t Simulator::TavrinUnmaskIntr()
{
    if (!enter(Fn::TavrinUnmaskIntr))
        return 0;
    masked_ = false;
    return 1;
}

int16_t Simulator::TavrinMaskIntr()
{
    if (!enter(Fn::TavrinMaskIntr))
        return 0;
    masked_ = true;
    return 1;
}

int16_t Simulator::TavrinCloseIntr(int32_t handle)
{
    if (!enter(Fn::TavrinCloseIntr, handle) || intrChip_ == 0 || handle != intrChip_)
        return 0;
    releaseInterrupt();
    return 1;
}

int16_t Simulator::TavrinReadIntrStat(uint8_t* record)
{
    if (!enter(Fn::TavrinReadIntrStat) || intrChip_ == 0 || record == nullptr)
        return 0;
    const Board& board = boards_[static_cast<size_t>(intrChip_ - 1)];
    putLittleEndian(record + 0, static_cast<uint32_t>(intrChip_), 4);
    putLittleEndian(record + 4, board.interruptLine(), 2);
    putLittleEndian(record + 6, board.cadmir.raised(), 2);
    putLittleEndian(record + 8, board.cadmir.period(), 2);
    putLittleEndian(record + 10, board.cadmir.target(), 3);
    record[13] = 0;
    return 1;
}

int16_t Simulator::LumbraSimAdvancePulses(int32_t chip, uint32_t pulses)
{
    if (!open_)
        return 0;
    Board* board = boardFor(chip);
    if (!board)
        return 0;
    catchUp();
    board->cadmir.advance(pulses, counting(chip));
    return 1;
}

void Simulator::LumbraSimReset() { *this = Simulator(host_); }

}  // namespace lumbra
