// The Linux bus and the library over it, against a stand-in sysfs tree of regular files:
// what is found for each selection, which file each access reaches, and that nothing
// but configuration space is touched on a device that is not a board.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "BusSuite.h"
#include "StandInSysfs.h"
#include "board.h"
#include "linux_bus.h"
#include "registers.h"
#include "session.h"

using namespace lumbra;

namespace lumbra::test
{

// The Linux bus over a stand-in sysfs tree: two boards bound to UIO, and a device of
// another maker that the board selection leaves out.
class LinuxBusWorld
{
public:
    LinuxBusWorld()
    {
        tree_.add("0000:00:05.0", reg::kVendorId, reg::kDeviceId, 0);
        tree_.add("0000:00:03.0", 0x1AF4, 0x1041);
        tree_.add("0000:01:00.0", reg::kVendorId, reg::kDeviceId, 1);
        std::vector<std::string> warnings;
        bus_ = LinuxBus::open(
            tree_.sysfs(), tree_.dev(), {PciSelection::Kind::Board, {}}, [](const std::string&) {}, warnings);
    }
    Bus& bus() { return *bus_; }
    void raise(int32_t chip) { tree_.interrupt(static_cast<size_t>(chip - 1), ++totals_[chip - 1]); }

private:
    StandInSysfs tree_;
    std::unique_ptr<LinuxBus> bus_;
    uint32_t totals_[2] = {40, 70};
};

INSTANTIATE_TYPED_TEST_SUITE_P(Linux, BusSuite, LinuxBusWorld);

}  // namespace lumbra::test

namespace
{

constexpr const char* kBoardA = "0000:00:05.0";
constexpr const char* kOther = "0000:00:03.0";
constexpr const char* kBoardB = "0000:01:00.0";  // a board without UIO

// A simulated Tavrin board behind each board the Linux bus found: the mode registers,
// and with them the serial EEPROM, answer as a board's would, while configuration
// space, ports, interrupts and slots stay the stand-in tree's.
class BoardsBehind : public Bus
{
public:
    BoardsBehind(std::unique_ptr<Bus> found, const Board::Eeprom& eeprom,
                 const std::function<uint64_t()>& now)
        : found_(std::move(found)), now_(now)
    {
        for (int32_t chip = 1; chip <= found_->count(); ++chip)
            boards_.emplace_back(chip, eeprom);
    }
    int32_t count() const override { return found_->count(); }
    bool isBoard(int32_t chip) const override { return found_->isBoard(chip); }
    std::string slot(int32_t chip) const override { return found_->slot(chip); }
    std::optional<uint32_t> readConfig(int32_t chip, uint32_t offset) override
    {
        return found_->readConfig(chip, offset);
    }
    bool writeConfig(int32_t chip, uint32_t offset, uint32_t value) override
    {
        return found_->writeConfig(chip, offset, value);
    }
    std::optional<uint8_t> readPort(int32_t chip, uint32_t offset) override
    {
        return found_->readPort(chip, offset);
    }
    bool writePort(int32_t chip, uint32_t offset, uint8_t value) override
    {
        return found_->writePort(chip, offset, value);
    }
    std::optional<uint32_t> readMemory(int32_t chip, uint32_t offset) override
    {
        if (!isBoard(chip))
            return found_->readMemory(chip, offset);
        return boards_[chip - 1].readMemory(offset, now_());
    }
    bool writeMemory(int32_t chip, uint32_t offset, uint32_t value) override
    {
        if (!isBoard(chip))
            return found_->writeMemory(chip, offset, value);
        return boards_[chip - 1].writeMemory(offset, value, now_());
    }
    std::optional<uint32_t> waitInterrupt(int32_t chip, int timeoutMs) override
    {
        return found_->waitInterrupt(chip, timeoutMs);
    }
    bool acknowledgeInterrupt(int32_t chip) override { return found_->acknowledgeInterrupt(chip); }

