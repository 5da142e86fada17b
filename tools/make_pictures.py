#!/usr/bin/env python3
"""Draws the pictures the build stores and the tests load, from code.

    tools/make_pictures.py OUTPUT_DIR NAME...

Each NAME is one of the pictures below, written to OUTPUT_DIR/NAME:

  registration.bmp  the registration window's picture, 418 x 378, 24-bit
  registration.bmp.frame  the same picture as the program stores it: in a
                    compressed frame (a 12-byte header of length, CRC-32 and 0,
                    little-endian, then a raw deflate stream)
  frames.gif        an animated GIF: a 60 x 40 screen, frame 1 red over all
                    of it, frame 2 green 20 x 10 at (30, 20), frame 3 blue
                    10 x 10 at (5, 5)
  tile.bmp          a 7 x 5 tile, black at (0, 0) and amber elsewhere
  images.bmp        an image-list strip of three 16 x 16 images (red, green,
                    blue squares in a magenta frame, the mask colour)
  plain.gif         a 12 x 8 one-frame GIF without a graphic control extension
"""
import struct
import sys
import zlib


def bmp24(width, height, pixel):
    """A bottom-up 24-bit BMP file; pixel(x, y) gives (r, g, b), y from the top."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += bytes(stride - len(row))
        rows.append(bytes(row))
    bits = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(bits), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(bits), 3780, 3780, 0, 0)
    return header + info + bits


def compressed_frame(data):
    """The bytes in a compressed frame, at zlib's best compression."""
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    stream = packer.compress(data) + packer.flush()
    return struct.pack("<III", len(data), zlib.crc32(data), 0) + stream


def lzw(indices, min_code_size):
    """GIF LZW data of colour indices, every code a literal, a clear code
    often enough that the code width never grows."""
    clear = 1 << min_code_size
    end = clear + 1
    width = min_code_size + 1
    run = (1 << min_code_size) - 2  # literals after a clear before the width would grow
    codes = []
    for start in range(0, len(indices), run):
        codes.append(clear)
        codes.extend(indices[start:start + run])
    codes.append(end)
    out = bytearray()
    accumulator = 0
    bits = 0
    for code in codes:
        accumulator |= code << bits
        bits += width
        while bits >= 8:
            out.append(accumulator & 0xFF)
            accumulator >>= 8
            bits -= 8
    if bits:
        out.append(accumulator & 0xFF)
    blocks = bytearray()
    for start in range(0, len(out), 255):
        chunk = out[start:start + 255]
        blocks += bytes((len(chunk),)) + chunk
    return bytes((min_code_size,)) + bytes(blocks) + b"\x00"


def gif(width, height, palette, frames, control=True):
    """A GIF89a file: palette of 2^n (r, g, b) entries, frames of
    (left, top, width, height, colour index)."""
    bits = max(1, (len(palette) - 1).bit_length())
    table = b"".join(bytes(c) for c in palette) + bytes(3 * ((1 << bits) - len(palette)))
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", width, height, 0x80 | 0x70 | (bits - 1), 0, 0)
    out += table
    for left, top, w, h, colour in frames:
        if control:
            # Disposal 1 (leave the frame), 10/100 s.
            out += b"\x21\xF9\x04" + struct.pack("<BHB", 0x04, 10, 0) + b"\x00"
        out += b"\x2C" + struct.pack("<HHHHB", left, top, w, h, 0)
        out += lzw([colour] * (w * h), max(2, bits))
    out += b"\x3B"
    return bytes(out)


def registration(x, y):
    """A dusk sky over a field, a sun, and an open book with a ribbon."""
    r = int(40 + 150 * y / 377)
    g = int(60 + 90 * y / 377)
    b = int(140 - 40 * y / 377)
    if y > 280:  # the field
        r, g, b = 60 + (x * 7 + y * 3) % 20, 120 + (x * 5) % 25, 50
    dx, dy = x - 320, y - 90
    if dx * dx + dy * dy < 40 * 40:
        r, g, b = 250, 210, 90
    # The book: two pages meeting at x = 209, bent down at the spine.
    if 89 <= x <= 329 and 150 <= y <= 290:
        sag = abs(x - 209) // 12
        if y >= 150 + 10 - sag:
            r, g, b = 244, 236, 216
            if (y - 170) % 14 == 0 and 105 <= x <= 313 and abs(x - 209) > 10 and y < 280:
                r, g, b = 120, 120, 150  # lines of text
            if abs(x - 209) <= 1:
                r, g, b = 150, 130, 110
    if 250 <= x <= 262 and 150 <= y <= 320 and (y < 310 or (x - 250) % 12 < 6):
        r, g, b = 168, 40, 55  # the ribbon
    return r, g, b


def tile(x, y):
    return (0, 0, 0) if (x, y) == (0, 0) else (255, 190, 0)


def images(x, y):
    colours = [(220, 0, 0), (0, 170, 0), (0, 0, 220)]
    inner = 2 <= x % 16 < 14 and 2 <= y < 14
    return colours[x // 16] if inner else (255, 0, 255)


PICTURES = {
    "registration.bmp": lambda: bmp24(418, 378, registration),
    "registration.bmp.frame": lambda: compressed_frame(bmp24(418, 378, registration)),
    "frames.gif": lambda: gif(60, 40, [(0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255)],
                              [(0, 0, 60, 40, 1), (30, 20, 20, 10, 2), (5, 5, 10, 10, 3)]),
    "tile.bmp": lambda: bmp24(7, 5, tile),
    "images.bmp": lambda: bmp24(48, 16, images),
    "plain.gif": lambda: gif(12, 8, [(0, 0, 0), (0, 128, 255)], [(0, 0, 12, 8, 1)],
                             control=False),
}


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    folder = sys.argv[1]
    for name in sys.argv[2:]:
        with open(f"{folder}/{name}", "wb") as out:
            out.write(PICTURES[name]())


if __name__ == "__main__":
    main()
