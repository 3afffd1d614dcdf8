#!/usr/bin/env python3
"""xwd_png.py IN.xwd OUT.png: an X window dump (24 or 32 bits a pixel, as Xvfb makes
them) as a PNG, with the standard library only."""
import struct
import sys
import zlib


def main(source, target):
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

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    open(target, "wb").write(png)
    del depth


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
