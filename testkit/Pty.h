#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace kvartix::test {

using Bytes = std::vector<std::uint8_t>;

// Waits for another thread's work to show: true once pred holds, false after the limit.
template <class Pred>
bool Eventually(Pred pred, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

// The far end of a pseudo-terminal pair, held by the test; the port opens SlavePath().
class PtyMaster {
  public:
    PtyMaster() {
        m_fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_fd < 0 || grantpt(m_fd) != 0 || unlockpt(m_fd) != 0)
            throw std::runtime_error("no pseudo-terminal");
        m_slave = ptsname(m_fd);
        fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    }
    ~PtyMaster() { Close(); }
    PtyMaster(const PtyMaster&) = delete;
    PtyMaster& operator=(const PtyMaster&) = delete;

    const std::string& SlavePath() const { return m_slave; }
    int Fd() const { return m_fd; }
    void Close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

    void Send(const Bytes& data) const {
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::write(m_fd, data.data() + done, data.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else {
                pollfd p{m_fd, POLLOUT, 0};
                ::poll(&p, 1, 100);
            }
        }
    }
    void Send(std::uint8_t c) const { Send(Bytes{c}); }

    // What the port has sent so far, without waiting.
    Bytes Available() const {
        Bytes out;
        std::uint8_t buf[4096];
        ssize_t n;
        while ((n = ::read(m_fd, buf, sizeof buf)) > 0) out.insert(out.end(), buf, buf + n);
        return out;
    }
    // Exactly count bytes, or fewer when the limit passes first.
    Bytes Receive(std::size_t count,
                  std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
        Bytes out;
        Eventually(
            [&] {
                const Bytes more = Available();
                out.insert(out.end(), more.begin(), more.end());
                return out.size() >= count;
            },
            limit);
        return out;
    }

  private:
    int m_fd = -1;
    std::string m_slave;
};

// Echoes everything that reaches the master back to the port, on a thread of its own.
class PtyEcho {
  public:
    explicit PtyEcho(const PtyMaster& master)
        : m_master(master.Fd()), m_stop(eventfd(0, EFD_CLOEXEC)), m_thread([this] { Run(); }) {}
    ~PtyEcho() {
        const std::uint64_t one = 1;
        (void)!::write(m_stop, &one, sizeof one);
        m_thread.join();
        ::close(m_stop);
    }
    std::uint64_t Echoed() const { return m_echoed.load(); }

  private:
    void Run() {
        std::vector<std::uint8_t> buf(65536);
        for (;;) {
            pollfd fds[2] = {{m_master, POLLIN, 0}, {m_stop, POLLIN, 0}};
            ::poll(fds, 2, -1);
            if (fds[1].revents) return;
            if (!(fds[0].revents & POLLIN)) {
                // The port has closed its side; wait for it to come back or for the stop.
                pollfd stop{m_stop, POLLIN, 0};
                if (::poll(&stop, 1, 5) > 0) return;
                continue;
            }
            const ssize_t n = ::read(m_master, buf.data(), buf.size());
            for (ssize_t done = 0; n > 0 && done < n;) {
                const ssize_t w =
                    ::write(m_master, buf.data() + done, static_cast<std::size_t>(n - done));
                if (w > 0) {
                    done += w;
                    continue;
                }
                pollfd out[2] = {{m_master, POLLOUT, 0}, {m_stop, POLLIN, 0}};
                ::poll(out, 2, 100);
                if (out[1].revents) return;
            }
            if (n > 0) m_echoed += static_cast<std::uint64_t>(n);
        }
    }

    int m_master;
    int m_stop;
    std::atomic<std::uint64_t> m_echoed{0};
    std::thread m_thread;
};

// One wire of a line at the line's rate: at most the characters the time since the last look
// allows are taken from one master and written to another (or the same one: TX wired to RX),
// flow characters included, until stopFd becomes readable or the port's side closes. Looks
// about every millisecond; time the line stood idle is not banked. `fault`, when given, sees
// each character on its way and may change it, or drop it by returning false.
inline void CarryAcross(int from, int to, double charsPerSecond, int stopFd,
                        const std::function<bool(std::uint8_t&)>& fault = {}) {
    std::vector<std::uint8_t> buf(65536);
    std::vector<std::uint8_t> back;  // read, not yet taken by the far pseudo-terminal
    double credit = 0;
    auto last = std::chrono::steady_clock::now();
    for (;;) {
        pollfd stop{stopFd, POLLIN, 0};
        if (::poll(&stop, stopFd >= 0 ? 1 : 0, 1) > 0) return;
        const auto now = std::chrono::steady_clock::now();
        credit += charsPerSecond * std::chrono::duration<double>(now - last).count();
        last = now;
        if (back.empty() && credit >= 1) {
            const auto want = std::min(buf.size(), static_cast<std::size_t>(credit));
            const ssize_t n = ::read(from, buf.data(), want);
            if (n < 0 && errno == EIO) return;  // the port's side closed
            credit = n == static_cast<ssize_t>(want) ? credit - static_cast<double>(n) : 0;
            for (ssize_t i = 0; i < n; ++i)
                if (!fault || fault(buf[static_cast<std::size_t>(i)])) back.push_back(buf[static_cast<std::size_t>(i)]);
        }
        while (!back.empty()) {
            const ssize_t w = ::write(to, back.data(), back.size());
            if (w <= 0) break;
            back.erase(back.begin(), back.begin() + w);
        }
    }
}

// The far end of a line wired TX to RX, as a loopback plug on an adapter.
inline void CarryLikeAWire(int master, double charsPerSecond, int stopFd) {
    CarryAcross(master, master, charsPerSecond, stopFd);
}

