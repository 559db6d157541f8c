#!/usr/bin/env python3
"""Draws the updater's icon, a music keyboard with a download arrow, as a
48 x 48 XPM in 16 colours. Run once; its output is committed:

    platform/qt/make-icon.py > platform/qt/virdo-updater.xpm
    convert platform/qt/virdo-updater.xpm -define png:bit-depth=4 \
        -define png:color-type=3 platform/qt/virdo-updater.png
"""

SIZE = 48
PALETTE = [  # (character, colour) -- at most 16
    (" ", "None"),
    (".", "#000000"),  # outlines, black keys
    ("d", "#404040"),  # keyboard body
    ("m", "#808080"),  # body highlight, key shadow
    ("l", "#C0C0C0"),  # white keys' lower edge
    ("w", "#FFFFFF"),  # white keys
    ("g", "#006000"),  # arrow outline
    ("G", "#00A000"),  # arrow
    ("h", "#60E060"),  # arrow highlight
    ("r", "#FF0000"),  # LED
    ("b", "#0000C0"),  # display
    ("c", "#4080FF"),  # display text
]

grid = [[" "] * SIZE for _ in range(SIZE)]


def put(x, y, c):
    if 0 <= x < SIZE and 0 <= y < SIZE:
        grid[y][x] = c


def rect(x0, y0, x1, y1, c):  # inclusive
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            put(x, y, c)


# The keyboard's body with its panel.
BODY_TOP, BODY_BOTTOM = 22, 46
rect(1, BODY_TOP, 46, BODY_BOTTOM, ".")
rect(2, BODY_TOP + 1, 45, BODY_BOTTOM - 1, "d")
rect(2, BODY_TOP + 1, 45, BODY_TOP + 1, "m")
rect(4, 24, 15, 27, "b")
for x in (6, 8, 10, 12):
    put(x, 25, "c")
    put(x, 26, "c")
rect(40, 25, 42, 26, "r")
rect(30, 25, 31, 26, "m")
rect(34, 25, 35, 26, "m")

# White keys, 5 pixels to the key, and the black keys between them.
KEYS_TOP, KEYS_BOTTOM = 29, 44
rect(3, KEYS_TOP, 44, KEYS_BOTTOM, ".")
left_edges = list(range(4, 44, 5))  # 8 white keys
for x in left_edges:
    rect(x, KEYS_TOP, x + 3, KEYS_BOTTOM - 1, "w")
    rect(x, KEYS_BOTTOM - 1, x + 3, KEYS_BOTTOM - 1, "l")
for n, x in enumerate(left_edges[:-1]):
    if n % 7 in (2, 6):  # no black key after E and B
        continue
    rect(x + 3, KEYS_TOP, x + 5, KEYS_TOP + 8, ".")
    put(x + 4, KEYS_TOP + 7, "m")

# The arrow coming down onto the keyboard.
CX = 23.5
for y in range(0, 12):
    for x in range(19, 29):
        put(x, y, "g" if x in (19, 28) or y == 0 else "G")
    put(20, y, "h" if y > 0 else "g")
for i, y in enumerate(range(11, 22)):
    half = 10 - i
    for x in range(int(CX - half - 0.5), int(CX + half + 1.5)):
        edge = x in (int(CX - half - 0.5), int(CX + half + 0.5))
        put(x, y, "g" if edge or half == 0 else "G")
    if half > 1:
        put(int(CX - half + 0.5), y, "h")
for x in range(13, 35):  # top edge of the head, closed but for the shaft
    if x < 20 or x > 27:
        put(x, 11, "g")

used = {c for row in grid for c in row}
palette = [(c, v) for c, v in PALETTE if c in used]
assert len(palette) <= 16
print("/* XPM */")
print("static const char* const virdo_updater_xpm[] = {")
print(f'"{SIZE} {SIZE} {len(palette)} 1",')
for c, v in palette:
    print(f'"{c} c {v}",')
for i, row in enumerate(grid):
    print('"' + "".join(row) + '"' + ("," if i < SIZE - 1 else ""))
print("};")
