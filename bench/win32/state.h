// The part of the benchmark library's interface that the cases use, for the
// Windows build, which has no such library: a case's timed loop, a way to
// give up with a reason, and a guard against the optimiser. Times are wall
// time from the performance counter; the runner pins the process to one CPU,
// so the Wine server's share of an action is in it, as it is in the user's wait.
#pragma once

#include <cstdint>
#include <string>

#include <windows.h>

namespace benchmark
{

template <typename T>
inline void DoNotOptimize(const T& value)
{
    asm volatile("" : : "r,m"(value) : "memory");
}

class State
{
public:
    explicit State(int64_t iterations) : iterations_(iterations) {}

    // A value with a destructor of its own, so `for (auto _ : state)` draws no
    // unused-variable warning.
    struct Step
    {
        ~Step() {}
    };
    class Iterator
    {
    public:
        Iterator(State* s, int64_t left) : state_(s), left_(left) {}
        Step operator*() const { return {}; }
        void operator++() { --left_; }
        bool operator!=(const Iterator&)
        {
            if (left_ > 0)
                return true;
            state_->stop();
            return false;
        }

    private:
        State* state_;
        int64_t left_;
    };

    Iterator begin()
    {
        QueryPerformanceCounter(&started_);
        return {this, skipped() ? 0 : iterations_};
    }
    Iterator end() { return {this, 0}; }

    void SkipWithError(const char* message) { error_ = message ? message : "skipped"; }
    bool skipped() const { return !error_.empty(); }
    const std::string& error() const { return error_; }
    int64_t iterations() const { return iterations_; }
    // Nanoseconds the loop took, all its iterations together.
    double elapsedNs() const { return elapsedNs_; }

private:
    void stop()
    {
        LARGE_INTEGER now, frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        elapsedNs_ = double(now.QuadPart - started_.QuadPart) * 1e9 / double(frequency.QuadPart);
    }

    int64_t iterations_;
    LARGE_INTEGER started_{};
    double elapsedNs_ = 0;
    std::string error_;
};

}  // namespace benchmark
