#!/usr/bin/env python3
"""xwd_png.py IN.xwd OUT.png [--crop]: an X window dump (24 or 32 bits a pixel, as Xvfb
makes them) as a PNG, with the standard library only; --crop keeps only what is not the
bare (black) screen around the windows."""
import struct
import sys
import zlib


def crop(rows, width):
    """The rows (of RGB triples, filter byte first) cut to the box that is not black."""
    top = left = None
    bottom = right = -1
    for y, row in enumerate(rows):
        pixels = row[1:]
        lit = [x for x in range(width) if pixels[3 * x:3 * x + 3] != b"\0\0\0"]
        if lit:
            top = y if top is None else top
            bottom = y
            left = lit[0] if left is None else min(left, lit[0])
            right = max(right, lit[-1])
    if top is None:
        return rows, width
    cut = [b"\0" + row[1 + 3 * left:1 + 3 * (right + 1)] for row in rows[top:bottom + 1]]
    return cut, right - left + 1


def main(source, target, cropped=False):
    data = open(source, "rb").read()
    fields = struct.unpack(">25I", data[:100])
    header_size, _version, _format, depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14:17]
    ncolors = fields[19]
    offset = header_size + ncolors * 12
    if bits_per_pixel not in (24, 32):
        sys.exit(f"xwd_png: {bits_per_pixel} bits a pixel is not handled")
    step = bits_per_pixel // 8

    def shift(mask):
        return (mask & -mask).bit_length() - 1

    rs, gs, bs = shift(red_mask), shift(green_mask), shift(blue_mask)
    order = "<" if byte_order == 0 else ">"
    rows = []
    for y in range(height):
        line = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * step]
        out = bytearray(b"\0")
        for x in range(width):
            chunk = line[x * step:(x + 1) * step]
            pixel = int.from_bytes(chunk, "little" if order == "<" else "big")
            out += bytes(((pixel & red_mask) >> rs, (pixel & green_mask) >> gs, (pixel & blue_mask) >> bs))
        rows.append(bytes(out))

    if cropped:
        rows, width = crop(rows, width)
        height = len(rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    open(target, "wb").write(png)
    del depth


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], "--crop" in sys.argv[3:])
