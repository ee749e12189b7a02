#include "FakeLumbra.h"

#include "devctl/Module1.h"

#include <algorithm>
#include <cstring>

FakeLumbra& FakeLumbra::get()
{
    static FakeLumbra fake;
    return fake;
}

void FakeLumbra::reset() { *this = FakeLumbra{}; }

void FakeLumbra::failCall(const std::string& fn, int callIndex)
{
    scripts_[fn].failIndices.push_back(callIndex);
}

void FakeLumbra::failWhere(const std::string& fn, std::function<bool(const LibCall&)> when)
{
    scripts_[fn].failWhen.push_back(std::move(when));
}

void FakeLumbra::setStatus(const std::string& fn, int16_t status)
{
    scripts_[fn].hasStatus = true;
    scripts_[fn].status = status;
}

void FakeLumbra::outOnFailure(const std::string& fn, int32_t value)
{
    scripts_[fn].hasFailOut = true;
    scripts_[fn].failOut = value;
}

std::vector<LibCall> FakeLumbra::callsTo(const std::string& fn) const
{
    std::vector<LibCall> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                 [&](const LibCall& c) { return c.fn == fn; });
    return out;
}

std::vector<std::string> FakeLumbra::names() const
{
    std::vector<std::string> out;
    for (const LibCall& c : calls)
        out.push_back(c.fn);
    return out;
}

int FakeLumbra::count(const std::string& fn) const { return int(callsTo(fn).size()); }

int16_t FakeLumbra::serve(LibCall call, int16_t successStatus)
{
    const int index = count(call.fn);
    calls.push_back(call);
    if (onCall)
        onCall(call);
    auto it = scripts_.find(call.fn);
    if (it == scripts_.end())
        return successStatus;
    const Script& s = it->second;
    if (std::find(s.failIndices.begin(), s.failIndices.end(), index) != s.failIndices.end())
        return 0;
    for (const auto& when : s.failWhen)
        if (when(call))
            return 0;
    return s.hasStatus ? s.status : successStatus;
}

bool FakeLumbra::failedOutValue(const std::string& fn, int32_t* out) const
{
    auto it = scripts_.find(fn);
    if (it == scripts_.end() || !it->second.hasFailOut)
        return false;
    *out = it->second.failOut;
    return true;
}

