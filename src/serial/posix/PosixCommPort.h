#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "serial/CommPort.h"
#include "serial/ReceiveQueue.h"
#include "serial/posix/PosixSys.h"
#include "serial/posix/UniqueFd.h"
#include "serial/posix/UucpLock.h"

namespace kvartix {

// Why a device would not open, for a word beyond " не доступен".
struct OpenRefusal {
    int Error = 0;         // errno of the open or of the lock; 0 when none
    std::string LockFile;  // the lock file of a running process that holds the device
    pid_t LockPid = 0;
    std::string Group;  // permission denied: the group that owns the device
};

// One line for a person: who holds the device or what permission it lacks; empty when
// there is nothing more to say than that it is not there.
std::string Explain(const std::string& path, const OpenRefusal& why);

// A serial driver emulated in user space over a Linux terminal (a UART, a USB adapter, a
// pseudo-terminal). One I/O thread per open port moves characters between the terminal and
// receive and transmit queues of the SetupComm sizes (a write completes once its bytes are in
// the transmit queue, as with a Windows driver that honours the size), and
// does the flow control the kernel cannot report on: Xon/Xoff, the RTS handshake and DSR
// output flow. With Xon/Xoff or DSR flow on, it hands the kernel the data at the line's rate
// with a short lead, so that flow characters and holds act on time on drivers that queue them
// behind what they hold. Everything else runs on the caller's thread. A port whose device went away
// (hang-up, EIO, ENXIO, ENODEV) answers every transfer with Gone.
class PosixCommPort final : public CommPort {
  public:
    struct Traffic {
        std::uint64_t Sent = 0;      // characters handed to the kernel
        std::uint64_t Received = 0;  // characters taken from it, flow characters included
        std::uint64_t FlowSent = 0;  // our Xon and Xoff characters, sent ahead of the data
        std::uint64_t WakeUps = 0;   // times the I/O thread woke
    };

    // Opens the device for this process alone: its UUCP lock file, which terminal programs
    // honour, flock, which holds against everyone, then TIOCEXCL, which keeps out the
    // programs that do not lock (though not root). nullptr when it does not exist or
    // someone else holds it; why says which.
    static std::unique_ptr<PosixCommPort> Open(PosixSys& sys, const std::string& path,
                                               OpenRefusal* why = nullptr);
    // The first step of Open, for a probe: the device opened without blocking and locked;
    // empty when it does not exist, a running process has its lock file or another open
    // description holds the flock. The lock file is not taken.
    static UniqueFd OpenLocked(PosixSys& sys, const std::string& path, OpenRefusal* why = nullptr);
    ~PosixCommPort() override;

    Traffic TrafficSoFar() const;
    // With Xon/Xoff or DSR flow, the most line time the kernel holds ahead of the wire: what
    // a far end still receives after its Xoff, traded against the thread's wake-ups (6 ms:
    // on average well under 5 ms of line and 16 characters reach a far end after its Xoff at
    // 115200 and 460800 bit/s, for about 170 wake-ups a second; bench_flow measures it).
    static constexpr double kDefaultLeadUs = 6'000;
    void SetLeadUs(double us);
    // The lead is topped up when this much of it is left, plus how late recent wake-ups came
    // (their mean and four times their spread; at most half the lead). Each wake-up costs some
    // 20 us of CPU on a virtual machine, so a small margin on a quiet machine is most of the
    // thrift; a busy one widens it by itself.
    static constexpr double kDefaultWakeMarginUs = 100;
    void SetWakeMarginUs(double us);

