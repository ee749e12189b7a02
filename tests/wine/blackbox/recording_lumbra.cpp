// lumbra.dll for the black-box run: the whole contract over two small
// simulated chips, each call written as one line to calls.log beside the DLL,
// so a script can follow what the real program asks of the library while a
// person's clicks and keys drive it. The file is opened and closed for every
// line: what the script reads is complete even while the program runs, and
// nothing is lost when the program ends at once.
#include "lumbra.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>

namespace
{

constexpr int kChips = 2;

struct Chip
{
    int32_t config[17];
    int32_t mode[16];
    uint16_t eeprom[64];
    uint8_t inport;
    uint8_t outport;
    int32_t counter;
};

Chip chips[kChips];
int32_t openIntr = 0;
bool masked = true;

// Every value tells its chip and its place, so a log line or a dump on the
// screen shows which chip and register it came from.
void makeBoard()
{
    for (int c = 0; c < kChips; ++c)
    {
        Chip& chip = chips[c];
        const int32_t n = c + 1;
        for (int i = 0; i < 17; ++i)
            chip.config[i] = int32_t(uint32_t(n) << 28 | uint32_t(i) << 16 | uint32_t(i) << 8 | uint32_t(i));
        for (int i = 0; i < 16; ++i)
            chip.mode[i] = int32_t(uint32_t(n) << 24 | uint32_t(0xE0 + i));
        for (int i = 0; i < 64; ++i)
            chip.eeprom[i] = uint16_t(n << 12 | i);
        chip.inport = uint8_t(0x50 + n);
        chip.outport = uint8_t(0xA0 + n);
        chip.counter = 1000 * n;
    }
}

std::wstring logPath()
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&logPath), &self);
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    std::wstring file(path, length);
    return file.substr(0, file.find_last_of(L"\\/") + 1) + L"calls.log";
}

void record(const char* format, ...)
{
    static const std::wstring path = logPath();
    char line[256];
    va_list args;
    va_start(args, format);
    int length = vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (length < 0)
        return;
    if (length > int(sizeof line) - 2)
        length = int(sizeof line) - 2;
    line[length++] = '\n';
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line, DWORD(length), &written, nullptr);
    CloseHandle(file);
}

Chip* chipAt(int32_t chip) { return chip >= 1 && chip <= kChips ? &chips[chip - 1] : nullptr; }

// A register offset the dumps use: a multiple of 4 below `end`.
bool registerOffset(int32_t offset, int32_t end) { return offset >= 0 && offset < end && offset % 4 == 0; }

}  // namespace

