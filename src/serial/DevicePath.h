#pragma once

#include <string>

namespace kvartix {

// The longest device path the open accepts (it must fit an 80-character buffer).
inline constexpr std::size_t kMaxDevicePath = 79;

// Windows: "\\.\" before a name whose upper-case form begins with "COM", the name kept as typed.
std::string Win32DevicePath(const std::string& portName);
// Linux: COMn (any letter case) is /dev/ttyS<n-1>; anything else, LOOP and paths included,
// is opened as typed.
std::string PosixDevicePath(const std::string& portName);
// The rule of the platform this program was built for: serial/posix/PosixSystem.cpp or
// serial/win32/Win32System.cpp, whichever the build takes.
std::string DevicePathFor(const std::string& portName);

}  // namespace kvartix
