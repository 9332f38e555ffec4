// Elsewhere than on Linux (the build takes this file or TerminationSignalLinux.cpp): no
// handler; a signal ends the program as the system ends it.
#include "ui/TerminationSignal.h"

namespace kvartix {

void OnTerminationSignal(QObject*, std::function<void(int)>) {}

}  // namespace kvartix
