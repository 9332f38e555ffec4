// The conformance cases over the posix backend, on a pseudo-terminal whose master echoes.
#include <chrono>
#include <thread>

#include "serial/CommPortConformance.h"
#include "serial/posix/PosixCommPort.h"
#include "testkit/Pty.h"

namespace kvartix::test {
namespace {

// The I/O thread and the echo run in real time.
class PtyRig final : public PortRig {
  public:
    std::unique_ptr<CommPort> Open() override {
        auto port = PosixCommPort::Open(SystemCalls(), m_master.SlavePath());
        if (port && !m_echo) m_echo = std::make_unique<PtyEcho>(m_master);
        return port;
    }
    void Pass() override { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }
    bool Exclusive() const override { return true; }

  private:
    PtyMaster m_master;
    std::unique_ptr<PtyEcho> m_echo;
};

INSTANTIATE_TEST_SUITE_P(Posix, CommPortConformance,
                         ::testing::Values(Backend{"OverPty",
                                                   [] { return std::make_unique<PtyRig>(); }}),
                         BackendName);

}  // namespace
}  // namespace kvartix::test
