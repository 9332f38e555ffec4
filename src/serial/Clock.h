#pragma once

#include <chrono>
#include <cstdint>

namespace kvartix {

// Time in microseconds. NowUs is monotonic: every interval, rate and frame time is measured on
// it, so that setting the wall clock (by hand or by NTP) changes none of them. WallUs is the
// wall clock, read only to find where its whole seconds fall. Tests drive their own.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::int64_t NowUs() const = 0;
    virtual std::int64_t WallUs() const = 0;
};

class SystemClock final : public Clock {
  public:
    std::int64_t NowUs() const override {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    }
    std::int64_t WallUs() const override {
        using namespace std::chrono;
        return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    }
};

}  // namespace kvartix
