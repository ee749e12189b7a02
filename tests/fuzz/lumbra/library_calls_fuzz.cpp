// The whole library through its exported entry points, driven by fuzzed call
// sequences with fuzzed environments (chip count, input port, fault rules)
// and the counter stepped by hand. A model of what the library documents
// checks every answer:
// - a call on a closed library, or for a chip outside 1..N, fails;
// - a failing call returns 0, leaves its out-values alone and changes nothing
//   that a later read can see;
// - an EEPROM word reads back as last written, or as the factory contents
//   after an initialisation (whose 64 words sum to 0);
// - the output latch reads back as written, the input port as configured;
// - the counter stays within 24 bits and moves by exactly the pulses given;
// - the interrupt status record is laid out as documented: the open chip,
//   its interrupt line, the count, P, a 24-bit target and a zero byte.
#include "lumbra_sim.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>

namespace
{

[[noreturn]] void finding(const std::string& what)
{
    std::fprintf(stderr, "finding: %s\n", what.c_str());
    std::abort();
}

constexpr const char* kNames[] = {
#define LUMBRA_NAME(ret, name, params, args) #name,
    LUMBRA_FUNCTIONS(LUMBRA_NAME)
#undef LUMBRA_NAME
};

constexpr int32_t kSentinel = 0x5A5A5A5A;
constexpr uint8_t kByteSentinel = 0x5A;

std::array<uint16_t, 64> factoryEeprom(int32_t chip)
{
    std::array<uint16_t, 64> w{};
    const uint16_t head[12] = {
        0x7A5E, 0x0B17, 0x7A5E, 0x0001, 0x1180, 0x0001, 0x0001, 0x0000, uint16_t(0x1000 + chip),
        0x00A1, 0x1F03, 0x0202};
    std::copy(std::begin(head), std::end(head), w.begin());
    uint16_t sum = 0;
    for (int i = 0; i < 63; ++i)
    {
        if (i >= 12)
            w[i] = 0xFFFF;
        sum = uint16_t(sum + w[i]);
    }
    w[63] = uint16_t(-sum);
    return w;
}

class Session
{
public:
    explicit Session(FuzzedDataProvider& in) : in_(in) {}

    void run()
    {
        LumbraSimReset();
        unsetenv("LUMBRA_SIM_STATE");
        setenv("LUMBRA_SIM_PULSE_HZ", "0", 1);
        fuzzEnvironment();
        for (int step = 0; step < 96 && in_.remaining_bytes() > 0; ++step)
            call();
        audit();
        PciCloseDevice();
    }

    // Whatever the calls did, every board now holds what the model says:
    // each EEPROM word, the output latch and the counter.
    void audit()
    {
        if (!open_ && PciOpenDevice())
            opened();
        if (!open_)
            return;
        for (int32_t c = 1; c <= chips_; ++c)
        {
            for (int32_t a = 0; a < 64; ++a)
                readEepromAt(c, a);
            uint8_t v = kByteSentinel;
            if (TavrinReadOutport(c, &v) && v != latch_[c])
                finding("the output latch of chip " + std::to_string(c) + " reads " + std::to_string(v) +
                        " instead of " + std::to_string(latch_[c]));
            readCounter(c);
        }
    }

    void opened()
    {
        // The environment counts from the open that read it.
        open_ = true;
        chips_ = chipsEnv_;
        loopback_ = loopbackEnv_;
        inport_ = inportEnv_;
        registers_.clear();
        counter_.clear();
        intrKnown_ = false;
    }

private:
    // ---- Environment read at each open ------------------------------------
    void fuzzEnvironment()
    {
        chipsEnv_ = in_.ConsumeIntegralInRange<int>(0, 4);
        setenv("LUMBRA_SIM_CHIPS", std::to_string(chipsEnv_).c_str(), 1);
        loopbackEnv_ = in_.ConsumeIntegralInRange<int>(0, 3) == 0;
        inportEnv_ = in_.ConsumeIntegral<uint8_t>();
        setenv("LUMBRA_SIM_INPORT", loopbackEnv_ ? "loopback" : std::to_string(inportEnv_).c_str(), 1);
        std::string rules;
        const int count = in_.ConsumeIntegralInRange<int>(0, 3);
        for (int i = 0; i < count; ++i)
        {
            if (i)
                rules += ',';
            rules += kNames[in_.ConsumeIntegralInRange<size_t>(0, std::size(kNames) - 1)];
            if (in_.ConsumeBool())
                rules += "@" + std::to_string(in_.ConsumeIntegralInRange<int>(1, 3));
            if (in_.ConsumeBool())
                rules += "#" + std::to_string(in_.ConsumeIntegralInRange<int>(1, 4));
        }
        setenv("LUMBRA_SIM_FAIL", rules.c_str(), 1);
        rules_ = rules;
    }