    Board::Eeprom eeprom(int32_t chip) const { return boards_[chip - 1].eeprom(); }

private:
    std::unique_ptr<Bus> found_;
    std::function<uint64_t()> now_;
    std::vector<Board> boards_;
};

// What a real board's EEPROM might hold after years in the field.
Board::Eeprom fieldEeprom()
{
    Board::Eeprom words = Board::factoryEeprom(1);
    for (int i = 0; i < Board::kEepromWords; ++i)
        words[i] = static_cast<uint16_t>(words[i] ^ (0x0101 * i));
    words[Board::kSerialLow] = 0x5EC1;
    words[Board::kSerialHigh] = 0x00B7;
    return words;
}

class LinuxPci : public ::testing::Test
{
protected:
    LinuxPci()
    {
        tree_.add(kBoardB, reg::kVendorId, reg::kDeviceId);
        tree_.add(kOther, 0x1AF4, 0x1041);
        tree_.add(kBoardA, reg::kVendorId, reg::kDeviceId, 0);
    }
    std::unique_ptr<LinuxBus> open(PciSelection::Kind kind, const std::string& filter)
    {
        std::vector<std::string> warnings;
        auto bus = LinuxBus::open(
            tree_.sysfs(), tree_.dev(), {kind, filter},
            [this](const std::string& line) { warned_.push_back(line); }, warnings);
        warned_.insert(warned_.end(), warnings.begin(), warnings.end());
        return bus;
    }
    // The library as the program sees it, with LUMBRA_DEVICE set to `device`; with
    // `eeprom`, simulated boards with that EEPROM stand behind the tree's boards.
    std::unique_ptr<Session> session(const std::string& device, std::optional<Board::Eeprom> eeprom = {},
                                     std::string sysfs = {})
    {
        env_["LUMBRA_DEVICE"] = device;
        const auto now = [this] { return now_ += 1000; };
        Host host{now,
                  [this](const char* name) -> const char*
                  {
                      const auto it = env_.find(name);
                      return it == env_.end() ? nullptr : it->second.c_str();
                  },
                  [this](const std::string& line) { warned_.push_back(line); },
                  sysfs.empty() ? tree_.sysfs() : sysfs, tree_.dev()};
        if (eeprom)
            host.behindPci = [this, eeprom, now](std::unique_ptr<Bus> found)
            {
                auto behind = std::make_unique<BoardsBehind>(std::move(found), *eeprom, now);
                boards_ = behind.get();
                return behind;
            };
        return std::make_unique<Session>(host);
    }
    std::vector<uint8_t> file(const char* slot, const char* name)
    {
        return tree_.bytes(tree_.dir(slot) + "/" + name);
    }

    // The lines that mention every one of `words`.
    size_t warnedOf(std::initializer_list<const char*> words) const
    {
        size_t lines = 0;
        for (const auto& line : warned_)
        {
            bool all = true;
            for (const char* word : words)
                all = all && line.find(word) != std::string::npos;
            lines += all;
        }
        return lines;
    }

    test::StandInSysfs tree_;
    std::map<std::string, std::string> env_;
    std::vector<std::string> warned_;
    uint64_t now_ = 0;
    BoardsBehind* boards_ = nullptr;
};

}  // namespace

TEST_F(LinuxPci, SelectionsPickDevicesInBusOrder)
{
    using K = PciSelection::Kind;
    const struct
    {
        K kind;
        const char* filter;
        std::vector<std::string> slots;
    } cases[] = {
        {K::Board, "", {kBoardA, kBoardB}}, {K::Id, ":", {kOther, kBoardA, kBoardB}},
        {K::Id, "1af4:", {kOther}},         {K::Id, "*:0b17", {kBoardA, kBoardB}},
        {K::Id, "7a5e:1041", {}},           {K::Slot, "00:03", {kOther}},
        {K::Slot, "01:", {kBoardB}},        {K::Slot, "0000:00:05.0", {kBoardA}},
    };
    for (const auto& c : cases)
    {
        const auto bus = open(c.kind, c.filter);
        ASSERT_TRUE(bus) << c.filter;
        std::vector<std::string> slots;
        for (int32_t chip = 1; chip <= bus->count(); ++chip)
            slots.push_back(bus->slot(chip));
        EXPECT_EQ(slots, c.slots) << c.filter;
    }
    EXPECT_FALSE(open(K::Id, "zz:q")) << "a filter libpci refuses";
    EXPECT_FALSE(open(K::Id, "")) << "lspci -d wants two fields too";
    EXPECT_FALSE(open(K::Slot, "1:2:3:4")) << "a filter libpci refuses";
    EXPECT_FALSE(parsePciSelection("pcx"));
    EXPECT_FALSE(parsePciSelection("sim"));
}

