#pragma once

#include <QString>

namespace kvartix {

// The help window's text: 32 lines joined by line feeds, no line feed after the last.
QString HelpText();

}  // namespace kvartix
