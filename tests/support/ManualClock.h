#pragma once

#include "serial/Clock.h"

namespace kvartix::test {

// A clock that moves only when the test says so. Starts at a whole minute; the wall clock
// moves with it unless the test steps it.
class ManualClock final : public Clock {
  public:
    std::int64_t NowUs() const override { return m_now; }
    std::int64_t WallUs() const override { return m_now + m_wallOffset; }
    void AdvanceUs(std::int64_t us) { m_now += us; }
    void AdvanceMs(std::int64_t ms) { m_now += ms * 1000; }
    // Someone set the wall clock.
    void StepWallMs(std::int64_t ms) { m_wallOffset += ms * 1000; }

  private:
    std::int64_t m_now = 1'800'000'000'000'000;
    std::int64_t m_wallOffset = 0;
};

}  // namespace kvartix::test