TEST_F(LinuxPci, LibraryReachesConfigPortsAndModeRegistersThroughTheDeviceFiles)
{
    auto preset = file(kBoardA, "resource0");
    preset[reg::kPortData] = 0x5C;  // what the input port shows
    preset[reg::kPortLatch] = 0x3A;
    preset[0x14] = 0x56, preset[0x15] = 0x34, preset[0x16] = 0x12;
    tree_.write(tree_.dir(kBoardA) + "/resource0", preset);

    const auto lib = session("pci");
    ASSERT_EQ(lib->PciOpenDevice(), 1);
    ASSERT_EQ(lib->PciFindDevice(), 2);
    int32_t value = 0;
    ASSERT_EQ(lib->PciReadConfigReg(1, 0x00, &value), 1);
    EXPECT_EQ(value, 0x0B177A5E);
    EXPECT_EQ(lib->PciWriteConfigReg(1, 0x40, 0x0BADF00D), 1);
    EXPECT_EQ(file(kBoardA, "config")[0x43], 0x0B);
    uint8_t byte = 0;
    EXPECT_EQ(lib->TavrinReadInport(1, &byte), 1);
    EXPECT_EQ(byte, 0x5C);
    EXPECT_EQ(lib->TavrinReadOutport(1, &byte), 1);
    EXPECT_EQ(byte, 0x3A);
    EXPECT_EQ(lib->TavrinWriteOutport(1, 0xC3), 1);
    EXPECT_EQ(file(kBoardA, "resource0")[reg::kPortData], 0xC3);
    EXPECT_EQ(lib->CadmirReadCounter(1, &value), 1);
    EXPECT_EQ(value, 0x123456);
    EXPECT_EQ(file(kBoardA, "resource0")[reg::kCadmirCommand], reg::kCmdLatch);
    EXPECT_EQ(lib->OrvelWriteModeReg(1, 0x28, 0x11223344), 1);
    const auto memory = file(kBoardA, "resource1");
    EXPECT_EQ(std::vector<uint8_t>(memory.begin() + 0x28, memory.begin() + 0x2C),
              (std::vector<uint8_t>{0x44, 0x33, 0x22, 0x11}));
    ASSERT_EQ(lib->OrvelReadModeReg(1, 0x28, &value), 1);
    EXPECT_EQ(value, 0x11223344);
    EXPECT_TRUE(warned_.empty());
}

TEST_F(LinuxPci, BoardFunctionsOnAnotherDeviceFailAndTouchNothing)
{
    const auto lib = session("pci:1af4:1041,writable");
    ASSERT_EQ(lib->PciOpenDevice(), 1);
    ASSERT_EQ(lib->PciFindDevice(), 1);
    const auto before0 = file(kOther, "resource0"), before1 = file(kOther, "resource1");
    int32_t value = 7;
    uint8_t byte = 7;
    EXPECT_EQ(lib->PciReadConfigReg(1, 0x00, &value), 1) << "configuration space stays open";
    EXPECT_EQ(value, 0x10411AF4);
    EXPECT_EQ(lib->PciWriteConfigReg(1, 0x40, 1), 1);
    const std::pair<const char*, int16_t> refused[] = {
        {"TavrinWriteOutport", lib->TavrinWriteOutport(1, 0xFF)},
        {"TavrinReadInport", lib->TavrinReadInport(1, &byte)},
        {"OrvelWriteModeReg", lib->OrvelWriteModeReg(1, 0x30, -1)},
        {"OrvelReadModeReg", lib->OrvelReadModeReg(1, 0x00, &value)},
        {"OrvelWriteEep", lib->OrvelWriteEep(1, 3, 0)},
        {"OrvelReadEep", lib->OrvelReadEep(1, 3, &value)},
        {"TavrinInitEep", lib->TavrinInitEep(1)},
        {"TavrinInitCadmir", lib->TavrinInitCadmir(1, 0, 0)},
        {"CadmirReadCounter", lib->CadmirReadCounter(1, &value)},
        {"TavrinOpenIntr", lib->TavrinOpenIntr(1, 10)},
    };
    for (const auto& [name, status] : refused)
        EXPECT_EQ(status, 0) << name;
    EXPECT_EQ(byte, 7);
    EXPECT_EQ(file(kOther, "resource0"), before0);
    EXPECT_EQ(file(kOther, "resource1"), before1);
}

