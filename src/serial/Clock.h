#pragma once

#include <chrono>
#include <cstdint>

namespace kvartix {

// Wall-clock time in microseconds since the epoch. Tests drive their own.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t NowUs() const = 0;
};

class SystemClock final : public Clock {
public:
    std::int64_t NowUs() const override {
        using namespace std::chrono;
        return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    }
};

}  // namespace kvartix
