#include "serial/PortDiscovery.h"

#include <algorithm>

namespace kvartix {

void Preselect(PortList& list, const std::string& savedPort) {
    const bool saved =
        std::find(list.Names.begin(), list.Names.end(), savedPort) != list.Names.end();
    list.Preselected = saved ? savedPort : list.Names.empty() ? "" : list.Names.front();
}

}  // namespace kvartix
