// A stand-in for the kernel's /sys/bus/pci and /dev made of regular files and FIFOs,
// shaped as the kernel shows them: per device `config`, `vendor`, `device`, `class`,
// `irq`, `resource` and `resource0`/`resource1` (which take pread/pwrite and mmap as the
// kernel's do), and for a device bound to uio_pci_generic a `uio/uioN` directory with
// /dev/uioN delivering 4-byte interrupt counts.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace lumbra::test
{

class StandInSysfs
{
public:
    StandInSysfs()
    {
        char pattern[] = "/tmp/lumbra-sysfs-XXXXXX";
        root_ = mkdtemp(pattern);
        std::filesystem::create_directories(root_ + "/sys/devices");
        std::filesystem::create_directories(root_ + "/dev");
    }
    ~StandInSysfs() { std::filesystem::remove_all(root_); }

    std::string sysfs() const { return root_ + "/sys"; }
    std::string dev() const { return root_ + "/dev"; }
    std::string dir(const std::string& slot) const { return sysfs() + "/devices/" + slot; }

    // A device with I/O BAR0 of 256 bytes and memory BAR1 of 4 KiB.
    void add(const std::string& slot, uint16_t vendor, uint16_t device, int uio = -1)
    {
        const std::string d = dir(slot);
        std::filesystem::create_directories(d);
        std::vector<uint8_t> config(256, 0);
        config[0] = static_cast<uint8_t>(vendor);
        config[1] = static_cast<uint8_t>(vendor >> 8);
        config[2] = static_cast<uint8_t>(device);
        config[3] = static_cast<uint8_t>(device >> 8);
        config[0x3C] = 11;
        config[0x3D] = 1;
        write(d + "/config", config);
        text(d + "/vendor", hex(vendor));
        text(d + "/device", hex(device));
        text(d + "/class", "0x118000");
        text(d + "/irq", "11");
        std::ofstream(d + "/resource")
            << ("0x000000000000d000 0x000000000000d0ff 0x0000000000040101\n"
                "0x00000000feb00000 0x00000000feb00fff 0x0000000000040200\n" +
                repeat("0x0000000000000000 0x0000000000000000 0x0000000000000000\n", 5));
        write(d + "/resource0", std::vector<uint8_t>(256, 0));
        write(d + "/resource1", std::vector<uint8_t>(4096, 0));
        if (uio >= 0)
        {
            const std::string name = "uio" + std::to_string(uio);
            std::filesystem::create_directories(d + "/uio/" + name);
            mkfifo((dev() + "/" + name).c_str(), 0600);
            // Held open for writing so the library's end never sees the FIFO closed.
            fifos_.push_back(::open((dev() + "/" + name).c_str(), O_RDWR));
        }
    }

    // The kernel's interrupt count for that UIO device, as /dev/uioN delivers it.
    void interrupt(size_t fifo, uint32_t total) { (void)!::write(fifos_.at(fifo), &total, sizeof total); }

    std::vector<uint8_t> bytes(const std::string& path) const
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void write(const std::string& path, const std::vector<uint8_t>& data)
    {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
    }

private:
    static std::string hex(uint16_t value)
    {
        char text[16];
        std::snprintf(text, sizeof text, "0x%04x", value);
        return text;
    }
    static std::string repeat(const std::string& s, int n)
    {
        std::string out;
        while (n-- > 0)
            out += s;
        return out;
    }
    static void text(const std::string& path, const std::string& value)
    {
        std::ofstream(path) << value << '\n';
    }

    std::string root_;
    std::vector<int> fifos_;
};

}  // namespace lumbra::test
