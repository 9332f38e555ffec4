#pragma once

#include <string>
#include <vector>

namespace kvartix {

struct PortList {
    std::vector<std::string> Names;
    std::string Preselected;
};

// The saved port when it is listed exactly as saved (letter case included), otherwise the
// first one listed, otherwise nothing.
void Preselect(PortList& list, const std::string& savedPort);

}  // namespace kvartix