TEST_F(LinuxPci, InterruptsComeFromUioAndAreAcknowledgedInTheCommandRegister)
{
    auto config = file(kBoardA, "config");
    config[0x05] = 0x04;  // INTx masked, as uio_pci_generic leaves it after an interrupt
    tree_.write(tree_.dir(kBoardA) + "/config", config);
    const auto lib = session("pci");
    ASSERT_EQ(lib->PciOpenDevice(), 1);
    EXPECT_EQ(lib->TavrinOpenIntr(2, 10), 0) << "a board not bound to UIO has no interrupt";
    ASSERT_EQ(lib->TavrinOpenIntr(1, 10), 1);
    EXPECT_EQ(lib->TavrinUnmaskIntr(), 1);
    EXPECT_EQ(file(kBoardA, "resource1")[reg::kModeInterrupt], reg::kIntaEnable | reg::kIntaPending);
    EXPECT_EQ(file(kBoardA, "resource0")[reg::kCadmirStep], 10);
    EXPECT_EQ(file(kBoardA, "resource0")[reg::kCadmirControl], reg::kCadmirCompareOn);

    uint8_t record[LUMBRA_INTR_RECORD_SIZE] = {};
    const auto raised = [&]
    {
        EXPECT_EQ(lib->TavrinReadIntrStat(record), 1);
        return record[6] | record[7] << 8;
    };
    EXPECT_EQ(raised(), 0);
    tree_.interrupt(0, 500);  // the kernel's count since the driver was bound
    EXPECT_EQ(raised(), 1) << "the first count only says one came";
    EXPECT_EQ(file(kBoardA, "config")[0x05] & 0x04, 0) << "INTx let through again";
    tree_.interrupt(0, 503);
    EXPECT_EQ(raised(), 4);
    EXPECT_EQ(raised(), 4);
    EXPECT_EQ(record[4], 11) << "interrupt line from configuration space";
    EXPECT_EQ(lib->TavrinCloseIntr(1), 1);
    EXPECT_EQ(file(kBoardA, "resource0")[reg::kCadmirControl], 0);
}

TEST_F(LinuxPci, RefusedAccessFailsWithOneLine)
{
    // Without root the kernel shows only the first 64 bytes of configuration space.
    auto config = file(kBoardA, "config");
    config.resize(64);
    tree_.write(tree_.dir(kBoardA) + "/config", config);
    std::filesystem::remove(tree_.dir(kBoardA) + "/resource1");
    const auto lib = session("pci:slot=00:05");
    ASSERT_EQ(lib->PciOpenDevice(), 1);
    int32_t value = 7;
    EXPECT_EQ(lib->PciReadConfigReg(1, 0x3C, &value), 1);
    EXPECT_EQ(lib->PciReadConfigReg(1, 0x40, &value), 0);
    EXPECT_EQ(value, 11 | 1 << 8);
    ASSERT_EQ(warned_.size(), 1u);
    EXPECT_NE(warned_[0].find("0000:00:05.0: configuration read at 0x40"), std::string::npos) << warned_[0];
    EXPECT_EQ(lib->OrvelReadModeReg(1, 0x00, &value), 0);
    EXPECT_EQ(lib->OrvelReadModeReg(1, 0x04, &value), 0);
    EXPECT_EQ(warned_.size(), 2u) << "a range that cannot be opened is reported once";
}

