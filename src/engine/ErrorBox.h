#pragma once

#include <string>

namespace kvartix {

// The program's modal message: caption "KVARTIX ", one OK button, the error icon or none.
// The caller waits until it is dismissed.
class ErrorBoxSink {
public:
    virtual ~ErrorBoxSink() = default;
    virtual void ErrorBox(const std::string& text, bool errorIcon) = 0;
};

}  // namespace kvartix
