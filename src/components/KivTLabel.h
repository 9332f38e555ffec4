#pragma once

#include <QLabel>

namespace kvartix {

enum class TKivFont3DStyle { fontNone, fontRaised, fontLowered };

// How a TKivLabel lifts its letters off the surface.
struct TKivFont3D {
    TKivFont3DStyle Style = TKivFont3DStyle::fontRaised;
    int Offset = 1;
};

// A label whose letters look raised: the text is drawn in the button-highlight colour shifted
// up and left, in the button-shadow colour shifted down and right, then in the font colour in
// place. It keeps the size it is given, fills itself with its colour unless transparent, and
// has no frame.
class TKivLabel : public QLabel {
  public:
    explicit TKivLabel(QWidget* parent = nullptr);

    const TKivFont3D& Font3D() const { return m_font3D; }
    void SetFont3D(const TKivFont3D& value);
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool value);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    TKivFont3D m_font3D;
    bool m_transparent = false;
};

}  // namespace kvartix
