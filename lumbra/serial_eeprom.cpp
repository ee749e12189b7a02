#include "serial_eeprom.h"

namespace lumbra
{

void SerialEeprom::drive(bool cs, bool sk, bool di, uint64_t nowNs)
{
    if (cs_ && !cs)
    {
        // Deselecting after a complete WRITE or ERASE is what starts programming.
        if (program_ != Program::None && writeEnabled_ && ready(nowNs))
        {
            words_[address_] = program_ == Program::Write ? static_cast<uint16_t>(shift_) : 0xFFFF;
            busyUntil_ = nowNs + kWriteTimeNs;
            changed_ = true;
            showStatus_ = true;
        }
        program_ = Program::None;
        phase_ = Phase::Idle;
        out_ = false;
    }
    if (!cs_ && cs)
        phase_ = Phase::Start;
    const bool rising = cs && sk && !sk_;
    cs_ = cs;
    sk_ = sk;
    if (rising)
        clock(di, nowNs);
}

void SerialEeprom::clock(bool di, uint64_t nowNs)
{
    switch (phase_)
    {
        case Phase::Idle:
            break;
        case Phase::Start:
            // Leading zeros are ignored; a part still programming ignores commands.
            if (di && ready(nowNs))
            {
                phase_ = Phase::Command;
                showStatus_ = false;
                shift_ = 0;
                bits_ = 0;
            }
            break;
        case Phase::Command:
            shift_ = shift_ << 1 | di;
            if (++bits_ == 2 + reg::kEepAddressBits)
                command(shift_ >> reg::kEepAddressBits, shift_ & (reg::kEepromWords - 1), nowNs);
            break;
        case Phase::Read:
            if (bits_ == 16)
            {
                out_ = false;
                phase_ = Phase::Idle;
                break;
            }
            out_ = (shift_ >> 15) & 1;
            shift_ = (shift_ << 1) & 0xFFFF;
            ++bits_;
            break;
        case Phase::Data:
            shift_ = (shift_ << 1 | di) & 0xFFFF;
            if (++bits_ == 16)
            {
                program_ = Program::Write;
                phase_ = Phase::Idle;
            }
            break;
    }
}

void SerialEeprom::command(uint32_t opcode, uint32_t address, uint64_t)
{
    address_ = address;
    shift_ = 0;
    bits_ = 0;
    phase_ = Phase::Idle;
    switch (opcode)
    {
        case reg::kOpRead:
            shift_ = words_[address];
            out_ = false;  // the dummy 0 goes out with the last address bit
            phase_ = Phase::Read;
            break;
        case reg::kOpWrite:
            phase_ = Phase::Data;
            break;
        case reg::kOpErase:
            program_ = Program::Erase;
            break;
        default:
        {
            const uint32_t which = address >> (reg::kEepAddressBits - 2);
            if (which == reg::kSpecialEwen)
                writeEnabled_ = true;
            else if (which == reg::kSpecialEwds)
                writeEnabled_ = false;
            break;  // erase all and write all are not wired on this board
        }
    }
}

bool SerialEeprom::dataOut(uint64_t nowNs) const
{
    if (!cs_)
        return false;
    if (phase_ == Phase::Read)
        return out_;
    return phase_ == Phase::Start && showStatus_ && ready(nowNs);
}

bool SerialEeprom::takeChange()
{
    const bool changed = changed_;
    changed_ = false;
    return changed;
}

}  // namespace lumbra
