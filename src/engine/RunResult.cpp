#include "engine/RunResult.h"

namespace kvartix {

bool RunResult::AnyErrors() const {
    const BertChecker& p = Final.Packet;
    const DriverErrorCounters& d = Final.Driver;
    return Final.Errors != 0 || p.SyncLostCount != 0 || p.InvalidSymbolCount != 0 ||
           p.SymbolLostCount != 0 || d.ParityErrors != 0 || d.OverrunErrors != 0 ||
           d.FramingErrors != 0 || d.OtherErrors != 0 || Final.Sequence.BitErrors != 0 ||
           Final.Sequence.SyncLosses != 0;
}

std::optional<double> RunResult::Coefficient() const {
    if (Final.Received == 0) return std::nullopt;
    return static_cast<double>(Final.Errors) / static_cast<double>(Final.Received);
}

RunVerdict RunResult::Verdict() const {
    if (Ending == RunEnding::Interrupted) return RunVerdict::Interrupted;
    if (Ending == RunEnding::PortLost) return RunVerdict::PortLost;
    // A loopback judges no data of its own; what the driver threw away never went back.
    if (Mode != TestMode::Bert)
        return Final.Driver.OverrunErrors != 0 || ReceiveOverflows != 0 ? RunVerdict::DataLost
                                                                        : RunVerdict::Clean;
    if (Final.Received == 0) return RunVerdict::NoData;
    if ((HasPackets() || HasSequence()) && !Synchronised) return RunVerdict::NeverSynchronised;
    if (AnyErrors()) return RunVerdict::Errors;
    if (EndedHeld()) return RunVerdict::HeldByXoff;
    return Loss.Lost.value_or(0) != 0 ? RunVerdict::CharactersLost : RunVerdict::Clean;
}

const char* VerdictText(RunVerdict verdict) {
    // In the order of RunVerdict.
    constexpr const char* kVerdictTexts[] = {
        "no errors",       "errors counted", "no data received", "never synchronised",
        "characters lost", "data lost",      "port lost",        "interrupted",
        "held by Xoff"};
    return kVerdictTexts[static_cast<int>(verdict)];
}

}  // namespace kvartix