    int32_t chip() { return in_.ConsumeIntegralInRange<int32_t>(-1, 5); }
    bool valid(int32_t chip) const { return open_ && chip >= 1 && chip <= chips_; }
    // Registers offsets mostly on the map, sometimes anything.
    int32_t offset(int32_t last)
    {
        return in_.ConsumeIntegralInRange<int>(0, 7) ? in_.ConsumeIntegralInRange<int32_t>(0, last / 4) * 4
                                                     : in_.ConsumeIntegral<int32_t>();
    }

    void expectFailed(int16_t status, bool mustFail, const char* fn)
    {
        if (mustFail && status != 0)
            finding(std::string(fn) + " succeeded on a closed library or for a chip outside 1..N");
    }

    // Every successful change to a chip may move its registers and counter.
    void changed(int32_t chip)
    {
        registers_.erase(chip);
        counter_.erase(chip);
    }

    void call()
    {
        const int32_t c = chip();
        switch (in_.ConsumeIntegralInRange<int>(0, 21))
        {
            case 0:
            {
                if (in_.ConsumeBool())
                    fuzzEnvironment();
                if (PciOpenDevice())
                    opened();
                break;
            }
            case 1:
                if (PciCloseDevice())
                {
                    if (!open_)
                        finding("PciCloseDevice succeeded on a closed library");
                    open_ = false;
                    intrChip_ = 0;
                    intrKnown_ = true;
                }
                break;
            case 2:
            {
                const int32_t v = PciGetVxdVersion();
                if (v && (!open_ || v != 0x0104))
                    finding("PciGetVxdVersion answered " + std::to_string(v));
                break;
            }
            case 3:
            {
                const int32_t n = PciFindDevice();
                if (n && (!open_ || n != chips_))
                    finding("PciFindDevice answered " + std::to_string(n));
                break;
            }
            case 4:
                expectFailed(PciRegisterDevice(c), !valid(c), "PciRegisterDevice");
                break;
            case 5:
                readRegister(c, offset(0xFC), false);
                break;
            case 6:
                writeRegister(c, offset(0xFC), false);
                break;
            case 7:
                readRegister(c, offset(0x3C), true);
                break;
            case 8:
                writeRegister(c, offset(0x3C), true);
                break;
            case 9:
                readEeprom(c);
                break;
            case 10:
                writeEeprom(c);
                break;
            case 11:
            {
                const int16_t s = TavrinInitEep(c);
                expectFailed(s, !valid(c), "TavrinInitEep");
                if (s)
                {
                    eeprom(c) = factoryEeprom(c);
                    changed(c);
                }
                break;
            }
            case 12:
            {
                uint8_t v = kByteSentinel;
                const int16_t s = TavrinReadInport(c, &v);
                expectFailed(s, !valid(c), "TavrinReadInport");
                const uint8_t want = loopback_ ? latch_[c] : inport_;
                if (s ? v != want : v != kByteSentinel)
                    finding("the input port read " + std::to_string(v));
                break;
            }
            case 13:
            {
                uint8_t v = kByteSentinel;
                const int16_t s = TavrinReadOutport(c, &v);
                expectFailed(s, !valid(c), "TavrinReadOutport");
                if (s ? v != latch_[c] : v != kByteSentinel)
                    finding("the output latch read " + std::to_string(v) + " instead of " +
                            std::to_string(latch_[c]));
                break;
            }
            case 14:
            {
                const uint8_t v = in_.ConsumeIntegral<uint8_t>();
                const int16_t s = TavrinWriteOutport(c, v);
                expectFailed(s, !valid(c), "TavrinWriteOutport");
                if (s)
                {
                    latch_[c] = v;
                    changed(c);
                }
                break;
            }
            case 15:
                readCounter(c);
                break;
            case 16:
            {
                const int32_t mode =
                    in_.ConsumeIntegralInRange<int>(0, 3) ? 0 : in_.ConsumeIntegral<int32_t>();
                const int32_t value = in_.ConsumeBool() ? in_.ConsumeIntegralInRange<int32_t>(0, 0xFFFFFF)
                                                        : in_.ConsumeIntegral<int32_t>();
                const int16_t s = TavrinInitCadmir(c, mode, value);
                expectFailed(s, !valid(c) || mode != 0, "TavrinInitCadmir");
                if (s)
                {
                    changed(c);
                    if (value >= 0 && value <= 0xFFFFFF)
                        counter_[c] = uint32_t(value);
                }
                break;
            }
            case 17:
            {
                const uint16_t p = in_.ConsumeBool() ? in_.ConsumeIntegralInRange<uint16_t>(0, 8)
                                                     : in_.ConsumeIntegral<uint16_t>();
                const int16_t s = TavrinOpenIntr(c, p);
                expectFailed(s, !valid(c) || p == 0, "TavrinOpenIntr");
                if (s)
                {
                    intrChip_ = c;
                    intrPulses_ = p;
                    intrKnown_ = true;
                    changed(c);
                }
                break;
            }
            case 18:
                expectFailed(in_.ConsumeBool() ? TavrinUnmaskIntr() : TavrinMaskIntr(), !open_,
                             "TavrinMask/UnmaskIntr");
                registers_.clear();
                break;
            case 19:
            {
                const int32_t handle = in_.ConsumeBool() ? intrChip_ : c;
                const int16_t s = TavrinCloseIntr(handle);
                expectFailed(s, !open_ || (intrKnown_ && handle != intrChip_) || handle < 1,
                             "TavrinCloseIntr");
                if (s)
                {
                    intrChip_ = 0;
                    intrKnown_ = true;
                    changed(handle);
                }
                break;
            }
            case 20:
                readRecord();
                break;
            default:
            {
                const uint32_t pulses = in_.ConsumeBool() ? in_.ConsumeIntegralInRange<uint32_t>(0, 300)
                                                          : in_.ConsumeIntegral<uint32_t>();
                const int16_t s = LumbraSimAdvancePulses(c, pulses);
                if (s && !valid(c))
                    finding("LumbraSimAdvancePulses succeeded for a chip outside 1..N");
                if (s && counter_.count(c))
                    counter_[c] = (counter_[c] + pulses) & 0xFFFFFF;
                if (s)
                    registers_.erase(c);
                break;
            }
        }
    }

