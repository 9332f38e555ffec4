#pragma once

#include <QObject>

namespace kvartix {

// On a popup list: a press outside it closes it and goes on to the window under it.
class PressThroughList final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kvartix
