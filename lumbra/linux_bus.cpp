#include "linux_bus.h"

extern "C"
{
#include <pci/pci.h>
}

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <tuple>

#include "registers.h"
#include "text.h"

namespace lumbra
{

namespace
{

// libpci ends the program on an error unless its handler does not return: the handler
// jumps back to the call that was guarded, which then fails.
thread_local std::jmp_buf* tGuard = nullptr;
thread_local char tMessage[512];
// libpci's last warning during a guarded call, with the kernel's reason; refusals are
// reported by the bus itself, once, and this says why.
thread_local char tWarning[512];
thread_local int tWarningErrno = 0;

// libpci's message with the errno of the failed system call, which its own text leaves out.
void format(char* into, size_t size, int error, const char* format, va_list args)
{
    const int length = std::vsnprintf(into, size, format, args);
    if (error != 0 && length >= 0 && static_cast<size_t>(length) < size)
        std::snprintf(into + length, size - static_cast<size_t>(length), ": %s", std::strerror(error));
}

__attribute__((noreturn)) void pciError(char* text, ...)
{
    const int error = errno;
    va_list args;
    va_start(args, text);
    format(tMessage, sizeof tMessage, error, text, args);
    va_end(args);
    if (tGuard == nullptr)
        std::abort();
    std::longjmp(*tGuard, 1);
}

void pciWarning(char* text, ...)
{
    tWarningErrno = errno;
    va_list args;
    va_start(args, text);
    format(tWarning, sizeof tWarning, tWarningErrno, text, args);
    va_end(args);
}

void pciQuiet(char*, ...) {}

bool denied(int error) { return error == EACCES || error == EPERM; }

// Runs libpci calls that may raise an error. The calls must hold nothing that needs
// destroying, as an error leaves them by a jump.
template <typename Calls>
bool guarded(Calls&& calls, std::string& error)
{
    std::jmp_buf here;
    std::jmp_buf* outer = tGuard;
    tGuard = &here;
    tWarning[0] = '\0';
    tWarningErrno = 0;
    errno = 0;
    if (setjmp(here) == 0)
    {
        calls();
        tGuard = outer;
        return true;
    }
    tGuard = outer;
    error = tMessage;
    return false;
}

bool before(const pci_dev* a, const pci_dev* b)
{
    return std::tie(a->domain, a->bus, a->dev, a->func) < std::tie(b->domain, b->bus, b->dev, b->func);
}

constexpr uint32_t kBarSizes[2] = {reg::kBar0Size, reg::kBar1Size};
constexpr size_t kPage = 4096;

}  // namespace

LinuxBus::LinuxBus(pci_access* access, std::string devPath, Warn warn)
    : access_(access), devPath_(std::move(devPath)), warn_(std::move(warn))
{
}

std::unique_ptr<LinuxBus> LinuxBus::open(const std::string& sysfsPath, const std::string& devPath,
                                         const PciSelection& selection, Warn warn,
                                         std::vector<std::string>& warnings)
{
    pci_access* access = pci_alloc();
    access->method = PCI_ACCESS_SYS_BUS_PCI;  // never the direct port methods
    access->error = pciError;
    access->warning = pciWarning;
    access->debug = pciQuiet;
    std::unique_ptr<LinuxBus> bus(new LinuxBus(access, devPath, std::move(warn)));

    pci_filter filter;
    pci_filter_init(access, &filter);
    std::string text = selection.filter;
    const char* mistake = nullptr;
    if (selection.kind == PciSelection::Kind::Board)
    {
        filter.vendor = reg::kVendorId;
        filter.device = reg::kDeviceId;
    }
    else if (selection.kind == PciSelection::Kind::Id)
        mistake = pci_filter_parse_id(&filter, text.data());
    else
        mistake = pci_filter_parse_slot(&filter, text.data());
    if (mistake != nullptr)
    {
        warnings.push_back("LUMBRA_DEVICE: " + quoted(selection.filter) + ": " + mistake);
        return nullptr;
    }

    std::string path = sysfsPath, error;
    if (!guarded(
            [&]
            {
                pci_set_param(access, const_cast<char*>("sysfs.path"), path.data());
                pci_init(access);
                pci_scan_bus(access);
            },
            error))
    {
        warnings.push_back("cannot list the PCI devices under " + sysfsPath + ": " + error);
        return nullptr;
    }

    std::vector<pci_dev*> picked;
    for (pci_dev* dev = access->devices; dev != nullptr; dev = dev->next)
    {
        bool match = false;
        if (!guarded(
                [&]
                {
                    pci_fill_info(dev, PCI_FILL_IDENT | PCI_FILL_BASES | PCI_FILL_IO_FLAGS);
                    match = pci_filter_match(&filter, dev);
                },
                error))
            warnings.push_back("skipping a PCI device that cannot be read: " + error);
        else if (match)
            picked.push_back(dev);
    }
    std::sort(picked.begin(), picked.end(), before);
    for (pci_dev* dev : picked)
    {
        char name[32];
        std::snprintf(name, sizeof name, "%04x:%02x:%02x.%d", dev->domain, dev->bus, dev->dev, dev->func);
        const bool board = dev->vendor_id == reg::kVendorId && dev->device_id == reg::kDeviceId;
        bus->devices_.push_back(Device{dev, sysfsPath + "/devices/" + name, board, {}, -1, false, false, 0});
    }
    return bus;
}

LinuxBus::~LinuxBus()
{
    for (auto& device : devices_)
    {
        for (auto& bar : device.bars)
        {
            if (bar.map != nullptr)
                munmap(bar.map, bar.mapSize);
            if (bar.fd >= 0)
                close(bar.fd);
        }
        if (device.uio >= 0)
            close(device.uio);
    }
    std::string ignored;
    guarded([&] { pci_cleanup(access_); }, ignored);
}

std::string LinuxBus::slot(int32_t chip) const
{
    const Device& d = devices_.at(static_cast<size_t>(chip - 1));
    return d.dir.substr(d.dir.rfind('/') + 1);
}

LinuxBus::Device* LinuxBus::device(int32_t chip)
{
    if (chip < 1 || chip > count())
        return nullptr;
    return &devices_[static_cast<size_t>(chip - 1)];
}

bool LinuxBus::isBoard(int32_t chip) const
{
    return chip >= 1 && chip <= count() && devices_[chip - 1].board;
}

// Every access beyond configuration space is a board function: on another device a
// register of ours could be anything, so it is never touched.
LinuxBus::Device* LinuxBus::board(int32_t chip)
{
    Device* d = device(chip);
    return d != nullptr && d->board ? d : nullptr;
}

void LinuxBus::refused(const Device& device, const std::string& what, const std::string& why,
                       bool rootWouldHelp) const
{
    const std::string slot = device.dir.substr(device.dir.rfind('/') + 1);
    warn_(slot + ": " + what + " refused: " + why +
          (rootWouldHelp && geteuid() != 0 ? "; run it as root" : ""));
}

// Why libpci answered a configuration access with failure: its own error or warning, or,
// when it says nothing, the kernel's short read.
void LinuxBus::configRefused(const Device& device, const char* what, uint32_t offset,
                             const std::string& error) const
{
    char where[64];
    std::snprintf(where, sizeof where, "configuration %s at 0x%02X", what, offset);
    if (!error.empty())
        refused(device, where, error, false);
    else if (tWarning[0] != '\0')
        refused(device, where, tWarning, denied(tWarningErrno));
    else if (geteuid() != 0 && offset >= 64)
        refused(device, where,
                "the kernel shows a user who is not root only the first 64 bytes of configuration space",
                true);
    else
        refused(device, where, "the configuration space in " + device.dir + "/config ends before it", false);
}

std::optional<uint32_t> LinuxBus::readConfig(int32_t chip, uint32_t offset)
{
    Device* d = device(chip);
    if (d == nullptr || offset % 4 != 0 || offset >= reg::kConfigSize)
        return std::nullopt;
    uint8_t bytes[4] = {};
    int ok = 0;
    std::string error;
    if (!guarded([&] { ok = pci_read_block(d->dev, static_cast<int>(offset), bytes, 4); }, error) || !ok)
    {
        configRefused(*d, "read", offset, error);
        return std::nullopt;
    }
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

bool LinuxBus::writeConfig(int32_t chip, uint32_t offset, uint32_t value)
{
    Device* d = device(chip);
    if (d == nullptr || offset % 4 != 0 || offset >= reg::kConfigSize)
        return false;
    uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                        static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    int ok = 0;
    std::string error;
    if (!guarded([&] { ok = pci_write_block(d->dev, static_cast<int>(offset), bytes, 4); }, error) || !ok)
    {
        configRefused(*d, "write", offset, error);
        return false;
    }
    return true;
}

bool LinuxBus::openWindow(Device& device, int bar, Window& w)
{
    const std::string path = device.dir + "/resource" + std::to_string(bar);
    w.io = (device.dev->flags[bar] & PCI_IORESOURCE_IO) != 0 || (device.dev->base_addr[bar] & 1) != 0;
    w.fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    int error = errno;
    std::string what = "opening BAR" + std::to_string(bar);
    if (w.fd >= 0 && !w.io)
    {
        w.mapSize = std::max<size_t>(kBarSizes[bar], kPage);
        void* map = mmap(nullptr, w.mapSize, PROT_READ | PROT_WRITE, MAP_SHARED, w.fd, 0);
        error = errno;
        w.map = map == MAP_FAILED ? nullptr : static_cast<uint8_t*>(map);
        if (w.map == nullptr)
        {
            what = "mapping BAR" + std::to_string(bar);
            close(w.fd);
            w.fd = -1;
        }
    }
    if (w.fd < 0)
    {
        w.failed = true;
        refused(device, what, path + ": " + std::strerror(error), denied(error));
        return false;
    }
    return true;
}

LinuxBus::Window* LinuxBus::window(Device& device, int bar, uint32_t offset, uint32_t width)
{
    if (offset % width != 0 || offset >= kBarSizes[bar])
        return nullptr;
    Window& w = device.bars[bar];
    if (w.failed || (w.fd < 0 && !openWindow(device, bar, w)))
        return nullptr;
    return &w;
}

// An I/O range answers only reads and writes of the width asked for, at that offset.
bool LinuxBus::transfer(Window* w, uint32_t offset, void* data, size_t width, bool write)
{
    if (w->map != nullptr)
    {
        volatile uint8_t* at = w->map + offset;
        if (width == 1)
        {
            if (write)
                *at = *static_cast<uint8_t*>(data);
            else
                *static_cast<uint8_t*>(data) = *at;
        }
        else if (write)
            *reinterpret_cast<volatile uint32_t*>(at) = *static_cast<uint32_t*>(data);
        else
            *static_cast<uint32_t*>(data) = *reinterpret_cast<volatile uint32_t*>(at);
        return true;
    }
    const ssize_t done = write ? pwrite(w->fd, data, width, offset) : pread(w->fd, data, width, offset);
    return done == static_cast<ssize_t>(width);
}

std::optional<uint8_t> LinuxBus::readPort(int32_t chip, uint32_t offset)
{
    Device* d = board(chip);
    Window* w = d ? window(*d, 0, offset, 1) : nullptr;
    uint8_t value = 0;
    if (w == nullptr || !transfer(w, offset, &value, 1, false))
        return std::nullopt;
    return value;
}

bool LinuxBus::writePort(int32_t chip, uint32_t offset, uint8_t value)
{
    Device* d = board(chip);
    Window* w = d ? window(*d, 0, offset, 1) : nullptr;
    return w != nullptr && transfer(w, offset, &value, 1, true);
}

std::optional<uint32_t> LinuxBus::readMemory(int32_t chip, uint32_t offset)
{
    Device* d = board(chip);
    Window* w = d ? window(*d, 1, offset, 4) : nullptr;
    uint32_t value = 0;
    if (w == nullptr || !transfer(w, offset, &value, 4, false))
        return std::nullopt;
    return value;
}

bool LinuxBus::writeMemory(int32_t chip, uint32_t offset, uint32_t value)
{
    Device* d = board(chip);
    Window* w = d ? window(*d, 1, offset, 4) : nullptr;
    return w != nullptr && transfer(w, offset, &value, 4, true);
}

// UIO's read answers the number of interrupts since the driver was bound; only the
// steps between reads are ours, and the first read can only say that one came.
std::optional<uint32_t> LinuxBus::waitInterrupt(int32_t chip, int timeoutMs)
{
    Device* d = board(chip);
    if (d == nullptr)
        return std::nullopt;
    if (!d->uioLooked)
    {
        d->uioLooked = true;
        if (DIR* dir = opendir((d->dir + "/uio").c_str()))
        {
            while (const dirent* entry = readdir(dir))
                if (std::string(entry->d_name).rfind("uio", 0) == 0)
                {
                    const std::string node = devPath_ + "/" + entry->d_name;
                    d->uio = ::open(node.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
                    if (d->uio < 0)
                        refused(*d, "opening its interrupt", node + ": " + std::strerror(errno),
                                denied(errno));
                    break;
                }
            closedir(dir);
        }
    }
    if (d->uio < 0)
        return std::nullopt;
    pollfd ready{d->uio, POLLIN, 0};
    const int polled = poll(&ready, 1, timeoutMs);
    if (polled < 0)
        return std::nullopt;
    if (polled == 0)
        return 0;
    uint32_t total = 0;
    if (read(d->uio, &total, sizeof total) != sizeof total)
        return std::nullopt;
    const uint32_t fresh = d->counted ? total - d->lastCount : 1;
    d->counted = true;
    d->lastCount = total;
    return fresh;
}

// uio_pci_generic masks INTx in the command register at each interrupt; clearing that
// bit (one byte, the command register's high half) lets the next one through.
bool LinuxBus::acknowledgeInterrupt(int32_t chip)
{
    Device* d = board(chip);
    if (d == nullptr || d->uio < 0)
        return false;
    uint8_t high = 0;
    int ok = 0;
    std::string error;
    bool writing = false;
    guarded(
        [&]
        {
            ok = pci_read_block(d->dev, reg::kCfgCommand + 1, &high, 1);
            if (ok && (high & (reg::kCommandIntxOff >> 8)))
            {
                high &= static_cast<uint8_t>(~(reg::kCommandIntxOff >> 8));
                writing = true;
                ok = pci_write_block(d->dev, reg::kCfgCommand + 1, &high, 1);
            }
        },
        error);
    if (!ok)
        configRefused(*d, writing ? "write" : "read", reg::kCfgCommand + 1, error);
    return ok != 0;
}

}  // namespace lumbra
