#!/usr/bin/env python3
"""Makes the exception box's pictures: one icon file a picture, from the character grids in
resources/box/ (one character a pixel, colours and opacities from palette.txt there).

    make_box_pictures.py [--bitmaps] SOURCE_DIR OUTPUT_DIR NAME...

writes OUTPUT_DIR/NAME.ico for every SOURCE_DIR/NAME.txt: a square grid of 16 or 32 rows
becomes a 32-bit icon with its opacity in the top byte of every pixel and the matching
mask. With --bitmaps it writes OUTPUT_DIR/NAME.bmp instead: the 16 x 16 picture as a
32-bit bitmap file whose resource is the box's 1064-byte form (the 40-byte header, then
the pixels bottom row first, opacity in the top byte)."""
import struct
import sys
from pathlib import Path


def read_palette(path):
    palette = {}
    for line in path.read_text().splitlines():
        if not line.strip() or line.startswith("#"):
            continue
        char, colour, opacity = line.split()
        palette[char] = (int(colour, 16), int(opacity))
    return palette


def read_grid(path):
    rows = [line for line in path.read_text().splitlines() if line and not line.startswith("#")]
    side = len(rows)
    if side not in (16, 32) or any(len(row) != side for row in rows):
        sys.exit(f"{path}: a picture is 16 x 16 or 32 x 32 characters")
    return rows


def pixel_bytes(rows, palette):
    pixels = bytearray()
    for row in reversed(rows):  # bottom row first
        for char in row:
            if char not in palette:
                sys.exit(f"no colour for {char!r}")
            colour, opacity = palette[char]
            pixels += struct.pack("<I", (opacity << 24) | (colour if opacity else 0))
    return pixels


def bitmap_bytes(rows, palette):
    side = len(rows)
    if side != 16:
        sys.exit("a button picture bitmap is 16 x 16")
    pixels = pixel_bytes(rows, palette)
    header = struct.pack("<IiiHHIIiiII", 40, side, side, 1, 32, 0, len(pixels), 0, 0, 0, 0)
    offset = 14 + len(header)
    return struct.pack("<HIHHI", 0x4D42, offset + len(pixels), 0, 0, offset) + header + pixels


def icon_bytes(rows, palette):
    side = len(rows)
    pixels = pixel_bytes(rows, palette)
    mask = bytearray()
    mask_stride = ((side + 31) // 32) * 4
    for row in reversed(rows):  # bottom row first
        bits = 0
        for char in row:
            bits = bits << 1 | (1 if palette[char][1] == 0 else 0)
        mask += bits.to_bytes(side // 8, "big").ljust(mask_stride, b"\0")
    header = struct.pack("<IiiHHIIiiII", 40, side, 2 * side, 1, 32, 0, len(pixels) + len(mask),
                         0, 0, 0, 0)
    image = header + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", side % 256, side % 256, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    arguments = sys.argv[1:]
    bitmaps = arguments[:1] == ["--bitmaps"]
    if bitmaps:
        arguments = arguments[1:]
    source, output, names = Path(arguments[0]), Path(arguments[1]), arguments[2:]
    palette = read_palette(source / "palette.txt")
    output.mkdir(parents=True, exist_ok=True)
    for name in names:
        rows = read_grid(source / f"{name}.txt")
        if bitmaps:
            (output / f"{name}.bmp").write_bytes(bitmap_bytes(rows, palette))
        else:
            (output / f"{name}.ico").write_bytes(icon_bytes(rows, palette))


if __name__ == "__main__":
    main()