  protected:
    bool DoGetCommState(LineConfig& config) override;
    bool DoSetCommState(const LineConfig& config) override;
    bool DoSetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) override;
    bool DoSetCommTimeouts(const CommTimeouts& timeouts) override;
    bool DoSetCommMask(std::uint32_t mask) override;
    IoResult DoReadFile(TransferRecord& transfer, std::uint8_t* buffer, std::uint32_t count,
                        std::uint32_t& got) override;
    IoResult DoWriteFile(TransferRecord& transfer, const std::uint8_t* buffer, std::uint32_t count,
                         std::uint32_t& written) override;
    IoResult DoGetOverlappedResult(TransferRecord& transfer, std::uint32_t& transferred) override;
    bool DoClearCommError(std::uint32_t& errors, CommStatus& status) override;
    bool DoGetCommModemStatus(std::uint32_t& modemStatus) override;
    bool DoCloseHandle() override;
    std::optional<std::uint32_t> DoPurgeOutput() override;
    bool DoTransmitXon() override;

  private:
    struct PendingWrite {
        const std::uint8_t* Data = nullptr;
        std::uint32_t Size = 0;
        std::uint32_t Done = 0;  // taken into the transmit queue
        bool Failed = false;
        TransferRecord* Transfer = nullptr;
    };

    // The transmit queue of the SetupComm size: a write completes once its bytes are here,
    // and the I/O thread feeds the kernel from it.
    struct TransmitQueue {
        std::vector<std::uint8_t> Ring = std::vector<std::uint8_t>(4096);
        std::size_t Head = 0;
        std::size_t Size = 0;

        std::size_t Free() const { return Ring.size() - Size; }
        // The oldest bytes that lie in one piece.
        std::size_t Contiguous() const { return std::min(Size, Ring.size() - Head); }
        const std::uint8_t* Front() const { return Ring.data() + Head; }
        void Put(const std::uint8_t* data, std::size_t count);
        void Drop(std::size_t count);
        void Clear() { Head = Size = 0; }
    };

    PosixCommPort(PosixSys& sys, UniqueFd device, UniqueFd wake, UucpLock lock);
    void TakeLine();
    bool DriveLines(const LineConfig& config);
    void Wake();

    // With m_mutex held: flow characters, output stop and RTS as the queue wants them.
    void ApplyLineActions();

    // The I/O thread and what it does with m_mutex held.
    void Run();
    bool DsrHolds();
    bool ReadLine();  // false: nothing there yet
    void WriteLine(std::int64_t now);
    bool Writing() const;
    bool Paced() const;
    double FrameUs() const;
    double LeadUs() const;
    std::uint32_t PacedRoom(std::int64_t now);
    std::int64_t OutputDueUs() const;
    std::int64_t GatherUs() const;
    void FillQueue();
    void Complete(bool failed);

    PosixSys& m_sys;
    // Both descriptors live from the open to CloseHandle, which joins the thread first.
    UniqueFd m_device;
    UniqueFd m_wake;
    UucpLock m_lock;  // removed after the device is closed
    std::thread m_thread;

    // Caller's thread only.
    std::optional<TermiosState> m_termios;   // none: the device is no terminal
    std::optional<LineCounters> m_counters;  // none: the driver keeps no counters

    mutable std::mutex m_mutex;
    // Guarded by m_mutex.
    LineConfig m_config;
    ReceiveQueue m_rx;
    std::optional<PendingWrite> m_write;
    TransmitQueue m_tx;
    Traffic m_traffic;
    bool m_readFailed = false;  // a read of the device failed; the next ReadFile says so
    bool m_stop = false;
    bool m_outputStopped = false;  // the kernel's output stopped with TCOOFF
    bool m_rtsHigh = true;         // RTS as last driven for the handshake
    double m_leadUs = kDefaultLeadUs;
    double m_wakeMarginUs = kDefaultWakeMarginUs;
    // The I/O thread's own, on the steady clock in microseconds.
    std::int64_t m_inputRestUntilUs = 0;   // input is gathered in the kernel until then
    std::int64_t m_outputRestUntilUs = 0;  // unpaced output likewise
    double m_lineFreeUs = 0;               // paced: when what we handed over has left at line rate
    double m_lateMeanUs = 0;    // how late timed wake-ups came, recent ones weighing most
    double m_lateSpreadUs = 0;  // and how much that varied
    bool m_queueTold = true;  // TIOCOUTQ counts the output; a pseudo-terminal's reads 0
};

}  // namespace kvartix