extern "C"
{

    int16_t LUMBRA_CALL PciOpenDevice(void)
    {
        record("PciOpenDevice");
        makeBoard();
        return 1;
    }

    int16_t LUMBRA_CALL PciCloseDevice(void)
    {
        record("PciCloseDevice");
        return 1;
    }

    int32_t LUMBRA_CALL PciGetVxdVersion(void)
    {
        record("PciGetVxdVersion");
        return 0x0102;
    }

    int32_t LUMBRA_CALL PciFindDevice(void)
    {
        record("PciFindDevice");
        return kChips;
    }

    int16_t LUMBRA_CALL PciRegisterDevice(int32_t chip)
    {
        record("PciRegisterDevice chip=%d", chip);
        return chipAt(chip) ? 1 : 0;
    }

    int16_t LUMBRA_CALL PciReadConfigReg(int32_t chip, int32_t offset, int32_t* value)
    {
        record("PciReadConfigReg chip=%d offset=0x%02X", chip, unsigned(offset));
        Chip* c = chipAt(chip);
        if (!c || !registerOffset(offset, 0x44))
            return 0;
        *value = c->config[offset / 4];
        return 1;
    }

    int16_t LUMBRA_CALL PciWriteConfigReg(int32_t chip, int32_t offset, int32_t value)
    {
        record("PciWriteConfigReg chip=%d offset=0x%02X value=0x%08X", chip, unsigned(offset),
               unsigned(value));
        Chip* c = chipAt(chip);
        if (!c || !registerOffset(offset, 0x44))
            return 0;
        c->config[offset / 4] = value;
        return 1;
    }

    int16_t LUMBRA_CALL OrvelReadModeReg(int32_t chip, int32_t offset, int32_t* value)
    {
        record("OrvelReadModeReg chip=%d offset=0x%02X", chip, unsigned(offset));
        Chip* c = chipAt(chip);
        if (!c || !registerOffset(offset, 0x40))
            return 0;
        *value = c->mode[offset / 4];
        return 1;
    }

    int16_t LUMBRA_CALL OrvelWriteModeReg(int32_t chip, int32_t offset, int32_t value)
    {
        record("OrvelWriteModeReg chip=%d offset=0x%02X value=0x%08X", chip, unsigned(offset),
               unsigned(value));
        Chip* c = chipAt(chip);
        if (!c || !registerOffset(offset, 0x40))
            return 0;
        c->mode[offset / 4] = value;
        return 1;
    }

    int16_t LUMBRA_CALL OrvelReadEep(int32_t chip, int32_t address, int32_t* value)
    {
        record("OrvelReadEep chip=%d address=%d", chip, address);
        Chip* c = chipAt(chip);
        if (!c || address < 0 || address >= 64)
            return 0;
        *value = c->eeprom[address];
        return 1;
    }

    int16_t LUMBRA_CALL OrvelWriteEep(int32_t chip, int32_t address, int32_t value)
    {
        record("OrvelWriteEep chip=%d address=%d value=0x%04X", chip, address, unsigned(value));
        Chip* c = chipAt(chip);
        if (!c || address < 0 || address >= 64)
            return 0;
        c->eeprom[address] = uint16_t(value);
        return 1;
    }

    int16_t LUMBRA_CALL TavrinInitEep(int32_t chip)
    {
        record("TavrinInitEep chip=%d", chip);
        Chip* c = chipAt(chip);
        if (!c)
            return 0;
        for (uint16_t& word : c->eeprom)
            word = 0xFFFF;
        return 1;
    }

    int16_t LUMBRA_CALL TavrinReadInport(int32_t chip, uint8_t* value)
    {
        record("TavrinReadInport chip=%d", chip);
        Chip* c = chipAt(chip);
        if (!c)
            return 0;
        *value = c->inport;
        return 1;
    }

    int16_t LUMBRA_CALL TavrinReadOutport(int32_t chip, uint8_t* value)
    {
        record("TavrinReadOutport chip=%d", chip);
        Chip* c = chipAt(chip);
        if (!c)
            return 0;
        *value = c->outport;
        return 1;
    }

    int16_t LUMBRA_CALL TavrinWriteOutport(int32_t chip, uint8_t value)
    {
        record("TavrinWriteOutport chip=%d value=0x%02X", chip, unsigned(value));
        Chip* c = chipAt(chip);
        if (!c)
            return 0;
        c->outport = value;
        return 1;
    }

    int16_t LUMBRA_CALL CadmirReadCounter(int32_t chip, int32_t* value)
    {
        record("CadmirReadCounter chip=%d", chip);
        Chip* c = chipAt(chip);
        if (!c)
            return 0;
        *value = c->counter;
        return 1;
    }

    int16_t LUMBRA_CALL TavrinInitCadmir(int32_t chip, int32_t mode, int32_t data)
    {
        record("TavrinInitCadmir chip=%d mode=%d data=%d", chip, mode, data);
        Chip* c = chipAt(chip);
        if (!c)
            return 0;
        c->counter = 0;
        return 1;
    }

    int16_t LUMBRA_CALL TavrinOpenIntr(int32_t chip, uint16_t pulses)
    {
        record("TavrinOpenIntr chip=%d pulses=%u", chip, unsigned(pulses));
        if (!chipAt(chip) || openIntr != 0)
            return 0;
        openIntr = chip;
        return 1;
    }

    int16_t LUMBRA_CALL TavrinUnmaskIntr(void)
    {
        record("TavrinUnmaskIntr");
        masked = false;
        return 1;
    }

    int16_t LUMBRA_CALL TavrinMaskIntr(void)
    {
        record("TavrinMaskIntr");
        masked = true;
        return 1;
    }

    int16_t LUMBRA_CALL TavrinCloseIntr(int32_t handle)
    {
        record("TavrinCloseIntr handle=%d", handle);
        if (handle == 0 || handle != openIntr)
            return 0;
        openIntr = 0;
        return 1;
    }

    int16_t LUMBRA_CALL TavrinReadIntrStat(uint8_t* record_)
    {
        record("TavrinReadIntrStat");
        for (int i = 0; i < LUMBRA_INTR_RECORD_SIZE; ++i)
            record_[i] = 0;
        record_[0] = uint8_t(openIntr);
        record_[1] = masked ? 0 : 1;
        return 1;
    }

}  // extern "C"
