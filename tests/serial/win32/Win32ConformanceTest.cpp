// The conformance cases over the win32 backend, run under wine: conformance_under_wine.sh
// links a pseudo-terminal with an echoing far end into the prefix as a COM port and names it
// in KVARTIX_TEST_COM_PORT.
#include <chrono>
#include <cstdlib>
#include <thread>

#include "serial/CommPortConformance.h"
#include "serial/win32/Win32CommPort.h"

namespace kvartix::test {
namespace {

class ComLinkRig final : public PortRig {
  public:
    std::unique_ptr<CommPort> Open() override {
        return Win32CommPort::Open("\\\\.\\" + m_name, true);
    }
    void Pass() override { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }
    bool Exclusive() const override { return true; }
    std::string Missing() const override {
        return m_name.empty() ? "no COM port linked to a far end (KVARTIX_TEST_COM_PORT)" : "";
    }
    // What wine's serial driver does not do on a pseudo-terminal, as seen with wine 8.
    std::string Limit(ConformanceCase c) const override {
        switch (c) {
            case ConformanceCase::ReadsBack:
                return "wine reads the configuration back from the terminal: a rate off the "
                       "termios table comes back as 38400, DTR and RTS control as enabled "
                       "(from modem lines a pseudo-terminal lacks), and it keeps neither DSR "
                       "output flow nor the Xon/Xoff limits";
            case ConformanceCase::RefusesFrames:
                return "wine hands a frame to termios unchecked: it takes 1.5 stop bits with 8 "
                       "data bits, 2 with 5, and a rate of 0";
            case ConformanceCase::ExclusiveOpen:
                return "wine does not hold a serial device for its first opener: a second "
                       "CreateFile without sharing succeeds";
            default:
                return {};
        }
    }

  private:
    std::string m_name = [] {
        const char* name = std::getenv("KVARTIX_TEST_COM_PORT");
        return std::string(name ? name : "");
    }();
};

INSTANTIATE_TEST_SUITE_P(Win32, CommPortConformance,
                         ::testing::Values(Backend{"OverWineComLink",
                                                   [] { return std::make_unique<ComLinkRig>(); }}),
                         BackendName);

}  // namespace
}  // namespace kvartix::test
