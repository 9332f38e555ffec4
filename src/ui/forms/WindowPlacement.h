#pragma once

#include <cstdint>
#include <vector>

namespace kvartix {

// A rectangle in screen pixels, wide enough for any stored value and its sums.
struct ScreenRect {
    std::int64_t Left = 0;
    std::int64_t Top = 0;
    std::int64_t Width = 0;
    std::int64_t Height = 0;
    bool operator==(const ScreenRect&) const = default;
};

// Where a window's stored bounds go, given the available areas of the screens (the first is
// the primary one): on the screen that holds most of them, or the nearest when none does, no
// larger than that screen's area and wholly inside it. A size below the minimum grows to it,
// unless the area is smaller still. Without any screen the bounds are kept.
ScreenRect PlaceOnScreen(const ScreenRect& stored, const std::vector<ScreenRect>& areas,
                         std::int64_t minWidth, std::int64_t minHeight);

}  // namespace kvartix