// CarryLikeAWire on a thread of its own, over the test's master.
class PtyWire {
  public:
    PtyWire(const PtyMaster& master, double charsPerSecond)
        : m_stop(eventfd(0, EFD_CLOEXEC)), m_thread([this, fd = master.Fd(), charsPerSecond] {
              CarryLikeAWire(fd, charsPerSecond, m_stop);
          }) {}
    ~PtyWire() {
        const std::uint64_t one = 1;
        (void)!::write(m_stop, &one, sizeof one);
        m_thread.join();
        ::close(m_stop);
    }

  private:
    int m_stop;
    std::thread m_thread;
};

// A null-modem cable between two pseudo-terminals at the line's rate: what one port sends
// the other receives, both ways (no modem lines: a pseudo-terminal has none). `aToB` and
// `bToA` see what goes each way.
class PtyCable {
  public:
    using Fault = std::function<bool(std::uint8_t&)>;
    explicit PtyCable(double charsPerSecond, Fault aToB = {}, Fault bToA = {})
        : m_stop(eventfd(0, EFD_CLOEXEC)),
          m_aToB([this, charsPerSecond, f = std::move(aToB)] {
              CarryAcross(m_a.Fd(), m_b.Fd(), charsPerSecond, m_stop, f);
          }),
          m_bToA([this, charsPerSecond, f = std::move(bToA)] {
              CarryAcross(m_b.Fd(), m_a.Fd(), charsPerSecond, m_stop, f);
          }) {}
    ~PtyCable() {
        const std::uint64_t one = 1;
        (void)!::write(m_stop, &one, sizeof one);
        m_aToB.join();
        m_bToA.join();
        ::close(m_stop);
    }
    const PtyMaster& A() const { return m_a; }
    const PtyMaster& B() const { return m_b; }

  private:
    PtyMaster m_a, m_b;
    int m_stop;
    std::thread m_aToB, m_bToA;
};

// A far end that sends a known stream at the line's rate, takes what comes back at the same
// rate and keeps it, and obeys the Xon/Xoff the port sends: a second tester at the other end
// of a loopback. With flow on, the stream holds no flow characters and those received are
// counted, not kept. Sends `count` characters, then only listens, until stopped.
class PtySource {
  public:
    PtySource(const PtyMaster& master, double charsPerSecond, std::size_t count, bool flow)
        : m_fd(master.Fd()), m_rate(charsPerSecond), m_flow(flow),
          m_stop(eventfd(0, EFD_CLOEXEC)) {
        m_stream.resize(count);
        std::uint32_t x = 12345;
        for (auto& c : m_stream) {
            do {
                x = x * 1103515245u + 12345u;
                c = static_cast<std::uint8_t>(x >> 16);
            } while (flow && (c == 0x11 || c == 0x13));
        }
        m_thread = std::thread([this] { Run(); });
    }
    ~PtySource() { Stop(); }
    PtySource(const PtySource&) = delete;
    PtySource& operator=(const PtySource&) = delete;

    void Stop() {
        if (!m_thread.joinable()) return;
        const std::uint64_t one = 1;
        (void)!::write(m_stop, &one, sizeof one);
        m_thread.join();
        ::close(m_stop);
    }
    // After Stop.
    const Bytes& Stream() const { return m_stream; }
    const Bytes& Back() const { return m_back; }
    std::size_t Xoffs() const { return m_xoffs; }
    std::size_t Xons() const { return m_xons; }
    bool HeldAtEnd() const { return m_held; }
    std::size_t Sent() const { return m_sent.load(); }
    std::size_t BackCount() const { return m_backCount.load(); }

  private:
    void Run() {
        std::uint8_t buf[4096];
        double sendCredit = 0, readCredit = 0;
        auto last = std::chrono::steady_clock::now();
        for (;;) {
            pollfd stop{m_stop, POLLIN, 0};
            if (::poll(&stop, 1, 1) > 0) return;
            const auto now = std::chrono::steady_clock::now();
            const double gained = m_rate * std::chrono::duration<double>(now - last).count();
            last = now;
            // Idle time is not banked: a line cannot send faster than its rate afterwards.
            readCredit = std::min(readCredit + gained, 64.0 + gained);
            sendCredit = std::min(sendCredit + gained, 64.0 + gained);
            const auto want = std::min(sizeof buf, static_cast<std::size_t>(readCredit));
            const ssize_t n = want ? ::read(m_fd, buf, want) : 0;
            if (n < 0 && errno == EIO) return;
            for (ssize_t i = 0; i < n; ++i) {
                readCredit -= 1;
                if (m_flow && buf[i] == 0x13) {
                    ++m_xoffs;
                    m_held = true;
                } else if (m_flow && buf[i] == 0x11) {
                    ++m_xons;
                    m_held = false;
                } else {
                    m_back.push_back(buf[i]);
                }
            }
            m_backCount = m_back.size();
            std::size_t sent = m_sent.load();
            if (m_held || sent >= m_stream.size()) continue;
            const auto give = std::min({m_stream.size() - sent, static_cast<std::size_t>(sendCredit),
                                        std::size_t{256}});
            const ssize_t w = give ? ::write(m_fd, m_stream.data() + sent, give) : 0;
            if (w > 0) {
                m_sent = sent + static_cast<std::size_t>(w);
                sendCredit -= static_cast<double>(w);
            }
        }
    }

    int m_fd;
    double m_rate;
    bool m_flow;
    int m_stop;
    Bytes m_stream;
    Bytes m_back;
    std::size_t m_xoffs = 0, m_xons = 0;
    bool m_held = false;
    std::atomic<std::size_t> m_sent{0};
    std::atomic<std::size_t> m_backCount{0};
    std::thread m_thread;
};

}  // namespace kvartix::test
