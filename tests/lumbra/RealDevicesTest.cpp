// The library against this machine's own PCI devices, read only: for every device it
// must show the configuration bytes lspci shows. Nothing here writes to a device.
#include <dirent.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <numeric>
#include <sstream>

#include "SimulatedBoards.h"

namespace
{

std::string run(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r"))
    {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        pclose(pipe);
    }
    return output;
}

// "00: 86 80 57 0d ..." lines of lspci -xxx, as bytes.
std::vector<int> lspciBytes(const std::string& slot)
{
    std::istringstream lines(run("lspci -xxx -s " + slot));
    std::vector<int> bytes;
    std::string line;
    while (std::getline(lines, line))
    {
        if (line.size() < 4 || line[2] != ':' || line[3] != ' ')
            continue;
        std::istringstream hex(line.substr(3));
        int byte;
        while (hex >> std::hex >> byte)
            bytes.push_back(byte);
    }
    return bytes;
}

std::string idOf(const std::string& slot)
{
    std::string vendor, device;
    std::ifstream("/sys/bus/pci/devices/" + slot + "/vendor") >> vendor;
    std::ifstream("/sys/bus/pci/devices/" + slot + "/device") >> device;
    return vendor.substr(2) + ":" + device.substr(2);
}

}  // namespace

TEST_F(SimulatedBoards, EveryDeviceOfThisMachineShowsTheConfigurationBytesLspciShows)
{
    std::map<std::string, int> ids;  // vendor:device, devices with it
    if (DIR* dir = opendir("/sys/bus/pci/devices"))
    {
        while (const dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                ++ids[idOf(entry->d_name)];
        closedir(dir);
    }
    if (ids.empty())
        GTEST_SKIP() << "this machine shows no PCI devices in /sys/bus/pci";
    if (run("command -v lspci").empty())
        GTEST_SKIP() << "lspci (Debian pciutils) is not installed";

    size_t compared = 0;
    for (const auto& [id, count] : ids)
    {
        setEnv("LUMBRA_DEVICE", ("pci:" + id).c_str());
        ASSERT_EQ(PciOpenDevice(), 1) << id;
        ASSERT_EQ(PciFindDevice(), count) << id;
        std::istringstream slots(run("lspci -D -n -d " + id + " | cut -d' ' -f1"));
        std::string slot;
        for (int32_t chip = 1; std::getline(slots, slot); ++chip)
        {
            const auto expected = lspciBytes(slot);
            ASSERT_GE(expected.size(), 64u) << slot;
            std::vector<int> shown;
            for (size_t offset = 0; offset < expected.size(); offset += 4)
            {
                int32_t value = 0;
                ASSERT_EQ(PciReadConfigReg(chip, static_cast<int32_t>(offset), &value), 1)
                    << slot << " " << offset;
                for (int i = 0; i < 4; ++i)
                    shown.push_back(static_cast<uint32_t>(value) >> (8 * i) & 0xFF);
            }
            EXPECT_EQ(shown, expected) << slot << " (" << id << ")";
            // Reads only: board functions on a device of another maker fail untouched.
            uint8_t port = 7;
            EXPECT_EQ(TavrinReadInport(chip, &port), 0) << slot;
            EXPECT_EQ(port, 7);
            ++compared;
        }
        PciCloseDevice();
    }
    std::printf("compared %zu devices with lspci -xxx\n", compared);
    EXPECT_EQ(compared,
              static_cast<size_t>(std::accumulate(ids.begin(), ids.end(), 0,
                                                  [](int sum, const auto& id) { return sum + id.second; })));
}
