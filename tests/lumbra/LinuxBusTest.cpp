// The Linux bus and the library over it, against a stand-in sysfs tree of regular files:
// what is found for each selection, which file each access reaches, and that nothing
// but configuration space is touched on a device that is not a board.
#include <gtest/gtest.h>

#include <map>

#include "BusSuite.h"
#include "StandInSysfs.h"
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
    // The library as the program sees it, with LUMBRA_DEVICE set to `device`.
    std::unique_ptr<Session> session(const std::string& device)
    {
        env_["LUMBRA_DEVICE"] = device;
        Host host{[] { return uint64_t{0}; },
                  [this](const char* name) -> const char*
                  {
                      const auto it = env_.find(name);
                      return it == env_.end() ? nullptr : it->second.c_str();
                  },
                  [this](const std::string& line) { warned_.push_back(line); }, tree_.sysfs(), tree_.dev()};
        return std::make_unique<Session>(host);
    }
    std::vector<uint8_t> file(const char* slot, const char* name)
    {
        return tree_.bytes(tree_.dir(slot) + "/" + name);
    }

    test::StandInSysfs tree_;
    std::map<std::string, std::string> env_;
    std::vector<std::string> warned_;
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
    const auto lib = session("pci:1af4:1041");
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
