#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include "components/KivTLabel.h"

namespace kvartix {
namespace {

const QColor kSurface{0x00, 0xFF, 0xFF};
const QColor kFill{0xFF, 0xFF, 0x00};
const QColor kHighlight{0xFF, 0xFF, 0xFF};
const QColor kShadow{0x80, 0x80, 0x80};
const QColor kInk{0x00, 0x00, 0x00};

class StyledLabel : public ::testing::Test {
  protected:
    StyledLabel() {
        owner.resize(120, 50);
        owner.setAutoFillBackground(true);
        QPalette surface = owner.palette();
        surface.setColor(QPalette::Window, kSurface);
        owner.setPalette(surface);
        label.setGeometry(10, 10, 100, 30);
        QPalette p = label.palette();
        p.setColor(QPalette::Window, kFill);
        p.setColor(QPalette::Light, kHighlight);
        p.setColor(QPalette::Dark, kShadow);
        p.setColor(QPalette::WindowText, kInk);
        label.setPalette(p);
        QFont font = label.font();
        font.setStyleStrategy(QFont::NoAntialias);  // so every ink pixel has its exact colour
        label.setFont(font);
        label.setText(QStringLiteral("KVARTIX"));
    }

    QImage Grab() {
        return owner.grab().toImage().convertToFormat(QImage::Format_RGB32).copy(label.geometry());
    }

    // The smallest rectangle holding every pixel of the colour.
    static QRect Extent(const QImage& image, const QColor& colour) {
        QRect box;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) == colour.rgb()) box |= QRect(x, y, 1, 1);
        return box;
    }

    QWidget owner;
    TKivLabel& label = *new TKivLabel(&owner);
};

TEST_F(StyledLabel, highlight_sits_up_left_and_shadow_down_right_of_the_letters) {
    const QImage image = Grab();
    const QRect ink = Extent(image, kInk);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_EQ(Extent(image, kHighlight).topLeft(), ink.topLeft() - QPoint(1, 1));
    EXPECT_EQ(Extent(image, kShadow).bottomRight(), ink.bottomRight() + QPoint(1, 1));
    EXPECT_EQ(image.pixel(0, 0), kFill.rgb());
}

TEST_F(StyledLabel, transparent_label_lets_the_surface_show) {
    label.SetTransparent(true);
    const QImage image = Grab();
    EXPECT_EQ(image.pixel(0, 0), kSurface.rgb());
    EXPECT_TRUE(Extent(image, kFill).isEmpty());
    EXPECT_FALSE(Extent(image, kShadow).isEmpty());
}

}  // namespace
}  // namespace kvartix
