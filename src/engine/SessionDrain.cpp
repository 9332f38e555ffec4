#include "engine/SessionDrain.h"

#include <algorithm>
#include <string>

namespace kvartix {
namespace {

constexpr std::int64_t kDriverBuffer = 4096;

std::string Seconds(std::int64_t us) {
    const std::int64_t tenths = (us + 50'000) / 100'000;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
}

}  // namespace

SessionDrain::SessionDrain(Engine& e, const Engine& receiver, std::int64_t nowUs, LossCheck& loss)
    : m_sender(e),
      m_receiver(receiver),
      m_loss(loss),
      m_charUs(1e6 * e.Params().BitsPerChar / std::max(1, e.Settings().BitRate)),
      m_start(nowUs),
      m_receivedBefore(receiver.Counters().Received),
      m_lastArrival(nowUs),
      m_received(receiver.Counters().Received) {
    e.SetHoldWrites(true);
    const std::int64_t handed = e.Counters().Sent + e.State().PendingWriteSize;
    if (const auto purged = e.PurgeOutput()) {
        m_loss.Discarded = *purged;
        m_expected = std::max<std::int64_t>(0, handed - *purged - FlowCharacters());
    }
    m_deadline = m_start + std::min(kMaxDrainUs,
                                    1'000'000 + CharsUs(handed - m_received +
                                                        (m_expected ? 0 : kDriverBuffer)));
    m_quietUs = std::max(kQuietUs, CharsUs(3));
}

std::int64_t SessionDrain::CharsUs(std::int64_t n) const {
    return static_cast<std::int64_t>(static_cast<double>(std::max<std::int64_t>(n, 0)) * m_charUs);
}

std::int64_t SessionDrain::FlowCharacters() const {
    return m_sender.Settings().XonXoff && m_sender.Counters().Sent > 0 ? 1 : 0;
}

bool SessionDrain::Cycle(std::int64_t now) {
    const Engine& e = m_sender;
    const std::int64_t received = m_receiver.Counters().Received;
    m_loss.DrainSeconds = static_cast<double>(now - m_start) / 1e6;
    m_loss.DrainReceived = received - m_receivedBefore;
    if (received != m_received) {
        m_received = received;
        m_lastArrival = now;
    }
    // Without a purge, what was handed over must first have left the port.
    if (!m_expected && !e.State().WritePending && e.PortStatus().OutQueue == 0)
        m_expected = std::max<std::int64_t>(0, e.Counters().Sent - FlowCharacters());
    if (m_expected && (m_received >= *m_expected || now - m_lastArrival >= m_quietUs)) {
        m_loss.Lost = std::max<std::int64_t>(0, *m_expected - m_received);
        return true;
    }
    if (now >= m_deadline) {
        m_loss.NotJudged = std::string(m_expected ? "characters still arriving"
                                                  : "output still queued in the port") +
                           " after a drain of " + Seconds(now - m_start);
        return true;
    }
    return false;
}

}  // namespace kvartix
