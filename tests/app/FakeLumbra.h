#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// An in-process stand-in for the device-control library: serves the program's
// calls from a small board model, lets a test script each call's status, and
// records every call with its arguments in order.
struct LibCall
{
    std::string fn;
    std::vector<int64_t> args;  // by-value arguments; out-arguments are not recorded
    bool operator==(const LibCall&) const = default;
};

class FakeLumbra
{
public:
    static FakeLumbra& get();

    // Serves the program's library table from this fake, with a fresh model.
    void install();
    void reset();

    // Board model: what reads return and what writes change, per chip.
    int32_t chipCount = 2;
    int32_t vxdVersion = 0x0104;
    std::map<int32_t, std::map<int32_t, int32_t>> config;  // chip -> offset -> register
    std::map<int32_t, std::map<int32_t, int32_t>> mode;    // chip -> offset -> register
    std::map<int32_t, std::map<int32_t, int32_t>> eep;     // chip -> word address -> word
    std::map<int32_t, uint8_t> inport, outport;
    std::map<int32_t, int32_t> counter;
    std::array<uint8_t, 14> intrRecord{};

    // Status scripting. Every call succeeds (status 1) unless told otherwise.
    void failCall(const std::string& fn, int callIndex);  // the n-th call (from 0) to fn returns 0
    void failWhere(const std::string& fn, std::function<bool(const LibCall&)> when);
    void setStatus(const std::string& fn, int16_t status);  // every call to fn
    // What a failing call leaves in its out-variable (default: untouched).
    void outOnFailure(const std::string& fn, int32_t value);
    // Runs while a call is being served (for example to look at the window mid-read).
    std::function<void(const LibCall&)> onCall;

    std::vector<LibCall> calls;
    std::vector<LibCall> callsTo(const std::string& fn) const;
    std::vector<std::string> names() const;
    int count(const std::string& fn) const;

    // Records the call and decides its status. Used by the table's entries.
    int16_t serve(LibCall call, int16_t successStatus = 1);
    bool failedOutValue(const std::string& fn, int32_t* out) const;

private:
    struct Script
    {
        std::vector<int> failIndices;
        std::vector<std::function<bool(const LibCall&)>> failWhen;
        bool hasStatus = false;
        int16_t status = 1;
        bool hasFailOut = false;
        int32_t failOut = 0;
    };
    std::map<std::string, Script> scripts_;
};