    // ---- Registers ---------------------------------------------------------
    // The status register (mode 0x08) follows the EEPROM's timing and the
    // interrupt, so only the others are compared across calls.
    void readRegister(int32_t c, int32_t off, bool mode)
    {
        int32_t v = kSentinel;
        const int16_t s = mode ? OrvelReadModeReg(c, off, &v) : PciReadConfigReg(c, off, &v);
        expectFailed(s, !valid(c), mode ? "OrvelReadModeReg" : "PciReadConfigReg");
        if (!s)
        {
            if (v != kSentinel)
                finding("a failed register read changed its out-value");
            return;
        }
        const int key = (mode ? 0x1000 : 0) + off;
        auto& known = registers_[c];
        if (!(mode && off == 0x08) && known.count(key) && known[key] != v)
            finding("a register read " + std::to_string(v) + " though nothing wrote it since it read " +
                    std::to_string(known[key]));
        known[key] = v;
    }

    void writeRegister(int32_t c, int32_t off, bool mode)
    {
        const int32_t v = in_.ConsumeIntegral<int32_t>();
        const int16_t s = mode ? OrvelWriteModeReg(c, off, v) : PciWriteConfigReg(c, off, v);
        expectFailed(s, !valid(c), mode ? "OrvelWriteModeReg" : "PciWriteConfigReg");
        if (s)
            changed(c);
    }

    // ---- EEPROM --------------------------------------------------------------
    std::array<uint16_t, 64>& eeprom(int32_t c)
    {
        auto it = eeproms_.find(c);
        if (it == eeproms_.end())
            it = eeproms_.emplace(c, factoryEeprom(c)).first;
        return it->second;
    }

