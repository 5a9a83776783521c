#!/usr/bin/env python3
"""Checks a popup card drawn at 2x on screen: where the 1x card's shape is (doubled), the
screenshot SCREEN shows the 2x picture, or the card's colour where the picture's rounded
outline leaves a pixel of the shape uncovered, never the key colour; the date stamp, right
of column 480 in the footer, is left out.
    popup_2x.py SCREEN X Y PICTURE_DIR        (exit status 0 when it holds)"""
import sys
import ppm
x0, y0 = int(sys.argv[2]), int(sys.argv[3])
w, h, screen = ppm.load(sys.argv[1], f"882x384+{x0}+{y0}")
pw, ph, one = ppm.load(sys.argv[4] + "/background.png")
dw, dh, two = ppm.load(sys.argv[4] + "/background@2x.png")
key, card = b"\xff\x00\xff", b"\x17\x3a\x78"
def px(data, width, x, y): return data[3 * (y * width + x):3 * (y * width + x) + 3]
checked = wrong = keys = 0
for y in range(384):
    for x in range(882):
        if px(one, pw, x // 2, y // 2) == key or (x >= 480 and y >= 320):
            continue
        seen, drawn = px(screen, w, x, y), px(two, dw, x, y)
        checked += 1
        keys += seen == key
        wrong += seen != (card if drawn == key else drawn)
print(f"2x card: {checked} pixels of the shape compared, {wrong} differ from the 2x picture, {keys} of the key colour")
sys.exit(0 if checked > 250000 and wrong == 0 else 1)
