#!/usr/bin/env python3
"""Draws the program's icon, data/icons/pz4.svg and its 256-pixel PNG, from one
description: a palette of nine colours with a play mark over its corner. Run it
again after changing the shapes; both files are kept in the tree."""
import os
import sys

from PIL import Image, ImageDraw

BACK = "#1d2b4f"
CELLS = ["#e23b3b", "#f2a541", "#f4e04d",
         "#5cc26a", "#3fa7d6", "#7b5cd6",
         "#d65ca6", "#2bb3a3", "#9aa5b1"]
PLAY = [(34, 30), (58, 44), (34, 58)]  # in the 64-unit square
MARK = "#ffffff"
OUTLINE = "#1d2b4f"


def svg():
    cells = []
    for i, colour in enumerate(CELLS):
        x, y = 8 + (i % 3) * 17, 8 + (i // 3) * 17
        cells.append(f'  <rect x="{x}" y="{y}" width="14" height="14" rx="2" fill="{colour}"/>')
    points = " ".join(f"{x},{y}" for x, y in PLAY)
    return "\n".join([
        '<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">',
        f'  <rect x="2" y="2" width="60" height="60" rx="9" fill="{BACK}"/>',
        *cells,
        f'  <polygon points="{points}" fill="{MARK}" stroke="{OUTLINE}" stroke-width="3"'
        ' stroke-linejoin="round"/>',
        "</svg>",
        "",
    ])


def png(size):
    # Drawn four times larger and scaled down, for smooth edges.
    k = size * 4 / 64
    im = Image.new("RGBA", (size * 4, size * 4), (0, 0, 0, 0))
    d = ImageDraw.Draw(im)
    d.rounded_rectangle([2 * k, 2 * k, 62 * k, 62 * k], radius=9 * k, fill=BACK)
    for i, colour in enumerate(CELLS):
        x, y = 8 + (i % 3) * 17, 8 + (i // 3) * 17
        d.rounded_rectangle([x * k, y * k, (x + 14) * k, (y + 14) * k], radius=2 * k, fill=colour)
    points = [(x * k, y * k) for x, y in PLAY]
    d.polygon(points, fill=MARK)
    d.line(points + [points[0]], fill=OUTLINE, width=int(3 * k), joint="curve")
    return im.resize((size, size), Image.LANCZOS)


if __name__ == "__main__":
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "icons")
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "pz4.svg"), "w") as f:
        f.write(svg())
    png(256).save(os.path.join(out, "pz4-256.png"), optimize=True)
    sys.exit(0)
