#include "session.h"

#include <cstdio>

#include "pci_bus.h"
#include "pci_selection.h"
#include "registers.h"
#include "state_file_os.h"
#include "text.h"

namespace lumbra
{

namespace
{

void putLittleEndian(uint8_t* at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// A multi-byte register of the counter chip, low byte first.
std::optional<uint32_t> readBytes(Bus& bus, int32_t chip, uint32_t offset, int bytes)
{
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
    {
        const auto byte = bus.readPort(chip, offset + i);
        if (!byte)
            return std::nullopt;
        value |= uint32_t{*byte} << (8 * i);
    }
    return value;
}

bool writeBytes(Bus& bus, int32_t chip, uint32_t offset, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        if (!bus.writePort(chip, offset + i, static_cast<uint8_t>(value >> (8 * i))))
            return false;
    return true;
}

// The serial EEPROM's wires, driven through the EEPROM control mode register. Every
// bit is a few register writes, so a failed access ends the command at once.
class EepromWires
{
public:
    EepromWires(Bus& bus, int32_t chip, const std::function<uint64_t()>& nowNs)
        : bus_(bus), chip_(chip), nowNs_(nowNs)
    {
    }

    bool deselect() { return set(0); }

    // Start bit, opcode and address, MSB first, from a fresh chip select.
    bool command(uint32_t opcode, uint32_t address)
    {
        const uint32_t bits = 1u << (2 + reg::kEepAddressBits) | opcode << reg::kEepAddressBits | address;
        if (!deselect() || !set(reg::kEepCs))
            return false;
        return shiftOut(bits, 3 + reg::kEepAddressBits);
    }

    bool shiftOut(uint32_t bits, int count)
    {
        for (int i = count - 1; i >= 0; --i)
        {
            const uint32_t di = (bits >> i) & 1 ? reg::kEepDi : 0;
            if (!set(reg::kEepCs | di) || !set(reg::kEepCs | reg::kEepSk | di))
                return false;
        }
        return set(reg::kEepCs);
    }

    std::optional<bool> dataOut()
    {
        const auto value = bus_.readMemory(chip_, reg::kModeEeprom);
        if (!value)
            return std::nullopt;
        return (*value & reg::kEepDo) != 0;
    }

    std::optional<uint16_t> read(uint32_t address)
    {
        if (!command(reg::kOpRead, address))
            return std::nullopt;
        // The dummy 0 after the address tells a present EEPROM from a floating line.
        const auto dummy = dataOut();
        if (!dummy || *dummy)
            return std::nullopt;
        uint16_t word = 0;
        for (int i = 0; i < 16; ++i)
        {
            if (!set(reg::kEepCs | reg::kEepSk))
                return std::nullopt;
            const auto bit = dataOut();
            if (!bit || !set(reg::kEepCs))
                return std::nullopt;
            word = static_cast<uint16_t>(word << 1 | *bit);
        }
        return deselect() ? std::optional(word) : std::nullopt;
    }

    bool special(uint32_t which)
    {
        return command(reg::kOpSpecial, which << (reg::kEepAddressBits - 2)) && deselect();
    }

    // Programming starts as chip select falls; selecting again shows busy (0) on data out
    // until the word is in. A part that never shows ready refused the write.
    bool write(uint32_t address, uint16_t word)
    {
        if (!command(reg::kOpWrite, address) || !shiftOut(word, 16) || !deselect() || !set(reg::kEepCs))
            return false;
        constexpr uint64_t kTimeoutNs = 50'000'000;  // five times the slowest part's write time
        constexpr int kMostPolls = 200'000;          // and a stopped clock cannot hang the caller
        const uint64_t deadline = nowNs_() + kTimeoutNs;
        for (int poll = 0; poll < kMostPolls && nowNs_() < deadline; ++poll)
        {
            const auto ready = dataOut();
            if (!ready)
                break;
            if (*ready)
                return deselect();
        }
        deselect();
        return false;
    }

private:
    bool set(uint32_t wires) { return bus_.writeMemory(chip_, reg::kModeEeprom, wires); }

    Bus& bus_;
    int32_t chip_;
    const std::function<uint64_t()>& nowNs_;
};

// Writes the words that differ, with programming allowed only for as long as it takes:
// an EEPROM left writable could be changed by a stray command.
bool programEeprom(Bus& bus, int32_t chip, const std::function<uint64_t()>& nowNs,
                   const std::vector<std::pair<uint32_t, uint16_t>>& words)
{
    EepromWires wires(bus, chip, nowNs);
    bool ok = wires.special(reg::kSpecialEwen);
    for (const auto& [address, word] : words)
    {
        if (!ok)
            break;
        const auto now = wires.read(address);
        ok = now.has_value() && (*now == word || wires.write(address, word));
    }
    const bool locked = wires.special(reg::kSpecialEwds);
    return ok && locked;
}

}  // namespace

Session::Session(Host host) : host_(std::move(host)), sim_(host_.nowNs, host_.warn) {}

bool Session::enter(Fn fn, std::optional<int32_t> chip, std::optional<int32_t> address)
{
    if (!open_)
        return false;
    pollInterrupt();
    return !faults_.failsNow(fn, chip, address);
}

bool Session::enterChip(Fn fn, int32_t chip, std::optional<int32_t> address)
{
    return enter(fn, chip, address) && chip >= 1 && chip <= chips_;
}

void Session::report(const std::vector<std::string>& warnings) const
{
    for (const auto& line : warnings)
        host_.warn(line);
}

// Interrupts are taken whenever the library is entered: since the mask can only change
// inside a call, taking them first counts every one under the mask it came in under.
// An acknowledge that fails is owed and tried again at every entry: without it the
// kernel keeps the line masked and no further interrupt would ever come.
void Session::pollInterrupt()
{
    if (intrChip_ == 0)
        return;
    const auto fresh = bus_->waitInterrupt(intrChip_, 0);
    if (fresh && *fresh != 0)
    {
        raised_ = static_cast<uint16_t>(raised_ + *fresh);
        bus_->writePort(intrChip_, reg::kCadmirStatus, reg::kCadmirMatched);
        writeInterruptControl();
    }
    else if (!ackOwed_)
        return;
    const bool owed = ackOwed_;
    ackOwed_ = !bus_->acknowledgeInterrupt(intrChip_);
    if (ackOwed_ && !owed)
        host_.warn("chip " + std::to_string(intrChip_) +
                   ": the interrupt could not be acknowledged, so no further one can come; "
                   "it is tried again at every call");
    else if (!ackOwed_ && owed)
        host_.warn("chip " + std::to_string(intrChip_) + ": the interrupt is acknowledged now");
}

bool Session::writeInterruptControl()
{
    return bus_->writeMemory(intrChip_, reg::kModeInterrupt,
                             reg::kIntaPending | (masked_ ? 0 : reg::kIntaEnable));
}

void Session::releaseInterrupt()
{
    if (intrChip_ != 0)
    {
        bus_->writePort(intrChip_, reg::kCadmirControl, 0);
        masked_ = true;
        writeInterruptControl();
    }
    intrChip_ = 0;
    masked_ = true;
    ackOwed_ = false;
}

int16_t Session::PciOpenDevice()
{
    std::vector<std::string> warnings;
    Settings settings = readSettings(host_.getenv, warnings);
    if (settings.faults != faultText_)
    {
        faults_ = FaultPlan::parse(settings.faults, warnings);
        faultText_ = settings.faults;
    }
    if (open_)
        pollInterrupt();
    if (faults_.failsNow(Fn::PciOpenDevice, {}, {}))
    {
        report(warnings);
        return 0;
    }

    std::unique_ptr<Bus> pci;
    if (!settings.device.empty() && settings.device != "sim")
    {
        pci = openPciBus(settings.device, host_, warnings);
        if (!pci)
        {
            report(warnings);
            return 0;
        }
    }
    // A reopen may pick another bus or fewer chips: an interrupt left behind on a board
    // that is no longer reached could never be closed.
    if (open_ && intrChip_ != 0)
        releaseInterrupt();
    if (pci)
    {
        pci_ = std::move(pci);
        bus_ = pci_.get();
    }
    else
    {
        sim_.open(settings, warnings);
        bus_ = &sim_;
    }
    report(warnings);
    chips_ = bus_->count();
    device_ = settings.device;
    const auto selection = parsePciSelection(settings.device);
    othersWritable_ = selection && selection->othersWritable;
    backedUp_.clear();
    open_ = true;
    return 1;
}

int16_t Session::PciCloseDevice()
{
    if (!enter(Fn::PciCloseDevice))
        return 0;
    releaseInterrupt();
    if (bus_ == &sim_)
        sim_.close();
    open_ = false;
    return 1;
}

int32_t Session::PciGetVxdVersion() { return enter(Fn::PciGetVxdVersion) ? kVxdVersion : 0; }

int32_t Session::PciFindDevice() { return enter(Fn::PciFindDevice) ? chips_ : 0; }

int16_t Session::PciRegisterDevice(int32_t chip) { return enterChip(Fn::PciRegisterDevice, chip); }

namespace
{

bool configOffset(int32_t offset) { return offset >= 0 && offset % 4 == 0 && offset < 0x100; }
bool modeOffset(int32_t offset) { return offset >= 0 && offset % 4 == 0 && offset <= 0x3C; }
bool eepromAddress(int32_t address) { return address >= 0 && address < reg::kEepromWords; }

int16_t deliver(std::optional<uint32_t> value, int32_t* out)
{
    if (!value || out == nullptr)
        return 0;
    *out = static_cast<int32_t>(*value);
    return 1;
}

}  // namespace

int16_t Session::PciReadConfigReg(int32_t chip, int32_t offset, int32_t* value)
{
    if (!enterChip(Fn::PciReadConfigReg, chip, offset) || !configOffset(offset) || value == nullptr)
        return 0;
    return deliver(bus_->readConfig(chip, static_cast<uint32_t>(offset)), value);
}

int16_t Session::PciWriteConfigReg(int32_t chip, int32_t offset, int32_t value)
{
    if (!enterChip(Fn::PciWriteConfigReg, chip, offset) || !configOffset(offset))
        return 0;
    // A disk or network controller picked to look at must not be one double-click away
    // from a changed configuration.
    if (!bus_->isBoard(chip) && !othersWritable_)
    {
        host_.warn(bus_->slot(chip) +
                   ": configuration write refused: the device is not a Tavrin board and is read-only; "
                   "to allow writes, end the selection in \",writable\" (LUMBRA_DEVICE=" +
                   quoted(device_ + ",writable") + ")");
        return 0;
    }
    return bus_->writeConfig(chip, static_cast<uint32_t>(offset), static_cast<uint32_t>(value));
}

int16_t Session::OrvelReadModeReg(int32_t chip, int32_t offset, int32_t* value)
{
    if (!enterChip(Fn::OrvelReadModeReg, chip, offset) || !modeOffset(offset) || value == nullptr)
        return 0;
    return deliver(bus_->readMemory(chip, static_cast<uint32_t>(offset)), value);
}

int16_t Session::OrvelWriteModeReg(int32_t chip, int32_t offset, int32_t value)
{
    if (!enterChip(Fn::OrvelWriteModeReg, chip, offset) || !modeOffset(offset))
        return 0;
    return bus_->writeMemory(chip, static_cast<uint32_t>(offset), static_cast<uint32_t>(value));
}

int16_t Session::OrvelReadEep(int32_t chip, int32_t address, int32_t* value)
{
    if (!enterChip(Fn::OrvelReadEep, chip, address) || !eepromAddress(address) || value == nullptr)
        return 0;
    if (!bus_->isBoard(chip))
        return 0;
    const auto word = EepromWires(*bus_, chip, host_.nowNs).read(static_cast<uint32_t>(address));
    return deliver(word, value);
}

int16_t Session::OrvelWriteEep(int32_t chip, int32_t address, int32_t value)
{
    if (!enterChip(Fn::OrvelWriteEep, chip, address) || !eepromAddress(address))
        return 0;
    // A word that does not fit is refused rather than cut, so a caller's mistake cannot
    // pass for a successful write of some other value.
    if (value < 0 || value > 0xFFFF || !bus_->isBoard(chip))
        return 0;
    return changeEeprom(chip, {{static_cast<uint32_t>(address), static_cast<uint16_t>(value)}});
}

// A real board keeps what identifies it: its own serial number goes back into the
// initial image, sealed with a checksum over the result.
int16_t Session::TavrinInitEep(int32_t chip)
{
    if (!enterChip(Fn::TavrinInitEep, chip) || !bus_->isBoard(chip))
        return 0;
    auto image = Board::factoryEeprom(chip);
    if (bus_ != &sim_)
    {
        EepromWires wires(*bus_, chip, host_.nowNs);
        for (const int address : {Board::kSerialLow, Board::kSerialHigh})
        {
            const auto word = wires.read(static_cast<uint32_t>(address));
            if (!word)
            {
                host_.warn(bus_->slot(chip) + ": EEPROM not initialised: its serial number cannot be read");
                return 0;
            }
            image[address] = *word;
        }
        Board::seal(image);
    }
    std::vector<std::pair<uint32_t, uint16_t>> words;
    for (uint32_t address = 0; address < image.size(); ++address)
        words.emplace_back(address, image[address]);
    return changeEeprom(chip, words);
}

int16_t Session::changeEeprom(int32_t chip, const std::vector<std::pair<uint32_t, uint16_t>>& words)
{
    if (!keepBackup(chip))
        return 0;
    return programEeprom(*bus_, chip, host_.nowNs, words);
}

// Before a real board's EEPROM is first changed, its 64 words go to a backup file named
// by slot and serial number. An earlier backup of the same board is never overwritten:
// it holds what the board had before anything was changed.
bool Session::keepBackup(int32_t chip)
{
    if (bus_ == &sim_ || backedUp_.count(chip))
        return true;
    const std::string slot = bus_->slot(chip);
    const auto refuse = [&](const std::string& why)
    {
        host_.warn(slot + ": EEPROM not changed: " + why);
        return false;
    };
    Board::Eeprom words;
    EepromWires wires(*bus_, chip, host_.nowNs);
    for (uint32_t address = 0; address < words.size(); ++address)
    {
        const auto word = wires.read(address);
        if (!word)
            return refuse("its words cannot be read for the backup");
        words[address] = *word;
    }
    char serial[16];
    std::snprintf(serial, sizeof serial, "%04X%04X", words[Board::kSerialHigh], words[Board::kSerialLow]);
    std::string error;
    std::string folder = os::userStateFolder(host_.getenv, error);
    if (folder.empty())
        return refuse("no folder for its backup: " + error);
    folder += "/lumbra";
    if (!os::makeFolders(folder, error))
        return refuse("cannot make the folder for its backup: " + error);
    std::string name = slot;
    for (char& c : name)
        if (c == ':')
            c = '-';
    const std::string path = folder + "/eeprom-" + name + "-serial-" + serial + ".txt";
    std::string text = "# lumbra EEPROM backup of the board in slot " + slot + ", serial number " + serial +
                       "\n# word address: eight words in hex, as OrvelWriteEep takes them\n";
    for (size_t row = 0; row < words.size(); row += 8)
    {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%02zX:", row);
        text += hex;
        for (size_t address = row; address < row + 8; ++address)
        {
            std::snprintf(hex, sizeof hex, " %04X", words[address]);
            text += hex;
        }
        text += '\n';
    }
    bool exists = false;
    if (os::createNewFile(path, text, exists, error))
        host_.warn(slot + ": EEPROM backed up to " + path);
    else if (!exists)
        return refuse("cannot write its backup: " + error);
    backedUp_.insert(chip);
    return true;
}

int16_t Session::readPortTo(Fn fn, int32_t chip, uint32_t offset, uint8_t* value)
{
    if (!enterChip(fn, chip) || value == nullptr)
        return 0;
    const auto byte = bus_->readPort(chip, offset);
    if (!byte)
        return 0;
    *value = *byte;
    return 1;
}

int16_t Session::TavrinReadInport(int32_t chip, uint8_t* value)
{
    return readPortTo(Fn::TavrinReadInport, chip, reg::kPortData, value);
}

int16_t Session::TavrinReadOutport(int32_t chip, uint8_t* value)
{
    return readPortTo(Fn::TavrinReadOutport, chip, reg::kPortLatch, value);
}

int16_t Session::TavrinWriteOutport(int32_t chip, uint8_t value)
{
    if (!enterChip(Fn::TavrinWriteOutport, chip))
        return 0;
    return bus_->writePort(chip, reg::kPortData, value);
}

int16_t Session::CadmirReadCounter(int32_t chip, int32_t* value)
{
    if (!enterChip(Fn::CadmirReadCounter, chip) || value == nullptr)
        return 0;
    // Latching first gives three bytes of one count, not bytes of counts a pulse apart.
    if (!bus_->writePort(chip, reg::kCadmirCommand, reg::kCmdLatch))
        return 0;
    return deliver(readBytes(*bus_, chip, reg::kCadmirCounter, 3), value);
}

// Mode 0 (every pulse counts up) is the counter chip's only mode; others are refused
// rather than quietly treated as mode 0.
int16_t Session::TavrinInitCadmir(int32_t chip, int32_t mode, int32_t data)
{
    if (!enterChip(Fn::TavrinInitCadmir, chip))
        return 0;
    if (mode != 0 || data < 0 || static_cast<uint32_t>(data) > reg::kCounterMask)
        return 0;
    return bus_->writePort(chip, reg::kCadmirMode, 0) &&
           writeBytes(*bus_, chip, reg::kCadmirCounter, static_cast<uint32_t>(data), 3) &&
           bus_->writePort(chip, reg::kCadmirCommand, reg::kCmdLoad);
}

// There is one interrupt for the library: opening it again, on this chip or another,
// replaces the one that was open. It opens masked; unmasking lets INTA through.
int16_t Session::TavrinOpenIntr(int32_t chip, uint16_t pulses)
{
    if (!enterChip(Fn::TavrinOpenIntr, chip) || pulses == 0 || !bus_->isBoard(chip))
        return 0;
    releaseInterrupt();
    intrChip_ = chip;
    const bool armed = writeBytes(*bus_, chip, reg::kCadmirStep, pulses, 2) &&
                       bus_->writePort(chip, reg::kCadmirCommand, reg::kCmdArm) &&
                       bus_->writePort(chip, reg::kCadmirStatus, reg::kCadmirMatched) &&
                       writeInterruptControl() &&
                       bus_->writePort(chip, reg::kCadmirControl, reg::kCadmirCompareOn);
    // Interrupts of an earlier opening are not this one's.
    if (!armed || !bus_->waitInterrupt(chip, 0))
    {
        releaseInterrupt();
        return 0;
    }
    period_ = pulses;
    raised_ = 0;
    return 1;
}

int16_t Session::TavrinUnmaskIntr()
{
    if (!enter(Fn::TavrinUnmaskIntr))
        return 0;
    masked_ = false;
    return intrChip_ == 0 || writeInterruptControl();
}

int16_t Session::TavrinMaskIntr()
{
    if (!enter(Fn::TavrinMaskIntr))
        return 0;
    masked_ = true;
    return intrChip_ == 0 || writeInterruptControl();
}

int16_t Session::TavrinCloseIntr(int32_t handle)
{
    if (!enter(Fn::TavrinCloseIntr, handle) || intrChip_ == 0 || handle != intrChip_)
        return 0;
    releaseInterrupt();
    return 1;
}

int16_t Session::TavrinReadIntrStat(uint8_t* record)
{
    if (!enter(Fn::TavrinReadIntrStat) || intrChip_ == 0 || record == nullptr)
        return 0;
    const auto line = bus_->readConfig(intrChip_, reg::kCfgInterrupt);
    const auto target = readBytes(*bus_, intrChip_, reg::kCadmirCompare, 3);
    if (!line || !target)
        return 0;
    putLittleEndian(record + 0, static_cast<uint32_t>(intrChip_), 4);
    putLittleEndian(record + 4, *line & 0xFF, 2);
    putLittleEndian(record + 6, raised_, 2);
    putLittleEndian(record + 8, period_, 2);
    putLittleEndian(record + 10, *target, 3);
    record[13] = 0;
    return 1;
}

int16_t Session::LumbraSimAdvancePulses(int32_t chip, uint32_t pulses)
{
    if (!open_ || bus_ != &sim_ || chip < 1 || chip > chips_)
        return 0;
    return sim_.advance(chip, pulses);
}

void Session::LumbraSimReset() { *this = Session(host_); }

}  // namespace lumbra
