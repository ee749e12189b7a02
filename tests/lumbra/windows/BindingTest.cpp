// lumbra.dll bound as a Windows client binds it: loaded by full path from the program's
// own folder, each entry point taken by its plain name and called through a pointer of
// the contract's type. A pointer whose convention differs from the export's (on 32-bit
// x86 the callee, not the caller, takes __stdcall arguments off the stack) leaves the
// stack a few bytes off at each call, which shows only over many calls: so every entry
// point is called a couple of million times in all, and every result is checked.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <string>

#include "lumbra.h"

namespace
{

struct Library
{
#define LUMBRA_POINTER(ret, name, params, args) name##_fn name = nullptr;
    LUMBRA_FUNCTIONS(LUMBRA_POINTER)
#undef LUMBRA_POINTER
};

constexpr int kFunctions = 0
#define LUMBRA_COUNT(ret, name, params, args) +1
    LUMBRA_FUNCTIONS(LUMBRA_COUNT)
#undef LUMBRA_COUNT
    ;

std::wstring ownFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

class Binding : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Frozen counters, so a counter reads back exactly what was loaded.
        SetEnvironmentVariableW(L"LUMBRA_SIM_PULSE_HZ", L"0");
        SetEnvironmentVariableW(L"LUMBRA_SIM_CHIPS", L"2");
        path_ = ownFolder() + L"lumbra.dll";
        module_ = LoadLibraryW(path_.c_str());
        ASSERT_NE(module_, nullptr) << "LoadLibraryW failed with error " << GetLastError();
        int found = 0;
#define LUMBRA_RESOLVE(ret, name, params, args)                                                              \
    lib_.name = reinterpret_cast<name##_fn>(reinterpret_cast<void*>(GetProcAddress(module_, #name)));        \
    EXPECT_NE(lib_.name, nullptr) << #name " is not exported by its plain name";                             \
    found += lib_.name != nullptr;
        LUMBRA_FUNCTIONS(LUMBRA_RESOLVE)
#undef LUMBRA_RESOLVE
        ASSERT_EQ(found, kFunctions);
    }
    void TearDown() override
    {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }

    std::wstring path_;
    HMODULE module_ = nullptr;
    Library lib_;
};

}  // namespace

TEST_F(Binding, LoadsTheLibraryBesideTheProgramAndFindsAllTwentyTwoFunctions)
{
    EXPECT_EQ(kFunctions, 22);
    wchar_t loaded[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module_, loaded, MAX_PATH);
    EXPECT_EQ(CompareStringOrdinal(loaded, static_cast<int>(length), path_.c_str(),
                                   static_cast<int>(path_.size()), TRUE),
              CSTR_EQUAL);
}

TEST_F(Binding, EveryEntryPointGivesTheRightResultsOverMillionsOfCalls)
{
    constexpr int kRounds = 100'000;
    int64_t calls = 0, wrong = 0;
    int firstWrongRound = -1;
    const auto check = [&](bool right, int round)
    {
        ++calls;
        if (!right && wrong++ == 0)
            firstWrongRound = round;
    };
    for (int round = 0; round < kRounds; ++round)
    {
        const int32_t chip = 1 + round % 2;
        const auto byte = static_cast<uint8_t>(round * 7);
        const int32_t word = round & 0xFFFF;
        int32_t value = -1;
        uint8_t port = 0;
        std::array<uint8_t, LUMBRA_INTR_RECORD_SIZE> record{};

        check(lib_.PciOpenDevice() == 1, round);
        check(lib_.PciGetVxdVersion() == 0x0104, round);
        check(lib_.PciFindDevice() == 2, round);
        check(lib_.PciRegisterDevice(chip) == 1, round);
        check(lib_.PciReadConfigReg(chip, 0x00, &value) == 1 && value == 0x0B177A5E, round);
        check(lib_.PciWriteConfigReg(chip, 0x40, round) == 1, round);
        check(lib_.PciReadConfigReg(chip, 0x40, &value) == 1 && value == round, round);
        check(lib_.OrvelWriteModeReg(chip, 0x28, ~round) == 1, round);
        check(lib_.OrvelReadModeReg(chip, 0x28, &value) == 1 && value == ~round, round);
        check(lib_.OrvelReadEep(chip, 0, &value) == 1 && value == 0x7A5E, round);
        check(lib_.TavrinWriteOutport(chip, byte) == 1, round);
        check(lib_.TavrinReadOutport(chip, &port) == 1 && port == byte, round);
        check(lib_.TavrinReadInport(chip, &port) == 1 && port == 0xA5, round);
        check(lib_.TavrinInitCadmir(chip, 0, round) == 1, round);
        check(lib_.CadmirReadCounter(chip, &value) == 1 && value == round, round);
        check(lib_.TavrinOpenIntr(chip, static_cast<uint16_t>(round % 1000 + 1)) == 1, round);
        check(lib_.TavrinUnmaskIntr() == 1, round);
        check(lib_.TavrinMaskIntr() == 1, round);
        check(lib_.TavrinReadIntrStat(record.data()) == 1 && record[0] == chip &&
                  (record[8] | record[9] << 8) == round % 1000 + 1,
              round);
        check(lib_.TavrinCloseIntr(chip) == 1, round);
        // Programming the EEPROM takes the simulated part's real write time: now and then.
        if (round % 5000 == 0)
        {
            check(lib_.OrvelWriteEep(chip, 20, word) == 1, round);
            check(lib_.OrvelReadEep(chip, 20, &value) == 1 && value == word, round);
            check(lib_.TavrinInitEep(chip) == 1, round);
            check(lib_.OrvelReadEep(chip, 20, &value) == 1 && value == 0xFFFF, round);
        }
        check(lib_.PciCloseDevice() == 1, round);
        check(lib_.PciFindDevice() == 0, round);
    }
    EXPECT_GE(calls, 2'000'000);
    EXPECT_EQ(wrong, 0) << "first wrong result in round " << firstWrongRound;
}
