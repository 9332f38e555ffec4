#include "serial/loop/VirtualCommPort.h"

#include <utility>

namespace kvartix {

VirtualCommPort::VirtualCommPort(const Clock& clock, LoopImpairments impairments)
    : VirtualCommPort(PlugWire::Loopback(clock), 0, impairments) {}

VirtualCommPort::VirtualCommPort(std::shared_ptr<PlugWire> cable, int side,
                                 LoopImpairments impairments)
    : m_wire(std::move(cable)), m_side(side), m_end(impairments) {
    m_wire->Attach(m_side, m_end);
}

// Unplugged before the end goes, so that the far end never reaches it.
VirtualCommPort::~VirtualCommPort() {
    CloseHandle();
}

bool VirtualCommPort::DoGetCommState(LineConfig& config) {
    config = m_end.Config();
    return true;
}

bool VirtualCommPort::DoSetCommState(const LineConfig& config) {
    m_wire->Advance();
    return m_end.Configure(config);
}

bool VirtualCommPort::DoSetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) {
    return m_end.SetupQueues(rxQueue, txQueue);
}

bool VirtualCommPort::DoSetCommTimeouts(const CommTimeouts&) {
    return true;
}
bool VirtualCommPort::DoSetCommMask(std::uint32_t) {
    return true;
}

IoResult VirtualCommPort::DoReadFile(TransferRecord&, std::uint8_t* buffer, std::uint32_t count,
                                     std::uint32_t& got) {
    m_wire->Advance();
    got = m_end.Read(buffer, count);
    return IoResult::Done;
}

// Like a driver that queues every request: the call never completes the write itself.
IoResult VirtualCommPort::DoWriteFile(TransferRecord& transfer, const std::uint8_t* buffer,
                                      std::uint32_t count, std::uint32_t& /*written*/) {
    m_wire->Advance();
    return m_end.StartWrite(transfer, buffer, count) ? IoResult::Pending : IoResult::Failed;
}

IoResult VirtualCommPort::DoGetOverlappedResult(TransferRecord&, std::uint32_t& transferred) {
    m_wire->Advance();
    return m_end.WriteResult(transferred);
}

bool VirtualCommPort::DoClearCommError(std::uint32_t& errors, CommStatus& status) {
    m_wire->Advance();
    m_end.Status(Far(), errors, status);
    return true;
}

bool VirtualCommPort::DoGetCommModemStatus(std::uint32_t& modemStatus) {
    m_wire->Advance();
    modemStatus = m_end.ModemStatus(Far());
    return true;
}

bool VirtualCommPort::DoCloseHandle() {
    m_wire->Detach(m_side);
    m_end.Close();
    return true;
}

bool VirtualCommPort::DoTransmitXon() {
    m_wire->Advance();
    return m_end.TransmitXon();
}

std::optional<std::uint32_t> VirtualCommPort::DoPurgeOutput() {
    m_wire->Advance();
    return m_end.PurgeOutput();
}

}  // namespace kvartix
