#!/usr/bin/env python3
"""Draws the configuration dialog's four action pictures as 16-colour BMP files.

Each picture is 48 by 24 pixels on light grey (192, 192, 192), the colour that
the window code maps to the window's own face colour when it loads them: a
handheld on the left, a computer on the right, and between them what the
action does. A greyed device is drawn as an engraved outline (white, then
dark grey one pixel up and left), as disabled pictures are.

    draw_pictures.py           writes the files into pictures/
    draw_pictures.py --check   fails when a committed file differs from the drawing
"""
import os
import struct
import sys

WIDTH, HEIGHT = 48, 24

# The 16 colours of the standard VGA palette, by name.
PALETTE = [
    ("black", (0, 0, 0)), ("maroon", (128, 0, 0)), ("green", (0, 128, 0)),
    ("olive", (128, 128, 0)), ("navy", (0, 0, 128)), ("purple", (128, 0, 128)),
    ("teal", (0, 128, 128)), ("face", (192, 192, 192)), ("shadow", (128, 128, 128)),
    ("red", (255, 0, 0)), ("lime", (0, 255, 0)), ("yellow", (255, 255, 0)),
    ("blue", (0, 0, 255)), ("fuchsia", (255, 0, 255)), ("aqua", (0, 255, 255)),
    ("white", (255, 255, 255)),
]
INDEX = {name: i for i, (name, _) in enumerate(PALETTE)}


class Picture:
    def __init__(self):
        self.pixels = [[INDEX["face"]] * WIDTH for _ in range(HEIGHT)]

    def dot(self, x, y, colour):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
            self.pixels[y][x] = INDEX[colour]

    def fill(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.dot(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        for x in range(x0, x1 + 1):
            self.dot(x, y0, colour)
            self.dot(x, y1, colour)
        for y in range(y0, y1 + 1):
            self.dot(x0, y, colour)
            self.dot(x1, y, colour)

    def bmp(self):
        """The picture as a 4-bit BMP file (rows bottom up, 24 bytes each)."""
        rows = b""
        for row in reversed(self.pixels):
            rows += bytes((row[x] << 4) | row[x + 1] for x in range(0, WIDTH, 2))
        palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for _, (r, g, b) in PALETTE)
        offset = 14 + 40 + len(palette)
        header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
        info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 0, len(rows),
                           3780, 3780, 16, 16)
        return header + info + palette + rows


# The devices: outlines and fills as (shape, x0, y0, x1, y1, part) where the
# part says which colour it takes when bright.
HANDHELD = [
    ("fill", 2, 2, 11, 21, "body"), ("frame", 2, 2, 11, 21, "edge"),
    ("fill", 4, 4, 9, 12, "screen"), ("frame", 4, 4, 9, 12, "edge"),
    ("fill", 5, 6, 8, 6, "ink"), ("fill", 5, 8, 7, 8, "ink"), ("fill", 5, 10, 8, 10, "ink"),
    ("fill", 4, 15, 5, 16, "key"), ("fill", 8, 15, 9, 16, "key"), ("fill", 5, 18, 8, 19, "key"),
]
COMPUTER = [
    ("fill", 31, 2, 46, 14, "case"), ("frame", 31, 2, 46, 14, "edge"),
    ("fill", 33, 4, 44, 12, "display"), ("frame", 33, 4, 44, 12, "edge"),
    ("fill", 37, 15, 40, 16, "edge"),
    ("fill", 30, 18, 47, 21, "case"), ("frame", 30, 18, 47, 21, "edge"),
    ("fill", 32, 20, 45, 20, "shadowkeys"),
]
BRIGHT = {"body": "navy", "edge": "black", "screen": "lime", "ink": "green", "key": "white",
          "case": "white", "display": "blue", "shadowkeys": "shadow"}


def device(picture, shapes, bright):
    if bright:
        for shape, x0, y0, x1, y1, part in shapes:
            getattr(picture, shape)(x0, y0, x1, y1, BRIGHT[part])
        return
    # Engraved: the outlines in white one pixel down and right, then in dark grey.
    for colour, shift in (("white", 1), ("shadow", 0)):
        for shape, x0, y0, x1, y1, part in shapes:
            if shape == "frame" or part in ("edge", "key", "ink"):
                getattr(picture, "frame" if shape == "frame" else "fill")(
                    x0 + shift, y0 + shift, x1 + shift, y1 + shift, colour)


def arrow(picture, y, left_end, right_end, pointing_right, colour):
    """A two-pixel shaft from left_end to right_end with a five-pixel head."""
    picture.fill(left_end, y, right_end, y + 1, colour)
    tip = right_end if pointing_right else left_end
    step = -1 if pointing_right else 1
    for k in range(5):
        x = tip + step * k
        picture.fill(x, y - k, x, y + 1 + k, colour)


def pause(picture):
    picture.fill(19, 7, 21, 16, "black")
    picture.fill(25, 7, 27, 16, "black")


def draw():
    sync = Picture()
    device(sync, HANDHELD, True)
    device(sync, COMPUTER, True)
    arrow(sync, 6, 14, 28, True, "red")
    arrow(sync, 15, 14, 28, False, "red")

    pc_to_hh = Picture()
    device(pc_to_hh, HANDHELD, False)
    device(pc_to_hh, COMPUTER, True)
    arrow(pc_to_hh, 10, 14, 28, False, "red")

    hh_to_pc = Picture()
    device(hh_to_pc, HANDHELD, True)
    device(hh_to_pc, COMPUTER, False)
    arrow(hh_to_pc, 10, 14, 28, True, "red")

    do_nothing = Picture()
    device(do_nothing, HANDHELD, False)
    device(do_nothing, COMPUTER, False)
    pause(do_nothing)

    return {"sync.bmp": sync, "pc_to_hh.bmp": pc_to_hh, "hh_to_pc.bmp": hh_to_pc,
            "do_nothing.bmp": do_nothing}


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pictures")
    check = sys.argv[1:] == ["--check"]
    stale = []
    for name, picture in draw().items():
        path = os.path.join(folder, name)
        data = picture.bmp()
        if check:
            try:
                with open(path, "rb") as f:
                    if f.read() != data:
                        stale.append(path)
            except OSError:
                stale.append(path)
        else:
            with open(path, "wb") as f:
                f.write(data)
    if stale:
        print("draw_pictures: differs from the drawing: " + ", ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
