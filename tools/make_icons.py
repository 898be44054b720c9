#!/usr/bin/env python3
"""Draws the program's two icons and writes them as .ico files.

Each icon holds five images, in this order: 32x32 and 16x16 with the
standard 16 colours, then 32x32, 16x16 and 48x48 with 256 colours. Every
image is drawn at its own size from the shapes below (pixel centres sampled,
no smoothing), so small sizes stay crisp; the 16-colour images use flat
colours of the standard palette, the 256-colour ones shading.

    tools/make_icons.py res/            writes res/app.ico and res/dialog.ico
    tools/make_icons.py res/ --preview icons.png   also a 4x preview
"""
import math
import struct
import sys
import zlib

VGA = {
    "black": (0, 0, 0), "maroon": (128, 0, 0), "green": (0, 128, 0), "olive": (128, 128, 0),
    "navy": (0, 0, 128), "purple": (128, 0, 128), "teal": (0, 128, 128), "silver": (192, 192, 192),
    "gray": (128, 128, 128), "red": (255, 0, 0), "lime": (0, 255, 0), "yellow": (255, 255, 0),
    "blue": (0, 0, 255), "fuchsia": (255, 0, 255), "aqua": (0, 255, 255), "white": (255, 255, 255),
}
VGA_ORDER = ["black", "maroon", "green", "olive", "navy", "purple", "teal", "silver",
             "gray", "red", "lime", "yellow", "blue", "fuchsia", "aqua", "white"]

FORMATS = [(32, 4), (16, 4), (32, 8), (16, 8), (48, 8)]


# --- shapes: functions of a point (u, v) in the unit square, v downwards ---

def rect(left, top, right, bottom):
    return lambda u, v: left <= u <= right and top <= v <= bottom


def disc(cx, cy, r):
    return lambda u, v: (u - cx) ** 2 + (v - cy) ** 2 <= r * r


def polygon(points):
    def inside(u, v):
        hit = False
        for (x1, y1), (x2, y2) in zip(points, points[1:] + points[:1]):
            if (y1 > v) != (y2 > v) and u < x1 + (v - y1) * (x2 - x1) / (y2 - y1):
                hit = not hit
        return hit
    return inside


def band(x1, y1, x2, y2, half_width):
    """A straight stroke from (x1, y1) to (x2, y2)."""
    length = math.hypot(x2 - x1, y2 - y1)
    nx, ny = -(y2 - y1) / length * half_width, (x2 - x1) / length * half_width
    return polygon([(x1 + nx, y1 + ny), (x2 + nx, y2 + ny), (x2 - nx, y2 - ny), (x1 - nx, y1 - ny)])


def gear(cx, cy, outer, inner, hole, teeth):
    def inside(u, v):
        du, dv = u - cx, v - cy
        d = math.hypot(du, dv)
        if d < hole:
            return False
        phase = (math.atan2(dv, du) / (2 * math.pi) * teeth + 0.25) % 1.0
        return d <= (outer if phase < 0.5 else inner)
    return inside


def both(a, b):
    return lambda u, v: a(u, v) and b(u, v)


# --- colours: flat, or shaded from light at the top left to dark ---

def flat(rgb):
    return lambda u, v: rgb


def shade(light, dark):
    def colour(u, v):
        t = max(0.0, min(1.0, (u + v) / 2))
        # Quantised to eight steps, so a 256-colour palette always suffices.
        t = round(t * 7) / 7
        return tuple(round(a + (b - a) * t) for a, b in zip(light, dark))
    return colour


def vertical(top, bottom):
    def colour(u, v):
        t = round(max(0.0, min(1.0, v)) * 7) / 7
        return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
    return colour


# --- the two designs: layers from back to front as (shape, colour, outline) ---

def app_layers(size, bits):
    """A framed landscape picture with a paintbrush across its corner."""
    rich = bits == 8
    c = VGA
    sky = vertical((90, 160, 235), (200, 230, 255)) if rich else flat(c["aqua"])
    hills = shade((120, 200, 80), (30, 110, 40)) if rich else flat(c["green"])
    far_hill = flat((70, 150, 70)) if rich else flat(c["lime"])
    sun = flat((255, 210, 40)) if rich else flat(c["yellow"])
    frame = shade((205, 150, 90), (120, 70, 30)) if rich else flat(c["olive"])
    handle = shade((230, 80, 60), (140, 20, 20)) if rich else flat(c["red"])
    ferrule = shade((235, 235, 235), (130, 130, 140)) if rich else flat(c["silver"])
    tip = flat((40, 40, 160)) if rich else flat(c["blue"])
    outline = (40, 30, 20) if rich else c["black"]
    small = size <= 16
    picture_top, picture_bottom = (0.06, 0.80) if not small else (0.06, 0.94)
    picture = rect(0.06, picture_top, 0.94, picture_bottom)
    inner = rect(0.16, picture_top + 0.10, 0.84, picture_bottom - 0.10)
    layers = [
        (picture, frame, outline),
        (inner, sky, None),
        (both(inner, disc(0.62, picture_top + 0.26, 0.11)), sun, None),
        (both(inner, disc(0.30, picture_bottom + 0.10, 0.42)), far_hill, None),
        (both(inner, disc(0.80, picture_bottom + 0.32, 0.50)), hills, None),
    ]
    if not small:
        # The brush: handle from the bottom right, metal band, painted tip.
        layers += [
            (band(0.97, 0.99, 0.72, 0.74, 0.075), handle, outline),
            (band(0.74, 0.76, 0.62, 0.64, 0.085), ferrule, outline),
            (polygon([(0.66, 0.56), (0.56, 0.68), (0.46, 0.54)]), tip, outline),
        ]
    return layers


