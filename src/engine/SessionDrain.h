#pragma once

#include <cstdint>
#include <optional>

#include "engine/Engine.h"
#include "engine/RunResult.h"

namespace kvartix {

// Characters sent against characters received at the end of a BERT, which runs over a
// loop: the pattern repeats every packet, so whole packets lost pass the checker unseen.
// No new data is written and what the port has not yet put on the line is thrown away, so
// what had left must come back: the cycles go on reading until it has, or until nothing
// arrives for 500 ms or three characters' time; what is then missing is lost. A port that
// cannot throw its output away is first let drain. Characters still arriving when all that
// left would have been through at the line's rate, plus a second (at most 10 s), leave the
// run not judged. Across a cable the sender is the far port's engine.
class SessionDrain {
  public:
    static constexpr std::int64_t kQuietUs = 500'000;
    static constexpr std::int64_t kMaxDrainUs = 10'000'000;

    // Holds the sender's writes and throws away its output not yet on the line.
    SessionDrain(Engine& sender, const Engine& receiver, std::int64_t nowUs, LossCheck& loss);
    // After each cycle of the drain; true once the loss is judged or cannot be.
    bool Cycle(std::int64_t nowUs);

  private:
    std::int64_t CharsUs(std::int64_t n) const;
    // The Xon that leads the first write with Xon/Xoff is taken by the receiving driver.
    std::int64_t FlowCharacters() const;

    Engine& m_sender;
    const Engine& m_receiver;
    LossCheck& m_loss;
    double m_charUs;
    std::int64_t m_start;
    std::int64_t m_receivedBefore;
    std::optional<std::int64_t> m_expected;
    std::int64_t m_deadline;
    std::int64_t m_quietUs;
    std::int64_t m_lastArrival;
    std::int64_t m_received;
};

}  // namespace kvartix