namespace
{

FakeLumbra& F() { return FakeLumbra::get(); }

// Reads hand out the model's value on success, and on failure only what the
// test asked a failing call to leave behind.
template <class T>
int16_t readInto(const char* fn, std::vector<int64_t> args, T model, T* out)
{
    const int16_t st = F().serve({fn, std::move(args)});
    if (st != 0)
    {
        *out = model;
    }
    else
    {
        int32_t left = 0;
        if (F().failedOutValue(fn, &left))
            *out = T(left);
    }
    return st;
}

int32_t lookup(const std::map<int32_t, std::map<int32_t, int32_t>>& m, int32_t chip, int32_t at)
{
    auto c = m.find(chip);
    if (c == m.end())
        return 0;
    auto v = c->second.find(at);
    return v == c->second.end() ? 0 : v->second;
}

template <class M>
auto valueOr(const M& m, int32_t chip) -> typename M::mapped_type
{
    auto it = m.find(chip);
    return it == m.end() ? typename M::mapped_type{} : it->second;
}

// A write that succeeds changes the model, so a re-read returns it.
int16_t writeTo(const char* fn, std::map<int32_t, std::map<int32_t, int32_t>>& model, int32_t chip,
                int32_t at, int32_t v)
{
    const int16_t st = F().serve({fn, {chip, at, v}});
    if (st)
        model[chip][at] = v;
    return st;
}

int16_t LUMBRA_CALL fPciOpenDevice() { return F().serve({"PciOpenDevice", {}}); }
int16_t LUMBRA_CALL fPciCloseDevice() { return F().serve({"PciCloseDevice", {}}); }
int32_t LUMBRA_CALL fPciGetVxdVersion()
{
    F().serve({"PciGetVxdVersion", {}});
    return F().vxdVersion;
}
int32_t LUMBRA_CALL fPciFindDevice()
{
    F().serve({"PciFindDevice", {}});
    return F().chipCount;
}
int16_t LUMBRA_CALL fPciRegisterDevice(int32_t chip) { return F().serve({"PciRegisterDevice", {chip}}); }
int16_t LUMBRA_CALL fPciReadConfigReg(int32_t chip, int32_t offset, int32_t* v)
{
    return readInto("PciReadConfigReg", {chip, offset}, lookup(F().config, chip, offset), v);
}
int16_t LUMBRA_CALL fPciWriteConfigReg(int32_t chip, int32_t offset, int32_t v)
{
    return writeTo("PciWriteConfigReg", F().config, chip, offset, v);
}
int16_t LUMBRA_CALL fOrvelReadModeReg(int32_t chip, int32_t offset, int32_t* v)
{
    return readInto("OrvelReadModeReg", {chip, offset}, lookup(F().mode, chip, offset), v);
}
int16_t LUMBRA_CALL fOrvelWriteModeReg(int32_t chip, int32_t offset, int32_t v)
{
    return writeTo("OrvelWriteModeReg", F().mode, chip, offset, v);
}
int16_t LUMBRA_CALL fOrvelReadEep(int32_t chip, int32_t address, int32_t* v)
{
    return readInto("OrvelReadEep", {chip, address}, lookup(F().eep, chip, address), v);
}
int16_t LUMBRA_CALL fOrvelWriteEep(int32_t chip, int32_t address, int32_t v)
{
    return writeTo("OrvelWriteEep", F().eep, chip, address, v);
}
int16_t LUMBRA_CALL fTavrinInitEep(int32_t chip) { return F().serve({"TavrinInitEep", {chip}}); }
int16_t LUMBRA_CALL fTavrinReadInport(int32_t chip, uint8_t* v)
{
    return readInto<uint8_t>("TavrinReadInport", {chip}, valueOr(F().inport, chip), v);
}
int16_t LUMBRA_CALL fTavrinReadOutport(int32_t chip, uint8_t* v)
{
    return readInto<uint8_t>("TavrinReadOutport", {chip}, valueOr(F().outport, chip), v);
}
int16_t LUMBRA_CALL fTavrinWriteOutport(int32_t chip, uint8_t v)
{
    const int16_t st = F().serve({"TavrinWriteOutport", {chip, v}});
    if (st)
        F().outport[chip] = v;
    return st;
}
int16_t LUMBRA_CALL fCadmirReadCounter(int32_t chip, int32_t* v)
{
    return readInto("CadmirReadCounter", {chip}, valueOr(F().counter, chip), v);
}
int16_t LUMBRA_CALL fTavrinInitCadmir(int32_t chip, int32_t a, int32_t b)
{
    return F().serve({"TavrinInitCadmir", {chip, a, b}});
}
int16_t LUMBRA_CALL fTavrinOpenIntr(int32_t chip, uint16_t pulses)
{
    return F().serve({"TavrinOpenIntr", {chip, pulses}});
}
int16_t LUMBRA_CALL fTavrinUnmaskIntr() { return F().serve({"TavrinUnmaskIntr", {}}); }
int16_t LUMBRA_CALL fTavrinMaskIntr() { return F().serve({"TavrinMaskIntr", {}}); }
int16_t LUMBRA_CALL fTavrinCloseIntr(int32_t handle) { return F().serve({"TavrinCloseIntr", {handle}}); }
int16_t LUMBRA_CALL fTavrinReadIntrStat(uint8_t* record)
{
    const int16_t st = F().serve({"TavrinReadIntrStat", {}});
    std::memcpy(record, F().intrRecord.data(), F().intrRecord.size());
    return st;
}

constexpr Module1::Table kFakeTable = {
#define LUMBRA_ENTRY(ret, name, params, args) f##name,
    LUMBRA_FUNCTIONS(LUMBRA_ENTRY)
#undef LUMBRA_ENTRY
};

}  // namespace

void FakeLumbra::install()
{
    reset();
    Module1::useTable(kFakeTable);
}
