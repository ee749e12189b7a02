// lumbra.dll bound as a Windows client binds it: loaded by full path from the program's
// own folder, each entry point taken by its plain name and called through a pointer of
// the contract's type. A pointer whose convention differs from the export's (on 32-bit
// x86 the callee, not the caller, takes __stdcall arguments off the stack) leaves the
// stack a few bytes off at each call, which shows only over many calls: so every entry
// point is called a couple of million times in all, and every result is checked, both
// through pointers taken here and through the program's own table (Module1::lib), whose
// first call of each entry binds it.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <string>

#include "devctl/Module1.h"
#include "lumbra.h"

namespace
{

using Library = Module1::Table;

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
    Library lib_{};
};

// Calls every entry point of `lib` over and over with changing arguments; the
// number of calls made and of wrong results.
struct Tally
{
    int64_t calls = 0, wrong = 0;
    int firstWrongRound = -1;
};
Tally callEveryEntryRepeatedly(const Library& lib, int rounds);

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

namespace
{

Tally callEveryEntryRepeatedly(const Library& lib, int rounds)
{
    Tally t;
    const auto check = [&](bool right, int round)
    {
        ++t.calls;
        if (!right && t.wrong++ == 0)
            t.firstWrongRound = round;
    };
    for (int round = 0; round < rounds; ++round)
    {
        const int32_t chip = 1 + round % 2;
        const auto byte = static_cast<uint8_t>(round * 7);
        const int32_t word = round & 0xFFFF;
        int32_t value = -1;
        uint8_t port = 0;
        std::array<uint8_t, LUMBRA_INTR_RECORD_SIZE> record{};

        check(lib.PciOpenDevice() == 1, round);
        check(lib.PciGetVxdVersion() == 0x0104, round);
        check(lib.PciFindDevice() == 2, round);
        check(lib.PciRegisterDevice(chip) == 1, round);
        check(lib.PciReadConfigReg(chip, 0x00, &value) == 1 && value == 0x0B177A5E, round);
        check(lib.PciWriteConfigReg(chip, 0x40, round) == 1, round);
        check(lib.PciReadConfigReg(chip, 0x40, &value) == 1 && value == round, round);
        check(lib.OrvelWriteModeReg(chip, 0x28, ~round) == 1, round);
        check(lib.OrvelReadModeReg(chip, 0x28, &value) == 1 && value == ~round, round);
        check(lib.OrvelReadEep(chip, 0, &value) == 1 && value == 0x7A5E, round);
        check(lib.TavrinWriteOutport(chip, byte) == 1, round);
        check(lib.TavrinReadOutport(chip, &port) == 1 && port == byte, round);
        check(lib.TavrinReadInport(chip, &port) == 1 && port == 0xA5, round);
        check(lib.TavrinInitCadmir(chip, 0, round) == 1, round);
        check(lib.CadmirReadCounter(chip, &value) == 1 && value == round, round);
        check(lib.TavrinOpenIntr(chip, static_cast<uint16_t>(round % 1000 + 1)) == 1, round);
        check(lib.TavrinUnmaskIntr() == 1, round);
        check(lib.TavrinMaskIntr() == 1, round);
        check(lib.TavrinReadIntrStat(record.data()) == 1 && record[0] == chip &&
                  (record[8] | record[9] << 8) == round % 1000 + 1,
              round);
        check(lib.TavrinCloseIntr(chip) == 1, round);
        // Programming the EEPROM takes the simulated part's real write time: now and then.
        if (round % 5000 == 0)
        {
            check(lib.OrvelWriteEep(chip, 20, word) == 1, round);
            check(lib.OrvelReadEep(chip, 20, &value) == 1 && value == word, round);
            check(lib.TavrinInitEep(chip) == 1, round);
            check(lib.OrvelReadEep(chip, 20, &value) == 1 && value == 0xFFFF, round);
        }
        check(lib.PciCloseDevice() == 1, round);
        check(lib.PciFindDevice() == 0, round);
    }
    return t;
}

}  // namespace

TEST_F(Binding, EveryEntryPointGivesTheRightResultsOverMillionsOfCalls)
{
    const Tally t = callEveryEntryRepeatedly(lib_, 100'000);
    EXPECT_GE(t.calls, 2'000'000);
    EXPECT_EQ(t.wrong, 0) << "first wrong result in round " << t.firstWrongRound;
}

// The program's table starts with one resolver per entry; each binds itself at its
// first call, so the first round goes through the resolvers and every later one
// through the library's own functions.
TEST_F(Binding, TheProgramsTableBindsEachEntryAtItsFirstCallAndStaysRightOverMillionsOfCalls)
{
    static std::string fatal;
    Module1::setFatalHandler([](const std::string& message) { fatal = message; });
    Module1::useLibrary("lumbra");
    const Tally t = callEveryEntryRepeatedly(Module1::lib, 100'000);
    EXPECT_EQ(fatal, "");
    EXPECT_GE(t.calls, 2'000'000);
    EXPECT_EQ(t.wrong, 0) << "first wrong result in round " << t.firstWrongRound;
#define LUMBRA_BOUND(ret, name, params, args)                                                                \
    EXPECT_EQ(reinterpret_cast<void*>(Module1::lib.name), reinterpret_cast<void*>(lib_.name)) << #name;
    LUMBRA_FUNCTIONS(LUMBRA_BOUND)
#undef LUMBRA_BOUND
    Module1::setFatalHandler(nullptr);
}