    // Mostly a few words, so writes and reads meet; then any word, then anything.
    int32_t word()
    {
        const int pick = in_.ConsumeIntegralInRange<int>(0, 7);
        if (pick < 4)
            return in_.ConsumeIntegralInRange<int32_t>(0, 3) * 20 + 3;
        return pick < 7 ? in_.ConsumeIntegralInRange<int32_t>(0, 63) : in_.ConsumeIntegral<int32_t>();
    }

    void readEeprom(int32_t c) { readEepromAt(c, word()); }

    void readEepromAt(int32_t c, int32_t a)
    {
        int32_t v = kSentinel;
        const int16_t s = OrvelReadEep(c, a, &v);
        expectFailed(s, !valid(c) || a < 0 || a > 63, "OrvelReadEep");
        if (!s)
        {
            if (v != kSentinel)
                finding("a failed EEPROM read changed its out-value");
            return;
        }
        if (v != eeprom(c)[a])
            finding("EEPROM word " + std::to_string(a) + " of chip " + std::to_string(c) + " read " +
                    std::to_string(v) + ", not the " + std::to_string(eeprom(c)[a]) + " it holds");
    }

    void writeEeprom(int32_t c)
    {
        const int32_t a = word();
        const int32_t v =
            in_.ConsumeBool() ? in_.ConsumeIntegral<uint16_t>() : in_.ConsumeIntegral<int32_t>();
        const int16_t s = OrvelWriteEep(c, a, v);
        expectFailed(s, !valid(c) || a < 0 || a > 63 || v < 0 || v > 0xFFFF, "OrvelWriteEep");
        if (s)
        {
            eeprom(c)[a] = uint16_t(v);
            changed(c);
        }
    }

    // ---- Counter and interrupt --------------------------------------------------
    void readCounter(int32_t c)
    {
        int32_t v = kSentinel;
        const int16_t s = CadmirReadCounter(c, &v);
        expectFailed(s, !valid(c), "CadmirReadCounter");
        if (!s)
        {
            if (v != kSentinel)
                finding("a failed counter read changed its out-value");
            return;
        }
        if (v < 0 || v > 0xFFFFFF)
            finding("the counter read " + std::to_string(v) + ", beyond 24 bits");
        if (counter_.count(c) && counter_[c] != uint32_t(v))
            finding("the counter read " + std::to_string(v) + " instead of " + std::to_string(counter_[c]));
        counter_[c] = uint32_t(v);
    }

    void readRecord()
    {
        uint8_t record[LUMBRA_INTR_RECORD_SIZE];
        std::memset(record, kByteSentinel, sizeof record);
        const int16_t s = TavrinReadIntrStat(record);
        expectFailed(s, !open_ || (intrKnown_ && intrChip_ == 0), "TavrinReadIntrStat");
        if (!s)
        {
            for (uint8_t b : record)
                if (b != kByteSentinel)
                    finding("a failed status read changed the record");
            return;
        }
        auto le = [&](int at, int bytes)
        {
            uint32_t v = 0;
            for (int i = bytes - 1; i >= 0; --i)
                v = (v << 8) | record[at + i];
            return v;
        };
        const int32_t chip = int32_t(le(0, 4));
        if (intrKnown_ && chip != intrChip_)
            finding("the record names chip " + std::to_string(chip) + ", not the open one");
        if (intrKnown_ && le(8, 2) != intrPulses_)
            finding("the record's P is " + std::to_string(le(8, 2)));
        if (record[13] != 0)
            finding("the record's last byte is not zero");
        int32_t line = kSentinel;
        if (PciReadConfigReg(chip, 0x3C, &line) && le(4, 2) != uint32_t(line & 0xFF))
            finding("the record's interrupt line is " + std::to_string(le(4, 2)) +
                    ", configuration 0x3C says " + std::to_string(line & 0xFF));
    }

    FuzzedDataProvider& in_;
    std::string rules_;
    int chipsEnv_ = 2;
    int chips_ = 0;
    bool open_ = false;
    bool loopback_ = false, loopbackEnv_ = false;
    uint8_t inport_ = 0, inportEnv_ = 0;
    std::map<int32_t, uint8_t> latch_;
    std::map<int32_t, std::array<uint16_t, 64>> eeproms_;
    std::map<int32_t, std::map<int, int32_t>> registers_;
    std::map<int32_t, uint32_t> counter_;
    int32_t intrChip_ = 0;
    uint16_t intrPulses_ = 0;
    bool intrKnown_ = true;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    Session(in).run();
    return 0;
}
