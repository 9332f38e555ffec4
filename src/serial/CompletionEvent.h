#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace kvartix {

// A manual-reset event: stays signalled until reset. Set from a port's I/O thread,
// polled from the main thread.
class CompletionEvent {
public:
    void Set();
    void Reset();
    bool IsSet() const;
    // Waits up to the given time; true when signalled.
    bool WaitFor(std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_set = false;  // guarded by m_mutex
};

// An overlapped-transfer record: its event and the two file-offset fields, always zero.
struct TransferRecord {
    CompletionEvent* Event = nullptr;
    unsigned Offset = 0;
    unsigned OffsetHigh = 0;
};

class EventFactory {
public:
    virtual ~EventFactory() = default;
    // nullptr when the system cannot create one.
    virtual std::unique_ptr<CompletionEvent> CreateEvent();
};

// The write and read records of every session, created once with the main window.
struct TransferEvents {
    std::unique_ptr<CompletionEvent> WriteEvent;
    std::unique_ptr<CompletionEvent> ReadEvent;
    TransferRecord WriteTransfer;
    TransferRecord ReadTransfer;
};

enum class TransferEventFailure { WriteEvent, ReadEvent };

// Creates both events in order; on failure says which one could not be created, after
// which the program is to end.
[[nodiscard]] std::optional<TransferEventFailure> CreateTransferEvents(TransferEvents& out,
                                                                       EventFactory& factory);

}  // namespace kvartix