TEST_F(LinuxPci, MalformedDeviceSelectionFailsTheOpen)
{
    for (const char* device : {"pcj", "pci:xyz:1", "pci:slot=g"})
    {
        warned_.clear();
        EXPECT_EQ(session(device)->PciOpenDevice(), 0) << device;
        EXPECT_EQ(warned_.size(), 1u) << device;
    }
    EXPECT_EQ(session("sim")->PciOpenDevice(), 1);
    EXPECT_EQ(session("")->PciOpenDevice(), 1);
}

TEST_F(LinuxPci, InitialisingARealBoardKeepsItsSerialNumberAndSealsTheChecksum)
{
    env_["XDG_STATE_HOME"] = tree_.sysfs() + "/../state";
    const auto lib = session("pci", fieldEeprom());
    ASSERT_EQ(lib->PciOpenDevice(), 1);
    ASSERT_EQ(lib->TavrinInitEep(1), 1);
    auto expected = Board::factoryEeprom(1);
    expected[Board::kSerialLow] = 0x5EC1;
    expected[Board::kSerialHigh] = 0x00B7;
    uint16_t sum = 0;
    for (int address = 0; address < Board::kEepromWords; ++address)
    {
        int32_t word = -1;
        ASSERT_EQ(lib->OrvelReadEep(1, address, &word), 1);
        sum = static_cast<uint16_t>(sum + word);
        if (address != Board::kChecksum)
        {
            EXPECT_EQ(word, expected[address]) << "word " << address;
        }
    }
    EXPECT_EQ(sum, 0) << "the checksum word covers the serial number kept";
    EXPECT_EQ(boards_->eeprom(2), fieldEeprom()) << "chip 2 untouched";
}

// Before a real board's EEPROM first changes, its words go to a backup named by slot and
// serial number, which nothing overwrites later, not even another run.
TEST_F(LinuxPci, TheFirstEepromChangeOfARealBoardIsBackedUpAndTheBackupNeverOverwritten)
{
    const std::string root = tree_.sysfs() + "/..";
    const struct
    {
        const char* variable;
        std::string value;
        std::string folder;
        std::function<int16_t(Session&)> change;
    } cases[] = {
        {"XDG_STATE_HOME", root + "/xdg", root + "/xdg/lumbra",
         [](Session& lib) { return lib.OrvelWriteEep(1, 5, 0x1234); }},
        {"HOME", root + "/home", root + "/home/.local/state/lumbra",
         [](Session& lib) { return lib.TavrinInitEep(1); }},
    };
    for (const auto& c : cases)
    {
        env_.erase("XDG_STATE_HOME");
        env_[c.variable] = c.value;
        warned_.clear();
        const std::string backup = c.folder + "/eeprom-0000-00-05.0-serial-00B75EC1.txt";
        std::string words;  // the first row as the backup shows it
        for (int address = 0; address < 8; ++address)
        {
            char hex[8];
            std::snprintf(hex, sizeof hex, " %04X", fieldEeprom()[address]);
            words += hex;
        }
        const auto backedUp = [&]
        {
            std::ifstream in(backup);
            std::string line;
            while (std::getline(in, line))
                if (line.rfind("00:", 0) == 0)
                    return line == "00:" + words;
            return false;
        };
        for (int run = 0; run < 2; ++run)
        {
            const auto lib = session("pci", fieldEeprom());
            ASSERT_EQ(lib->PciOpenDevice(), 1);
            EXPECT_FALSE(std::filesystem::exists(backup) && run == 0);
            ASSERT_EQ(c.change(*lib), 1) << c.variable;
            EXPECT_TRUE(backedUp()) << c.variable << " run " << run;
            EXPECT_EQ(lib->OrvelWriteEep(1, 6, 0x5678), 1);
            EXPECT_TRUE(backedUp()) << c.variable << " run " << run;
            boards_ = nullptr;
            if (run == 1)
                continue;
            // The next run's board already holds the changed words: the backup must stay.
            lib->PciCloseDevice();
        }
        EXPECT_EQ(warnedOf({"backed up to", backup.c_str()}), 1u) << c.variable;
        EXPECT_EQ(std::filesystem::status(c.folder).permissions() & std::filesystem::perms::group_all,
                  std::filesystem::perms::none);
    }
}