def dialog_layers(size, bits):
    """A settings gear with a red 'remove' badge."""
    rich = bits == 8
    c = VGA
    metal = shade((235, 235, 240), (105, 110, 125)) if rich else flat(c["silver"])
    hub = shade((150, 155, 170), (80, 85, 100)) if rich else flat(c["gray"])
    badge = shade((255, 110, 100), (170, 0, 0)) if rich else flat(c["red"])
    cross = flat((255, 255, 255)) if rich else flat(c["white"])
    outline = (45, 45, 60) if rich else c["black"]
    small = size <= 16
    teeth = 6 if small else 8
    cx, cy = (0.40, 0.40) if not small else (0.42, 0.42)
    layers = [
        (gear(cx, cy, 0.40, 0.30, 0.11, teeth), metal, outline),
        (both(disc(cx, cy, 0.19), lambda u, v: not disc(cx, cy, 0.11)(u, v)), hub, None),
        (disc(0.72, 0.72, 0.27 if not small else 0.28), badge, outline),
    ]
    arm = 0.12
    width = 0.045 if not small else 0.06
    layers += [
        (band(0.72 - arm, 0.72 - arm, 0.72 + arm, 0.72 + arm, width), cross, None),
        (band(0.72 - arm, 0.72 + arm, 0.72 + arm, 0.72 - arm, width), cross, None),
    ]
    return layers


# --- rasterising and encoding ---

def render(layers_for, size, bits):
    """Rows of (r, g, b) or None for transparent."""
    layers = layers_for(size, bits)

    def sample(shape, x, y):
        return 0 <= x < size and 0 <= y < size and shape((x + 0.5) / size, (y + 0.5) / size)

    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            colour = None
            for shape, fill, outline in layers:
                if not sample(shape, x, y):
                    continue
                edge = outline is not None and not all(
                    sample(shape, x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                colour = outline if edge else fill((x + 0.5) / size, (y + 0.5) / size)
            row.append(colour)
        pixels.append(row)
    return pixels


def palette_for(pixels, bits):
    if bits == 4:
        palette = [VGA[name] for name in VGA_ORDER]
        for row in pixels:
            for p in row:
                if p is not None and p not in palette:
                    raise ValueError(f"{p} is not one of the 16 standard colours")
        return palette
    palette = [(0, 0, 0)]
    for row in pixels:
        for p in row:
            if p is not None and p not in palette:
                palette.append(p)
    if len(palette) > 256:
        raise ValueError("more than 256 colours")
    return palette + [(0, 0, 0)] * (256 - len(palette))


def packed_rows(values, bits_per_value, width):
    """One bottom-up DIB row of `values`, padded to four bytes."""
    bits = "".join(format(v, f"0{bits_per_value}b") for v in values)
    bits += "0" * (-len(bits) % 32)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))


def encode_image(pixels, bits):
    size = len(pixels)
    palette = palette_for(pixels, bits)
    colour_bytes = b"".join(bytes((p[2], p[1], p[0], 0)) for p in palette)
    xor = b"".join(packed_rows([0 if p is None else palette.index(p) for p in row], bits, size)
                   for row in reversed(pixels))
    mask = b"".join(packed_rows([1 if p is None else 0 for p in row], 1, size) for row in reversed(pixels))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + colour_bytes + xor + mask


def encode_icon(images):
    """images: list of (size, bits, dib bytes) in directory order."""
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    body = b""
    for size, bits, dib in images:
        directory += struct.pack("<BBBBHHII", size, size, 16 if bits == 4 else 0, 0, 1, bits, len(dib),
                                 offset + len(body))
        body += dib
    return directory + body


def write_png(path, rows):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def preview(path, renders, scale=4):
    """All images side by side, enlarged, on a light checkerboard."""
    gap = 8
    width = sum(len(p) * scale + gap for p in renders[0]) + gap
    height = len(renders) * (48 * scale + gap) + gap
    rows = [[(255, 255, 255)] * width for _ in range(height)]
    for line, images in enumerate(renders):
        x0 = gap
        y0 = gap + line * (48 * scale + gap)
        for pixels in images:
            size = len(pixels)
            for y in range(size * scale):
                for x in range(size * scale):
                    p = pixels[y // scale][x // scale]
                    if p is None:
                        p = (220, 220, 220) if ((x // 8) + (y // 8)) % 2 else (250, 250, 250)
                    rows[y0 + y][x0 + x] = p
            x0 += size * scale + gap
    write_png(path, rows)


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    out = argv[1].rstrip("/")
    renders = []
    for name, layers_for in (("app", app_layers), ("dialog", dialog_layers)):
        images = [(size, bits, render(layers_for, size, bits)) for size, bits in FORMATS]
        with open(f"{out}/{name}.ico", "wb") as f:
            f.write(encode_icon([(size, bits, encode_image(pixels, bits)) for size, bits, pixels in images]))
        renders.append([pixels for _, _, pixels in images])
    if "--preview" in argv:
        preview(argv[argv.index("--preview") + 1], renders)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
