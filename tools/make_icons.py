#!/usr/bin/env python3
"""Draws the program's own toolbar icons (the fallbacks used where the desktop's
icon theme has none) as 48x48 PNG files into src/ui/icons/, and writes the
resource list src/ui/icons.qrc. Shapes are drawn at four times the size and
averaged down, so edges are smooth. The program icon (128) is also written for
the desktop's icon theme: as SVG and as PNG files of 16 to 256 pixels into
packaging/icons/. Run it again after changing a shape."""
import os, struct, zlib

SIZE, SS = 48, 4  # shapes are given on a 48x48 grid
APP_ID = "org.tallyvane.Tallyvane"
THEME_SIZES = [16, 22, 24, 32, 48, 64, 128, 256]


class Canvas:
    def __init__(self, size=SIZE):
        self.size, self.n = size, size * SS
        self.px = [[(0, 0, 0, 0)] * self.n for _ in range(self.n)]

    def fill(self, inside, color):
        step = SIZE / self.n
        for y in range(self.n):
            fy = (y + 0.5) * step
            row = self.px[y]
            for x in range(self.n):
                if inside((x + 0.5) * step, fy):
                    row[x] = color

    def rect(self, x0, y0, x1, y1, color):
        self.fill(lambda x, y: x0 <= x < x1 and y0 <= y < y1, color)

    def round_rect(self, x0, y0, x1, y1, r, color):
        def inside(x, y):
            if not (x0 <= x < x1 and y0 <= y < y1):
                return False
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
        self.fill(inside, color)

    def circle(self, cx, cy, r, color, inner=0):
        self.fill(lambda x, y: inner * inner <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r, color)

    def polygon(self, pts, color):
        def inside(x, y):
            c = False
            for i in range(len(pts)):
                (ax, ay), (bx, by) = pts[i], pts[i - 1]
                if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                    c = not c
            return c
        self.fill(inside, color)

    def line(self, ax, ay, bx, by, width, color):
        dx, dy = bx - ax, by - ay
        length = (dx * dx + dy * dy) ** 0.5
        nx, ny = -dy / length * width / 2, dx / length * width / 2
        self.polygon([(ax + nx, ay + ny), (bx + nx, by + ny), (bx - nx, by - ny), (ax - nx, ay - ny)], color)

    def png(self, path):
        raw = b""
        for y in range(self.size):
            raw += b"\0"
            for x in range(self.size):
                acc = [0, 0, 0, 0]
                for sy in range(SS):
                    for sx in range(SS):
                        r, g, b, a = self.px[y * SS + sy][x * SS + sx]
                        acc[0] += r * a; acc[1] += g * a; acc[2] += b * a; acc[3] += a
                a = acc[3]
                pix = (0, 0, 0, 0) if a == 0 else (acc[0] // a, acc[1] // a, acc[2] // a, a // (SS * SS))
                raw += bytes(pix)
        chunk = lambda t, d: struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
        data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.size, self.size, 8, 6, 0, 0, 0))
        data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
        with open(path, "wb") as f:
            f.write(data)


INK, PAPER, EDGE = (60, 60, 70, 255), (252, 252, 250, 255), (120, 120, 130, 255)
BLUE, GREEN, RED, GOLD = (40, 110, 200, 255), (40, 160, 70, 255), (210, 50, 40, 255), (235, 180, 50, 255)


def page(c, lines):
    c.polygon([(10, 4), (31, 4), (39, 12), (39, 44), (10, 44)], EDGE)
    c.polygon([(12, 6), (30, 6), (37, 13), (37, 42), (12, 42)], PAPER)
    c.polygon([(30, 6), (37, 13), (30, 13)], EDGE)
    for i, (w, col) in enumerate(lines):
        c.rect(15, 17 + i * 5, 15 + w, 19 + i * 5, col)


# The program: a page of counted lines, as shapes both the PNG and the SVG
# writer draw.
PROGRAM_SHAPES = [("round_rect", (4, 4, 44, 44, 7), BLUE)] + [
    ("rect", (10, 11 + i * 7, 10 + w, 15 + i * 7), PAPER) for i, w in enumerate((28, 18, 24, 12))]