TEST_F(LinuxPci, AnEepromChangeWhoseBackupCannotBeWrittenIsRefused)
{
    const std::string blocker = tree_.sysfs() + "/../a-file";
    std::ofstream(blocker) << "in the way\n";
    const std::map<std::string, std::string> cases[] = {
        {{"XDG_STATE_HOME", blocker}},          // a file where the folder should be
        {{"HOME", blocker + "/home"}},          // the same one level down
        {{"XDG_STATE_HOME", "relative/path"}},  // neither names a folder
    };
    for (const auto& variables : cases)
    {
        env_.erase("XDG_STATE_HOME");
        env_.erase("HOME");
        env_.insert(variables.begin(), variables.end());
        warned_.clear();
        const auto lib = session("pci", fieldEeprom());
        ASSERT_EQ(lib->PciOpenDevice(), 1);
        EXPECT_EQ(lib->OrvelWriteEep(1, 5, 0x1234), 0);
        EXPECT_EQ(lib->TavrinInitEep(1), 0);
        EXPECT_EQ(boards_->eeprom(1), fieldEeprom()) << "nothing was changed";
        EXPECT_EQ(warned_.size(), 2u);
        EXPECT_EQ(warnedOf({"0000:00:05.0: EEPROM not changed", "backup"}), 2u) << warned_.at(0);
    }
    EXPECT_NE(warned_.at(0).find("neither XDG_STATE_HOME nor HOME"), std::string::npos) << warned_.at(0);
}

TEST_F(LinuxPci, ConfigurationWritesReachAnotherDeviceOnlyWhenTheSelectionSaysWritable)
{
    const std::pair<const char*, bool> cases[] = {
        {"pci:1af4:1041", false},
        {"pci:slot=00:03.0", false},
        {"pci:1af4:1041,writable", true},
        {"pci:slot=00:03.0,writable", true},
    };
    for (const auto& [device, writable] : cases)
    {
        warned_.clear();
        auto config = file(kOther, "config");
        config[0x40] = 0;
        tree_.write(tree_.dir(kOther) + "/config", config);
        const auto lib = session(device);
        ASSERT_EQ(lib->PciOpenDevice(), 1);
        EXPECT_EQ(lib->PciWriteConfigReg(1, 0x40, 0x5A), writable) << device;
        EXPECT_EQ(file(kOther, "config")[0x40], writable ? 0x5A : 0) << device;
        EXPECT_EQ(warned_.size(), writable ? 0u : 1u) << device;
        EXPECT_EQ(warnedOf({"0000:00:03.0", "read-only", ",writable"}), writable ? 0u : 1u) << device;
        int32_t value = 0;
        EXPECT_EQ(lib->PciReadConfigReg(1, 0x00, &value), 1) << "reads as before";
    }
    const auto lib = session("pci");
    ASSERT_EQ(lib->PciOpenDevice(), 1);
    EXPECT_EQ(lib->PciWriteConfigReg(1, 0x40, 1), 1) << "a board needs no ,writable";
}

TEST_F(LinuxPci, AScanThatCannotListTheDevicesFailsTheOpenWithItsReason)
{
    const std::string missing = tree_.sysfs() + "/nowhere";
    EXPECT_EQ(session("pci", {}, missing)->PciOpenDevice(), 0);
    ASSERT_EQ(warned_.size(), 1u);
    EXPECT_NE(warned_[0].find(missing), std::string::npos) << warned_[0];
    EXPECT_NE(warned_[0].find("No such file or directory"), std::string::npos) << warned_[0];
}

