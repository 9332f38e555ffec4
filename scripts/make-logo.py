#!/usr/bin/env python3
"""Draws the program's 101 x 101, 16-colour logo: a nine-pin serial plug above the frame of the
character 'K' as it travels the line (idle, start bit, eight data bits LSB first, stop bit).
Writes it as XPM, which is C source Qt reads directly. Run: scripts/make-logo.py > src/ui/forms/kvartix-logo.xpm
"""
import math

SIZE = 101
# One character per colour; ' ' is transparent. All from the classic 16-colour palette.
PALETTE = {
    ' ': 'None', 'k': '#000000', 'n': '#000080', 'b': '#0000FF', 's': '#C0C0C0',
    'g': '#808080', 'w': '#FFFFFF', 'y': '#FFFF00', 'o': '#808000', 'l': '#00FF00',
    't': '#008080',
}


def rounded_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return x0 <= x <= x1 and y0 <= y <= y1 and (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def trapezoid(x, y, top, bottom, half_top, half_bottom, r, centre=50.5):
    if not top <= y <= bottom:
        return False
    half = half_top + (half_bottom - half_top) * (y - top) / (bottom - top)
    if abs(x - centre) > half:
        return False
    # Round the four corners a little.
    for cy in (top + r, bottom - r):
        h = half_top + (half_bottom - half_top) * (cy - top) / (bottom - top) - r
        for cx in (centre - h, centre + h):
            if abs(y - cy) <= r and abs(x - cx) <= r + 1 and (
                (x - cx) * (cx - centre) > 0 and (y - cy) * (cy - (top + bottom) / 2) > 0
            ):
                if (x - cx) ** 2 + (y - cy) ** 2 > r * r:
                    return False
    return True


def wave_level(x):
    # Bit cells 7 pixels wide from x 17: start 0, then 'K' = 0x4B LSB first, then stop 1.
    bits = [0] + [(0x4B >> i) & 1 for i in range(8)] + [1]
    if x < 17:
        return 1
    i = int((x - 17) // 7)
    return bits[i] if i < len(bits) else 1


def pin(x, y):
    top = [28.5 + 11 * i for i in range(5)]
    bottom = [34 + 11 * i for i in range(4)]
    for cx, cy in [(c, 29.5) for c in top] + [(c, 41.5) for c in bottom]:
        d = math.hypot(x - cx, y - cy)
        if d <= 3.6:
            return 'w' if (x - cx) + (y - cy) < -2.2 else ('o' if d > 2.6 and (x - cx) + (y - cy) > 1 else 'y')
    return None


def pixel(px, py):
    x, y = px + 0.5, py + 0.5
    if not rounded_rect(x, y, 1, 1, 100, 100, 16):
        return ' '
    if not rounded_rect(x, y, 3, 3, 98, 98, 14):
        return 'k'
    if trapezoid(x, y, 18, 53, 38, 29, 5):
        if not trapezoid(x, y, 22, 49, 33, 25, 4):
            return 'w' if y < 21 or x < 50.5 - 33 - (y - 22) * 8 / 27 + 2 else 's'
        return pin(x, y) or 'k'
    # The line: high at y 66, low at y 82, three pixels thick, with vertical edges.
    if 10 <= x <= 91:
        lx = int(x)
        level = wave_level(lx)
        ly = 66 if level else 82
        if abs(y - ly) <= 1.5:
            return 'l'
        edge = lx >= 17 and (lx - 17) % 7 == 0 and wave_level(lx - 1) != level
        if edge and 66 - 1.5 <= y <= 82 + 1.5:
            return 'l'
        if 60 <= y <= 88 and lx % 7 == 3:
            return 't'
    return 'n'


rows = [''.join(pixel(x, y) for x in range(SIZE)) for y in range(SIZE)]
used = sorted({c for row in rows for c in row})
assert len(used) <= 16, used
print('/* XPM */')
print('static const char* const kvartix_logo[] = {')
print(f'"{SIZE} {SIZE} {len(used)} 1",')
for c in used:
    print(f'"{c} c {PALETTE[c]}",')
for i, row in enumerate(rows):
    print(f'"{row}"' + (',' if i + 1 < SIZE else ''))
print('};')
