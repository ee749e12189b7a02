#include "settings.h"

#include "text.h"

namespace lumbra
{

namespace
{

// Replaces target with the variable's value when it parses within max; an unset or
// empty variable is no mistake and silently keeps the default.
template <typename T>
void readNumber(const Getenv& getenv, const char* variable, uint64_t max, T& target,
                std::vector<std::string>& warnings)
{
    const char* raw = getenv(variable);
    if (raw == nullptr || trim(raw).empty())
        return;
    if (auto value = parseNumber(trim(raw), max))
    {
        target = static_cast<T>(*value);
        return;
    }
    warnings.push_back(std::string(variable) + "=" + quoted(raw) + " is not a number from 0 to " +
                       std::to_string(max) + "; using " + std::to_string(target));
}

std::string readText(const Getenv& getenv, const char* variable)
{
    const char* raw = getenv(variable);
    return raw == nullptr ? std::string() : std::string(trim(raw));
}

}  // namespace

Settings readSettings(const Getenv& getenv, std::vector<std::string>& warnings)
{
    Settings settings;
    readNumber(getenv, "LUMBRA_SIM_CHIPS", kMaxChips, settings.chips, warnings);
    readNumber(getenv, "LUMBRA_SIM_PULSE_HZ", kMaxPulseHz, settings.pulseHz, warnings);
    if (readText(getenv, "LUMBRA_SIM_INPORT") == "loopback")
        settings.inportLoopback = true;
    else
        readNumber(getenv, "LUMBRA_SIM_INPORT", 0xFF, settings.inport, warnings);
    settings.faults = readText(getenv, "LUMBRA_SIM_FAIL");
    settings.stateFile = readText(getenv, "LUMBRA_SIM_STATE");
    settings.device = readText(getenv, "LUMBRA_DEVICE");
    return settings;
}

}  // namespace lumbra
