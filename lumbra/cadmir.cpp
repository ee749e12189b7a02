#include "cadmir.h"

#include "registers.h"

namespace lumbra
{

namespace
{

uint8_t byteOf(uint32_t value, uint32_t index) { return static_cast<uint8_t>(value >> (8 * index)); }

void setByte(uint32_t& value, uint32_t index, uint8_t byte, uint32_t mask)
{
    value = ((value & ~(0xFFu << (8 * index))) | uint32_t{byte} << (8 * index)) & mask;
}

}  // namespace

bool Cadmir::compareOn() const { return (control_ & reg::kCadmirCompareOn) != 0; }

uint8_t Cadmir::read(uint32_t at) const
{
    using namespace reg;
    if (at == kCadmirMode)
        return mode_;
    if (at == kCadmirStatus)
        return status_;
    if (at == kCadmirControl)
        return control_;
    if (at >= kCadmirCounter && at < kCadmirCounter + 3)
        return byteOf(latch_, at - kCadmirCounter);
    if (at >= kCadmirCompare && at < kCadmirCompare + 3)
        return byteOf(compare_, at - kCadmirCompare);
    if (at >= kCadmirStep && at < kCadmirStep + 2)
        return byteOf(step_, at - kCadmirStep);
    return 0;
}

void Cadmir::write(uint32_t at, uint8_t value)
{
    using namespace reg;
    if (at == kCadmirMode)
        mode_ = value;
    else if (at == kCadmirStatus)
        status_ &= static_cast<uint8_t>(~value);
    else if (at == kCadmirControl)
        control_ = value & kCadmirCompareOn;
    else if (at == kCadmirCommand)
    {
        if (value & kCmdLoad)
            counter_ = preload_;
        if (value & kCmdLatch)
            latch_ = counter_;
        if (value & kCmdArm)
            compare_ = (counter_ + step_) & kCounterMask;
    }
    else if (at >= kCadmirCounter && at < kCadmirCounter + 3)
        setByte(preload_, at - kCadmirCounter, value, kCounterMask);
    else if (at >= kCadmirCompare && at < kCadmirCompare + 3)
        setByte(compare_, at - kCadmirCompare, value, kCounterMask);
    else if (at >= kCadmirStep && at < kCadmirStep + 2)
    {
        uint32_t step = step_;
        setByte(step, at - kCadmirStep, value, 0xFFFF);
        step_ = static_cast<uint16_t>(step);
    }
}

uint64_t Cadmir::advance(uint64_t pulses)
{
    uint64_t fired = 0;
    if (compareOn())
    {
        uint64_t distance = (compare_ - counter_) & reg::kCounterMask;
        // A counter sitting on its own compare fires when it comes round to it again,
        // a full turn later; a step of 0 likewise waits a full turn.
        const uint64_t turn = uint64_t{reg::kCounterMask} + 1;
        if (distance == 0)
            distance = turn;
        const uint64_t step = step_ != 0 ? step_ : turn;
        if (pulses >= distance)
        {
            fired = 1 + (pulses - distance) / step;
            compare_ = static_cast<uint32_t>((compare_ + fired * step) & reg::kCounterMask);
            status_ |= reg::kCadmirMatched;
        }
    }
    counter_ = static_cast<uint32_t>((counter_ + pulses) & reg::kCounterMask);
    return fired;
}

}  // namespace lumbra
