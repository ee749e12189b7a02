// The simulated boards as a bus: LUMBRA_DEVICE unset or "sim". Boards are kept for the
// life of the process, their counters run on a pulse clock while the library is open,
// and their EEPROMs can be kept in a state file from one run to the next.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "board.h"
#include "bus.h"
#include "pulse_clock.h"
#include "settings.h"
#include "state_file.h"

namespace lumbra
{

class SimBus : public Bus
{
public:
    using Clock = std::function<uint64_t()>;
    using Warn = std::function<void(const std::string&)>;

    SimBus(Clock nowNs, Warn warn) : nowNs_(std::move(nowNs)), warn_(std::move(warn)) {}

    // Takes the boards, input port, pulse rate and state file of these settings. A smaller
    // chip count hides boards without forgetting them.
    void open(const Settings& settings, std::vector<std::string>& warnings);
    // Stops the counters until the next open.
    void close();
    // Moves one counter on at once (the tests' stand-in for time).
    bool advance(int32_t chip, uint64_t pulses);

    int32_t count() const override { return chips_; }
    bool isBoard(int32_t chip) const override { return chip >= 1 && chip <= chips_; }
    std::optional<uint32_t> readConfig(int32_t chip, uint32_t offset) override;
    bool writeConfig(int32_t chip, uint32_t offset, uint32_t value) override;
    std::optional<uint8_t> readPort(int32_t chip, uint32_t offset) override;
    bool writePort(int32_t chip, uint32_t offset, uint8_t value) override;
    std::optional<uint32_t> readMemory(int32_t chip, uint32_t offset) override;
    bool writeMemory(int32_t chip, uint32_t offset, uint32_t value) override;
    std::optional<uint32_t> waitInterrupt(int32_t chip, int timeoutMs) override;
    bool acknowledgeInterrupt(int32_t chip) override { return board(chip) != nullptr; }

private:
    Board* board(int32_t chip);
    Board* reach(int32_t chip);  // after crediting the pulses due
    void catchUp();
    bool keepEeprom();

    Clock nowNs_;
    Warn warn_;
    int32_t chips_ = 0;
    PulseClock clock_;
    std::string stateFile_;
    // Grows and never shrinks: a board keeps what was written to it for the life of the
    // process, even while a later open hides it behind a smaller chip count.
    std::vector<Board> boards_;
    std::vector<uint64_t> raised_;       // interrupts INTA delivered, per board
    std::vector<uint64_t> seen_;         // of them, those a wait has already answered
    std::vector<Board::Eeprom> synced_;  // per board, its EEPROM when the file last took it
};

}  // namespace lumbra
