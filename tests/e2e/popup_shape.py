#!/usr/bin/env python3
"""Checks a popup card's window on the X server: WINDOW's bounding shape is exactly the
non-key (not magenta) pixels of PICTURE, each pixel SCALE times over, the window is the
card's size at that scale and centred on the 1024 x 768 screen.
    popup_shape.py WINDOW PICTURE SCALE        (exit status 0 when it holds)"""
import ctypes, subprocess, sys
win = int(sys.argv[1])
scale = int(sys.argv[3])
x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
xext = ctypes.cdll.LoadLibrary("libXext.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
d = x11.XOpenDisplay(None)

class XRectangle(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort)]

class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("rest", ctypes.c_byte * 256)]

attrs = XWindowAttributes()
x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p]
x11.XGetWindowAttributes(d, win, ctypes.byref(attrs))
w, h = attrs.width, attrs.height
count, ordering = ctypes.c_int(), ctypes.c_int()
xext.XShapeGetRectangles.restype = ctypes.POINTER(XRectangle)
xext.XShapeGetRectangles.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                     ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int)]
rects = xext.XShapeGetRectangles(d, win, 0, ctypes.byref(count), ctypes.byref(ordering))
shape = set()
for i in range(count.value):
    r = rects[i]
    for y in range(r.y, r.y + r.height):
        for x in range(r.x, r.x + r.width):
            if 0 <= x < w and 0 <= y < h:
                shape.add((x, y))

ppm = subprocess.run(["convert", sys.argv[2], "ppm:-"], capture_output=True, check=True).stdout
parts = ppm.split(maxsplit=4)
pw, ph, pixels = int(parts[1]), int(parts[2]), parts[4]
opaque = set()
for y in range(min(h // scale, ph)):
    for x in range(min(w // scale, pw)):
        i = 3 * (y * pw + x)
        if pixels[i:i + 3] != b"\xff\x00\xff":
            opaque.update((scale * x + a, scale * y + b) for a in range(scale) for b in range(scale))

print(f"popup {w}x{h} at {attrs.x},{attrs.y}: {count.value} shape rectangles (as the X server bands them), "
      f"{len(shape)} visible pixels, {len(opaque)} card pixels")
ok = (w, h) == (441 * scale, 192 * scale) and count.value > 10 and shape == opaque
# centred on the 1024 x 768 screen
ok = ok and abs(attrs.x + w / 2 - 512) <= 1.5 and abs(attrs.y + h / 2 - 384) <= 1.5
if not ok:
    print("in shape but magenta:", len(shape - opaque), "card but cut away:", len(opaque - shape))
sys.exit(0 if ok else 1)
