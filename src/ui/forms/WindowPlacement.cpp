#include "ui/forms/WindowPlacement.h"

#include <algorithm>

namespace kvartix {
namespace {

// How far apart two ranges are along one axis; 0 when they overlap or touch.
std::int64_t Gap(std::int64_t a, std::int64_t aLength, std::int64_t b, std::int64_t bLength) {
    return std::max<std::int64_t>({0, b - (a + aLength), a - (b + bLength)});
}

std::int64_t Overlap(std::int64_t a, std::int64_t aLength, std::int64_t b, std::int64_t bLength) {
    return std::max<std::int64_t>(0, std::min(a + aLength, b + bLength) - std::max(a, b));
}

// The area holding the largest part of r; when none holds any, the nearest.
const ScreenRect& ChooseArea(const ScreenRect& r, const std::vector<ScreenRect>& areas) {
    const ScreenRect* best = &areas.front();
    double bestShared = -1;
    double bestDistance = 0;
    for (const ScreenRect& a : areas) {
        // Doubles: a shared area or a squared distance of stored extremes overflows 64 bits.
        const double shared = static_cast<double>(Overlap(r.Left, r.Width, a.Left, a.Width)) *
                              static_cast<double>(Overlap(r.Top, r.Height, a.Top, a.Height));
        const auto dx = static_cast<double>(Gap(r.Left, r.Width, a.Left, a.Width));
        const auto dy = static_cast<double>(Gap(r.Top, r.Height, a.Top, a.Height));
        const double distance = dx * dx + dy * dy;
        if (shared > bestShared || (shared == 0 && bestShared == 0 && distance < bestDistance)) {
            best = &a;
            bestShared = shared;
            bestDistance = distance;
        }
    }
    return *best;
}

// A length between the minimum and the room, the room winning; then a start that keeps it
// inside the room.
void Fit(std::int64_t& start, std::int64_t& length, std::int64_t roomStart, std::int64_t room,
         std::int64_t minimum) {
    length = std::min(std::max(length, minimum), room);
    start = std::clamp(start, roomStart, roomStart + room - length);
}

}  // namespace

ScreenRect PlaceOnScreen(const ScreenRect& stored, const std::vector<ScreenRect>& areas,
                         std::int64_t minWidth, std::int64_t minHeight) {
    if (areas.empty()) return stored;
    ScreenRect r = stored;
    r.Width = std::max(r.Width, minWidth);
    r.Height = std::max(r.Height, minHeight);
    const ScreenRect& area = ChooseArea(r, areas);
    Fit(r.Left, r.Width, area.Left, area.Width, minWidth);
    Fit(r.Top, r.Height, area.Top, area.Height, minHeight);
    return r;
}

}  // namespace kvartix