def program_svg():
    rgb = lambda c: "#%02x%02x%02x" % c[:3]
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{SIZE}" height="{SIZE}" viewBox="0 0 {SIZE} {SIZE}">']
    for kind, a, color in PROGRAM_SHAPES:
        r = f' rx="{a[4]}"' if kind == "round_rect" else ""
        out.append(f'  <rect x="{a[0]}" y="{a[1]}" width="{a[2] - a[0]}" height="{a[3] - a[1]}"{r} fill="{rgb(color)}"/>')
    return "\n".join(out) + "\n</svg>\n"


def draw(icon, size=SIZE):
    c = Canvas(size)
    if icon == 128:
        for kind, args, color in PROGRAM_SHAPES:
            getattr(c, kind)(*args, color)
    elif icon == 134:  # start
        c.circle(24, 24, 20, GREEN)
        c.polygon([(18, 13), (36, 24), (18, 35)], PAPER)
    elif icon == 190:  # stop
        c.circle(24, 24, 20, RED)
        c.rect(16, 16, 32, 32, PAPER)
    elif icon == 140:  # pick files
        page(c, [(18, INK), (14, INK), (19, INK), (10, INK), (16, INK)])
    elif icon == 147:  # pick folders
        c.polygon([(4, 12), (18, 12), (22, 16), (44, 16), (44, 40), (4, 40)], (200, 150, 40, 255))
        c.polygon([(4, 20), (44, 20), (44, 40), (4, 40)], GOLD)
    elif icon == 148:  # view source: lines in the colours of their classes
        page(c, [(18, BLUE), (14, GREEN), (19, BLUE), (10, (150, 150, 150, 255)), (16, GREEN)])
    elif icon == 151:  # settings: a gear
        for k in range(8):
            import math
            a = k * math.pi / 4
            c.line(24 + 12 * math.cos(a), 24 + 12 * math.sin(a), 24 + 20 * math.cos(a), 24 + 20 * math.sin(a), 7, EDGE)
        c.circle(24, 24, 15, EDGE, inner=6)
    elif icon == 169:  # save
        c.round_rect(6, 6, 42, 42, 3, BLUE)
        c.rect(13, 6, 35, 19, PAPER)
        c.rect(28, 8, 32, 17, BLUE)
        c.rect(12, 26, 36, 42, PAPER)
    elif icon == 187:  # print
        c.rect(14, 5, 34, 20, PAPER)
        c.rect(14, 5, 34, 6, EDGE)
        c.round_rect(5, 17, 43, 36, 4, EDGE)
        c.rect(13, 30, 35, 44, PAPER)
        c.rect(16, 35, 32, 37, INK)
        c.rect(16, 39, 28, 41, INK)
    elif icon == 175:  # about
        c.circle(24, 24, 20, BLUE)
        c.circle(24, 14, 3, PAPER)
        c.rect(21, 20, 27, 36, PAPER)
    elif icon == 180:  # exit
        c.circle(24, 24, 20, RED)
        c.line(16, 16, 32, 32, 5, PAPER)
        c.line(32, 16, 16, 32, 5, PAPER)
    return c


ICONS = [128, 134, 140, 147, 148, 151, 169, 175, 180, 187, 190]

if __name__ == "__main__":
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "ui")
    os.makedirs(os.path.join(root, "icons"), exist_ok=True)
    for icon in ICONS:
        draw(icon).png(os.path.join(root, "icons", f"{icon}.png"))
    with open(os.path.join(root, "icons.qrc"), "w") as f:
        f.write("<RCC>\n  <qresource prefix=\"/\">\n")
        for icon in ICONS:
            f.write(f"    <file>icons/{icon}.png</file>\n")
        f.write("  </qresource>\n</RCC>\n")
    themed = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "packaging", "icons")
    os.makedirs(themed, exist_ok=True)
    with open(os.path.join(themed, APP_ID + ".svg"), "w") as f:
        f.write(program_svg())
    for size in THEME_SIZES:
        draw(128, size).png(os.path.join(themed, f"{APP_ID}-{size}.png"))
