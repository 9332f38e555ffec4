#include "serial/DevicePath.h"

#include <cctype>

namespace kvartix {
namespace {

bool StartsWithComIgnoringCase(const std::string& name) {
    return name.size() >= 3 && std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
           std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
           std::toupper(static_cast<unsigned char>(name[2])) == 'M';
}

}  // namespace

std::string Win32DevicePath(const std::string& portName) {
    return StartsWithComIgnoringCase(portName) ? "\\\\.\\" + portName : portName;
}

std::string PosixDevicePath(const std::string& portName) {
    if (!StartsWithComIgnoringCase(portName) || portName.size() == 3 || portName.size() > 6)
        return portName;
    int number = 0;
    for (std::size_t i = 3; i < portName.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(portName[i]))) return portName;
        number = number * 10 + (portName[i] - '0');
    }
    if (number < 1) return portName;
    return "/dev/ttyS" + std::to_string(number - 1);
}

}  // namespace kvartix
