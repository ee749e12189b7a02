// The machine's PCI devices as a bus, on Linux: LUMBRA_DEVICE=pci... Devices are found
// and their configuration space read and written through libpci's sysfs method; BAR0
// and BAR1 go through the kernel's sysfs resource files (an I/O range by one-byte
// pread/pwrite, a memory range by mmap); the interrupt through the UIO device of a board
// bound to uio_pci_generic. Board functions reach only devices with the board's IDs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bus.h"
#include "pci_selection.h"

struct pci_access;
struct pci_dev;

namespace lumbra
{

class LinuxBus : public Bus
{
public:
    using Warn = std::function<void(const std::string&)>;

    // Scans `sysfsPath` (normally /sys/bus/pci) and keeps the devices the selection picks,
    // in bus order; UIO devices are looked for under `devPath`. A filter libpci cannot read
    // or a tree that cannot be scanned fails the open with a warning saying why.
    static std::unique_ptr<LinuxBus> open(const std::string& sysfsPath, const std::string& devPath,
                                          const PciSelection& selection, Warn warn,
                                          std::vector<std::string>& warnings);
    ~LinuxBus() override;
    LinuxBus(const LinuxBus&) = delete;
    LinuxBus& operator=(const LinuxBus&) = delete;

    int32_t count() const override { return static_cast<int32_t>(devices_.size()); }
    bool isBoard(int32_t chip) const override;
    std::optional<uint32_t> readConfig(int32_t chip, uint32_t offset) override;
    bool writeConfig(int32_t chip, uint32_t offset, uint32_t value) override;
    std::optional<uint8_t> readPort(int32_t chip, uint32_t offset) override;
    bool writePort(int32_t chip, uint32_t offset, uint8_t value) override;
    std::optional<uint32_t> readMemory(int32_t chip, uint32_t offset) override;
    bool writeMemory(int32_t chip, uint32_t offset, uint32_t value) override;
    std::optional<uint32_t> waitInterrupt(int32_t chip, int timeoutMs) override;
    bool acknowledgeInterrupt(int32_t chip) override;

    // The device's slot as lspci prints it with -D: "0000:00:1f.3".
    std::string slot(int32_t chip) const override;

private:
    // One BAR reached through its sysfs resource file, opened at first use.
    struct Window
    {
        int fd = -1;
        bool io = false;
        uint8_t* map = nullptr;
        size_t mapSize = 0;
        bool failed = false;  // refused once: not retried, so one refusal prints one line
    };
    struct Device
    {
        pci_dev* dev;
        std::string dir;
        bool board;
        Window bars[2];
        int uio = -1;
        bool uioLooked = false;
        bool counted = false;
        uint32_t lastCount = 0;
    };

    static bool transfer(Window* w, uint32_t offset, void* data, size_t width, bool write);

    LinuxBus(pci_access* access, std::string devPath, Warn warn);
    Device* device(int32_t chip);
    Device* board(int32_t chip);
    Window* window(Device& device, int bar, uint32_t offset, uint32_t width);
    bool openWindow(Device& device, int bar, Window& window);
    void refused(const Device& device, const std::string& what, const std::string& why,
                 bool rootWouldHelp) const;
    void configRefused(const Device& device, const char* what, uint32_t offset,
                       const std::string& error) const;

    pci_access* access_;
    std::string devPath_;
    Warn warn_;
    std::vector<Device> devices_;
};

}  // namespace lumbra
