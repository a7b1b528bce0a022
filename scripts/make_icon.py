#!/usr/bin/env python3
"""Draws the application's icon (a shield with a keyhole) and writes it as a multi-size .ico.

    scripts/make_icon.py [OUTPUT]     default: src/app/resources/varnel.ico
    scripts/make_icon.py --png FOLDER SIZE...   one FOLDER/SIZE.png per size (the Linux build's icons)

Nine 32-bit images of 16, 20, 24, 32, 40, 48, 64, 128 and 256 pixels; the 256 one is PNG-compressed
as the format allows, the others are bitmaps so that every loader reads them. Run it again after
changing the drawing and commit the result.
"""
import struct
import sys
import zlib

SIZES = [16, 20, 24, 32, 40, 48, 64, 128, 256]
SAMPLES = 4  # per axis, for smooth edges


def inside_shield(x, y):
    """x, y in 0..1 (y down). A shield: flat top with rounded corners, sides curving to a point."""
    if y < 0.08 or y > 0.94:
        return False
    if y < 0.55:
        half = 0.40
        if y < 0.16:  # rounded top corners
            dy = 0.16 - y
            half = 0.32 + (0.08 ** 2 - min(dy, 0.08) ** 2) ** 0.5
    else:
        t = (y - 0.55) / 0.39
        half = 0.40 * (1 - t ** 1.6)
    return abs(x - 0.5) <= half


def inside_keyhole(x, y):
    if (x - 0.5) ** 2 + (y - 0.40) ** 2 <= 0.11 ** 2:
        return True
    return 0.40 <= y <= 0.70 and abs(x - 0.5) <= 0.045 + (y - 0.40) * 0.12


def pixel(size, px, py):
    shield = key = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = (px + (sx + 0.5) / SAMPLES) / size
            y = (py + (sy + 0.5) / SAMPLES) / size
            if inside_shield(x, y):
                shield += 1
                if inside_keyhole(x, y):
                    key += 1
    n = SAMPLES * SAMPLES
    if shield == 0:
        return (0, 0, 0, 0)
    shade = py / size  # deeper blue towards the point
    blue = (int(40 + 20 * shade), int(120 - 50 * shade), int(220 - 60 * shade))
    w = key / shield
    rgb = tuple(int(c * (1 - w) + 255 * w) for c in blue)
    return rgb + (int(255 * shield / n),)


def bitmap_entry(size):
    rows = []
    for py in reversed(range(size)):  # bottom-up
        row = bytearray()
        for px in range(size):
            r, g, b, a = pixel(size, px, py)
            row += bytes((b, g, r, a))
        rows.append(bytes(row))
    mask_row = ((size + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, size * size * 4 + mask_row * size, 0, 0, 0, 0)
    return header + b"".join(rows) + bytes(mask_row * size)


def png_entry(size):
    raw = bytearray()
    for py in range(size):
        raw.append(0)
        for px in range(size):
            raw += bytes(pixel(size, px, py))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def write_pngs(folder, sizes):
    for size in sizes:
        with open(f"{folder}/{size}.png", "wb") as f:
            f.write(png_entry(size))


def main():
    if len(sys.argv) > 2 and sys.argv[1] == "--png":
        write_pngs(sys.argv[2], [int(s) for s in sys.argv[3:]])
        return
    output = sys.argv[1] if len(sys.argv) > 1 else "src/app/resources/varnel.ico"
    images = [png_entry(s) if s == 256 else bitmap_entry(s) for s in SIZES]
    data = struct.pack("<HHH", 0, 1, len(SIZES))
    offset = 6 + 16 * len(SIZES)
    for size, image in zip(SIZES, images):
        dim = 0 if size == 256 else size
        data += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(output, "wb") as f:
        f.write(data + b"".join(images))


if __name__ == "__main__":
    main()
