#pragma once

#include "serial/Clock.h"

namespace kvartix::test {

// A clock that moves only when the test says so. Starts at a whole minute.
class ManualClock final : public Clock {
public:
    std::int64_t NowUs() const override { return m_now; }
    void AdvanceUs(std::int64_t us) { m_now += us; }
    void AdvanceMs(std::int64_t ms) { m_now += ms * 1000; }

private:
    std::int64_t m_now = 1'800'000'000'000'000;
};

}  // namespace kvartix::test
