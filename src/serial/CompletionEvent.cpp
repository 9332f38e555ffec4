#include "serial/CompletionEvent.h"

namespace kvartix {

void CompletionEvent::Set() {
    {
        std::lock_guard lock(m_mutex);
        m_set = true;
    }
    m_changed.notify_all();
}

void CompletionEvent::Reset() {
    std::lock_guard lock(m_mutex);
    m_set = false;
}

bool CompletionEvent::IsSet() const {
    std::lock_guard lock(m_mutex);
    return m_set;
}

bool CompletionEvent::WaitFor(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_set; });
}

std::unique_ptr<CompletionEvent> EventFactory::CreateEvent() {
    return std::make_unique<CompletionEvent>();
}

std::optional<TransferEventFailure> CreateTransferEvents(TransferEvents& out,
                                                         EventFactory& factory) {
    out.WriteEvent = factory.CreateEvent();
    out.ReadEvent = factory.CreateEvent();
    if (!out.WriteEvent) return TransferEventFailure::WriteEvent;
    if (!out.ReadEvent) return TransferEventFailure::ReadEvent;
    out.WriteTransfer = TransferRecord{out.WriteEvent.get(), 0, 0};
    out.ReadTransfer = TransferRecord{out.ReadEvent.get(), 0, 0};
    return std::nullopt;
}

}  // namespace kvartix