// What a refusal says: the kernel's reason and the path, and "root" only when root
// would have helped. A user who is not root is played by a child process.
TEST_F(LinuxPci, RefusalsSayWhyAndAskForRootOnlyWhenItWouldHelp)
{
    auto config = file(kBoardA, "config");
    config.resize(64);  // what the kernel shows a user who is not root
    tree_.write(tree_.dir(kBoardA) + "/config", config);
    const auto runAs = [&](bool root)
    {
        warned_.clear();
        const auto lib = session("pci:slot=00:05");
        int32_t value = 0;
        EXPECT_EQ(lib->PciOpenDevice(), 1);
        EXPECT_EQ(lib->PciReadConfigReg(1, 0x40, &value), 0);
        EXPECT_EQ(lib->PciWriteConfigReg(1, 0x04, 0x07), root ? 1 : 0);
        EXPECT_EQ(lib->OrvelReadModeReg(1, 0x00, &value), 0);
        std::string text;
        for (const auto& line : warned_)
            text += line + "\n";
        return text;
    };
    // As root: the range file is missing and the space is short; root would not help.
    std::filesystem::rename(tree_.dir(kBoardA) + "/resource1", tree_.dir(kBoardA) + "/resource1.away");
    const std::string asRoot = runAs(true);
    EXPECT_EQ(asRoot.find("root"), std::string::npos) << asRoot;
    EXPECT_NE(asRoot.find("configuration read at 0x40"), std::string::npos) << asRoot;
    EXPECT_NE(asRoot.find(tree_.dir(kBoardA) + "/resource1: No such file or directory"), std::string::npos)
        << asRoot;
    std::filesystem::rename(tree_.dir(kBoardA) + "/resource1.away", tree_.dir(kBoardA) + "/resource1");

    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to play a user who is not";
    std::filesystem::permissions(
        tree_.sysfs() + "/..", std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                   std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                   std::filesystem::perms::others_exec);
    for (const char* range : {"resource0", "resource1"})
        chmod((tree_.dir(kBoardA) + "/" + range).c_str(), 0600);
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t child = fork();
    if (child == 0)
    {
        close(pipe[0]);
        int failures = setuid(65534) != 0;
        const std::string text = runAs(false);
        failures += ::testing::Test::HasFailure();
        (void)!write(pipe[1], text.data(), text.size());
        _exit(failures);
    }
    close(pipe[1]);
    std::string asUser;
    char buffer[512];
    for (ssize_t got; (got = read(pipe[0], buffer, sizeof buffer)) > 0;)
        asUser.append(buffer, static_cast<size_t>(got));
    close(pipe[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << asUser;
    const std::string lines[] = {"configuration read at 0x40", "configuration write at 0x04", "resource1"};
    for (const auto& what : lines)
    {
        const auto at = asUser.find(what);
        ASSERT_NE(at, std::string::npos) << what << "\n" << asUser;
        const std::string line = asUser.substr(at, asUser.find('\n', at) - at);
        EXPECT_NE(line.find("root"), std::string::npos) << line;
    }
    EXPECT_NE(asUser.find("first 64 bytes"), std::string::npos) << asUser;
    std::printf("as root:\n%sas a user who is not root:\n%s", asRoot.c_str(), asUser.c_str());
    EXPECT_NE(asUser.find("Permission denied"), std::string::npos) << asUser;
}

// The kernel keeps the line masked until the acknowledge: one that fails is reported and
// owed, and the next call makes it good.
TEST_F(LinuxPci, AFailedInterruptAcknowledgeIsReportedAndTriedAgain)
{
    auto config = file(kBoardA, "config");
    config[0x05] = 0x04;
    tree_.write(tree_.dir(kBoardA) + "/config", config);
    const auto lib = session("pci");
    ASSERT_EQ(lib->PciOpenDevice(), 1);
    ASSERT_EQ(lib->TavrinOpenIntr(1, 10), 1);
    const std::string path = tree_.dir(kBoardA) + "/config";
    std::filesystem::rename(path, path + ".away");
    tree_.interrupt(0, 500);
    EXPECT_EQ(lib->PciFindDevice(), 2);
    EXPECT_EQ(warnedOf({"chip 1", "could not be acknowledged"}), 1u);
    EXPECT_EQ(lib->PciFindDevice(), 2);
    EXPECT_EQ(warnedOf({"chip 1", "could not be acknowledged"}), 1u) << "reported once, not at every call";
    std::filesystem::rename(path + ".away", path);
    EXPECT_EQ(lib->PciFindDevice(), 2);
    EXPECT_EQ(file(kBoardA, "config")[0x05] & 0x04, 0) << "INTx let through at the next call";
    uint8_t record[LUMBRA_INTR_RECORD_SIZE] = {};
    ASSERT_EQ(lib->TavrinReadIntrStat(record), 1);
    EXPECT_EQ(record[6], 1) << "the interrupt itself was counted";
}
