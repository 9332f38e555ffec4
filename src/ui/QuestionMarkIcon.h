#pragma once

#include <QIcon>

namespace kvartix {

// The hint button's picture: a question mark in a circle, dark blue when up, yellow on blue
// when down.
QIcon QuestionMarkIcon();

}  // namespace kvartix
