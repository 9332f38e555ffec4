#pragma once

#include <string>

#include "engine/ErrorBox.h"
#include "serial/CompletionEvent.h"
#include "serial/PortOpening.h"

namespace kvartix {

// The program's texts for what the port layer reports, shared by the window and the CLI.
std::string OpenFailureText(const OpenFailure& failure);
// The text, and on a line of its own why the system refused the port, where it said.
std::string OpenFailureMessage(const OpenFailure& failure);
std::string TransferEventFailureText(TransferEventFailure failure);
// A port that went away during a session.
std::string PortLostText(const std::string& devicePath);
inline constexpr const char* kCloseFailedText = "Ошибка закрытия COM порта";

// Creates the transfer events; a failure is shown through the box. False when the program
// is to end.
bool CreateTransferEvents(TransferEvents& out, EventFactory& factory, ErrorBoxSink& box);

}  // namespace kvartix
