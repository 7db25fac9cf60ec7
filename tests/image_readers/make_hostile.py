#!/usr/bin/python3
"""Writes malformed and hostile GIF and TIFF files for the reader tests.

Each line of the manifest: file, the message number the reader must end
with (0: the file reads), and for readable files the expected image.
The files are built byte by byte here, so that no tool's size policy or
sanity checks stand between the test and the reader.
"""
import os
import shutil
import struct
import sys

out = sys.argv[1]
shutil.rmtree(out, ignore_errors=True)
os.makedirs(out)
manifest = []


def write(name, data, message, expected=None):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
    line = f"{name} {message}"
    if expected is not None:
        width, height, rgb = expected
        with open(os.path.join(out, name + ".expect"), "wb") as f:
            f.write(struct.pack("<II", width, height) + rgb)
        line += f" {name}.expect"
    manifest.append(line)


# --- TIFF -------------------------------------------------------------------
def tiff(entries, data=b"", big=False, ifd_offset=None, tail=b""):
    """A TIFF whose pixel data follows the 8-byte header; entries are
    (tag, type, values) with the offsets of arrays filled in here.
    A value of "DATA" stands for the offset of the data."""
    e = ">" if big else "<"
    body = bytearray(b"MM\0\x2a" if big else b"II\x2a\0") + b"\0\0\0\0" + data
    body += b"\0" * (len(body) & 1)
    ifd = len(body) if ifd_offset is None else ifd_offset
    struct.pack_into(e + "I", body, 4, ifd)
    sizes = {1: "B", 3: "H", 4: "I"}
    blob_at = len(body) + 2 + 12 * len(entries) + 4
    fields, blobs = bytearray(), bytearray()
    for tag, typ, values in sorted(entries, key=lambda x: x[0]):
        if isinstance(values, tuple):  # (count, raw value field): forged
            count, raw = values
        else:
            values = [8 if v == "DATA" else v for v in values]
            raw = struct.pack(e + sizes.get(typ, "I") * len(values), *values)
            count = len(values)
            if len(raw) > 4:
                blobs += raw
                raw = struct.pack(e + "I", blob_at + len(blobs) - len(raw))
            raw = raw.ljust(4, b"\0")
        fields += struct.pack(e + "HHI", tag, typ, count) + raw
    body += struct.pack(e + "H", len(entries)) + fields + b"\0\0\0\0" + blobs + tail
    return bytes(body)


def grey(width, height, data, extra=(), drop=(), big=False, **kw):
    entries = {256: (4, [width]), 257: (4, [height]), 258: (3, [8]), 262: (3, [1]),
               273: (4, ["DATA"]), 277: (3, [1]), 279: (4, [len(data)])}
    for tag in drop:
        entries.pop(tag)
    for tag, typ, values in extra:
        entries[tag] = (typ, values)
    return tiff([(t, v[0], v[1]) for t, v in entries.items()], data, big=big, **kw)


def grey_expect(width, height, data):
    return (width, height, b"".join(bytes((v, v, v)) for v in data[:width * height]))


px = bytes(range(40))
write("t-ok.tif", grey(8, 5, px), 0, grey_expect(8, 5, px))
write("t-short-header.tif", b"II\x2a\0\0", 1017)
write("t-ifd-past-end.tif", grey(8, 5, px, ifd_offset=100000), 1017)
write("t-ifd-count-past-end.tif", grey(8, 5, px)[:-30], 1017)
write("t-no-width.tif", grey(8, 5, px, drop=[256]), 1008)
write("t-zero-width.tif", grey(8, 5, px, extra=[(256, 4, [0])]), 1008)
write("t-no-height.tif", grey(8, 5, px, drop=[257]), 1009)
write("t-subfile-3.tif", grey(8, 5, px, extra=[(254, 4, [3])]), 1007)
write("t-no-photometric.tif", grey(8, 5, px, drop=[262]), 1019)
write("t-photometric-ycbcr.tif", grey(8, 5, px, extra=[(262, 3, [6])]), 1019)
write("t-bits-2.tif", grey(8, 5, px, extra=[(258, 3, [2])]), 1012)
write("t-bits-16.tif", grey(4, 5, px, extra=[(258, 3, [16])]), 1012)
write("t-bits-count-forged.tif", grey(8, 5, px, extra=[(258, 3, (0x40000000, b"\0\1\0\0"))]), 1012)
write("t-no-offsets.tif", grey(8, 5, px, drop=[273]), 1011)
write("t-byte-offsets.tif", grey(8, 5, px, extra=[(273, 1, [8])]), 1011)
write("t-offsets-count-forged.tif",
      grey(8, 5, px, extra=[(273, 4, (0x3FFFFFFF, b"\x08\0\0\0"))]), 1011)
# Five strips of one row, but two offsets or two byte counts.
write("t-fewer-offsets.tif", grey(8, 5, px, extra=[(278, 4, [1]), (273, 4, [8, 16])]), 1011)
write("t-fewer-byte-counts.tif",
      grey(8, 5, px, extra=[(278, 4, [1]), (273, 4, [8, 16, 24, 32, 40]), (279, 4, [8, 8])]), 1011)
write("t-rows-per-strip-zero.tif", grey(8, 5, px, extra=[(278, 4, [0])]), 0, grey_expect(8, 5, px))
write("t-rows-per-strip-huge.tif", grey(8, 5, px, extra=[(278, 4, [0xFFFFFFFF])]), 0,
      grey_expect(8, 5, px))
write("t-offset-past-end.tif", grey(8, 5, px, extra=[(273, 4, [1 << 30])]), 1033)
write("t-data-truncated.tif", grey(8, 50, px), 1022)
# A palette only belongs to 1, 4 and 8 bits: 24 and 32 bits with a colour
# map of 2^24 entries would not fit any bitmap.
write("t-palette-24.tif", grey(2, 2, bytes(12), extra=[(262, 3, [3]), (258, 3, [8, 8, 8]),
                                                        (277, 3, [3])]), 1019)
write("t-palette-32.tif", grey(2, 2, bytes(16), extra=[(262, 3, [3]), (258, 3, [8, 8, 8, 8]),
                                                        (277, 3, [4])]), 1019)
write("t-no-colormap.tif", grey(8, 5, px, extra=[(262, 3, [3])]), 1014)
write("t-short-colormap.tif", grey(8, 5, px, extra=[(262, 3, [3]), (320, 3, [0] * 300)]), 1014)
write("t-colormap-past-end.tif",
      grey(8, 5, px, extra=[(262, 3, [3]), (320, 3, (768, b"\0\0\1\0"))]), 1014)
write("t-compression-jpeg.tif", grey(8, 5, px, extra=[(259, 3, [7])]), 1036)
write("t-t4options-2d.tif", grey(8, 5, px, extra=[(259, 3, [3]), (258, 3, [1]), (292, 4, [1])]),
      1036)
write("t-t4options-2d-fill.tif",
      grey(8, 5, px, extra=[(259, 3, [3]), (258, 3, [1]), (292, 4, [5])]), 1036)
write("t-planar-separate.tif", grey(2, 2, bytes(12), extra=[(262, 3, [2]), (258, 3, [8, 8, 8]),
                                                             (277, 3, [3]), (284, 3, [2])]), 1036)
write("t-fax-8-bits.tif", grey(8, 5, px, extra=[(259, 3, [4])]), 1012)
write("t-predictor-4-bits.tif",
      grey(8, 5, px, extra=[(259, 3, [5]), (258, 3, [4]), (317, 3, [2])]), 1036)
write("t-predictor-float.tif", grey(8, 5, px, extra=[(259, 3, [5]), (317, 3, [3])]), 1036)
# Four billion pixels, and the largest header there is: refused before any
# allocation.
write("t-4-gigapixels.tif", grey(65536, 65536, px), 1032)
write("t-largest-header.tif",
      grey(0xFFFFFFFF, 0xFFFFFFFF, bytes(12), extra=[(262, 3, [2]), (258, 3, [8, 8, 8]),
                                                      (277, 3, [3])]), 1032)


def msb_codes(codes):
    """Packs (code, width) pairs most significant bit first."""
    bits, count, data = 0, 0, bytearray()
    for code, width in codes:
        bits = (bits << width) | code
        count += width
        while count >= 8:
            data.append((bits >> (count - 8)) & 255)
            count -= 8
    if count:
        data.append((bits << (8 - count)) & 255)
    return bytes(data)


def tiff_lzw_literals(values, clear_when_full=True):
    """LZW codes of literals only, with the table growing as a decoder
    sees it."""
    codes, width, next_free = [(256, 9)], 9, 258
    first = True
    for v in values:
        codes.append((v, width))
        if not first:
            next_free += 1
            if next_free == (1 << width) - 1 and width < 12:
                width += 1
        first = False
        if clear_when_full and next_free >= 4094:
            codes.append((256, width))
            width, next_free, first = 9, 258, True
    codes.append((257, width))
    return msb_codes(codes)


lzw_values = bytes((i * 7) & 255 for i in range(100 * 50))
lzw = [(259, 3, [5]), (279, 4, [0])]
ok_lzw = tiff_lzw_literals(lzw_values)
write("t-lzw-literals.tif",
      grey(100, 50, ok_lzw, extra=[(259, 3, [5]), (279, 4, [len(ok_lzw)])]), 0,
      grey_expect(100, 50, lzw_values))
full = tiff_lzw_literals(lzw_values, clear_when_full=False)
write("t-lzw-table-full.tif", grey(100, 50, full, extra=[(259, 3, [5]), (279, 4, [len(full)])]),
      1024)
# 4000 strips of one row, all at the same offset, without byte counts, in a
# file padded to 2 MB: each strip reads what its row can take, not the rest
# of the file.
one_row = bytes(range(64))
row_lzw = tiff_lzw_literals(one_row)
write("t-many-strips-no-counts.tif",
      grey(64, 4000, row_lzw, drop=[279],
           extra=[(259, 3, [5]), (278, 4, [1]), (273, 4, [8] * 4000)],
           tail=bytes(2 << 20)), 0, grey_expect(64, 4000, one_row * 4000))
bad = msb_codes([(256, 9), (65, 9), (400, 9)])
write("t-lzw-code-too-high.tif", grey(8, 5, bad, extra=[(259, 3, [5])]), 1024)
short = msb_codes([(256, 9), (65, 9), (66, 9)])
write("t-lzw-short.tif", grey(8, 5, short, extra=[(259, 3, [5])]), 1024)
write("t-packbits-overrun.tif", grey(8, 5, bytes((0x81, 7)), extra=[(259, 3, [32773])]), 1024)
write("t-packbits-short.tif", grey(8, 5, bytes((3, 1, 2)), extra=[(259, 3, [32773])]), 1024)


def fax(width, height, data, compression, photometric=0):
    return grey(width, height, data,
                extra=[(259, 3, [compression]), (258, 3, [1]), (262, 3, [photometric])])


# White run codes: 20 = 0001000, 4 = 1011, black 4 = 011, white 0 = 00110101.
# A 10-pixel row: a white run of 20 is longer than the row.
write("t-mh-run-past-row.tif", fax(10, 1, msb_codes([(0b0001000, 7)]), 2), 1024)
# White 4, black 4, white 4: 12 pixels into a row of 10.
write("t-g3-runs-past-row.tif",
      fax(10, 1, msb_codes([(1, 12), (0b1011, 4), (0b011, 3), (0b1011, 4)]), 3), 1024)
# White 4, black 4, white 2 (0111): a good row of 10, 2 rows wanted but the
# data holds one.
row = [(0b1011, 4), (0b011, 3), (0b0111, 4)]
write("t-g3-one-row-short.tif", fax(10, 2, msb_codes([(1, 12)] + row), 3), 1024)
write("t-mh-ok.tif", fax(10, 1, msb_codes(row), 2), 0,
      (10, 1, b"\xff\xff\xff" * 4 + b"\0\0\0" * 4 + b"\xff\xff\xff" * 2))
write("t-g3-eol-inside-row.tif", fax(10, 1, msb_codes([(0b1011, 4), (1, 12)]), 3), 1024)
write("t-g4-garbage.tif", fax(10, 3, bytes((0, 0, 0, 1, 0xFF)), 4), 1024)
# Group 4 vertical mode VR3 on an all-white reference: a1 = 10 + 3 lies past
# the 10-pixel row.
write("t-g4-vertical-past-row.tif", fax(10, 1, msb_codes([(0b0000011, 7)]), 4), 1024)


# --- GIF --------------------------------------------------------------------
def lsb_codes(codes):
    bits, count, data = 0, 0, bytearray()
    for code, width in codes:
        bits |= code << count
        count += width
        while count >= 8:
            data.append(bits & 255)
            bits >>= 8
            count -= 8
    if count:
        data.append(bits & 255)
    return bytes(data)


def gif_lzw(values, min_size, clear_when_full=True, junk=(), end=True, extra=()):
    clear = 1 << min_size
    width, next_free = min_size + 1, clear + 2
    codes = [(j, width) for j in junk] + [(clear, width)]
    first = True
    for v in values:
        codes.append((v, width))
        if not first:
            next_free += 1
            if next_free == (1 << width) and width < 12:
                width += 1
        first = False
        if clear_when_full and next_free >= 4095:
            codes.append((clear, width))
            width, next_free, first = min_size + 1, clear + 2, True
    codes += [(c, width) for c in extra]
    if end:
        codes.append((clear + 1, width))
    return lsb_codes(codes)


def sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out += bytes((len(chunk),)) + chunk
    return bytes(out) + b"\0"


PALETTE = bytes(v for i in range(256) for v in (i, 255 - i, (i * 3) & 255))


def gif(width, height, lzw_data, min_size=8, screen=None, table_bits=7, left=0, top=0,
        signature=b"GIF89a", trailer=True, before_image=b""):
    sw, sh = screen or (width, height)
    head = signature + struct.pack("<HHBBB", sw, sh, 0x80 | table_bits, 0, 0)
    head += PALETTE[:3 << (table_bits + 1)]
    image = before_image + b"\x2c" + struct.pack("<HHHHB", left, top, width, height, 0)
    image += bytes((min_size,)) + sub_blocks(lzw_data)
    return head + image + (b"\x3b" if trailer else b"")


def gif_expect(width, height, values):
    return (width, height, b"".join(PALETTE[3 * v:3 * v + 3] for v in values))


vals = bytes((x * 5 + y) & 255 for y in range(60) for x in range(90))
write("g-literals.gif", gif(90, 60, gif_lzw(vals, 8)), 0, gif_expect(90, 60, vals))
write("g-short-signature.gif", b"GIF8", 1017)
write("g-gif88a.gif", gif(90, 60, gif_lzw(vals, 8), signature=b"GIF88a"), 1018)
write("g-gif87b.gif", gif(90, 60, gif_lzw(vals, 8), signature=b"GIF87b"), 1018)
write("g-short-screen.gif", b"GIF89a\x05\0\x05", 1033)
write("g-short-global-table.gif", gif(90, 60, b"")[:13 + 100], 1034)
write("g-zero-screen.gif", gif(0, 0, b""), 1032)
write("g-short-local-table.gif",
      gif(4, 4, b"")[:13 + 768] + b"\x2c" + struct.pack("<HHHHB", 0, 0, 4, 4, 0x87) + b"\1\2\3", 1031)
write("g-min-code-size-0.gif", gif(90, 60, gif_lzw(vals, 8), min_size=0), 1032)
write("g-min-code-size-12.gif", gif(90, 60, gif_lzw(vals, 8), min_size=12), 1032)
write("g-table-full.gif", gif(90, 60, gif_lzw(vals, 8, clear_when_full=False)), 1047)
# A code above the next free entry while rows remain; after the last row
# such a code only ends the image.
few = vals[:100]
write("g-code-too-high.gif", gif(90, 60, gif_lzw(few, 8, end=False, extra=[400])), 1045)
write("g-code-too-high-after-rows.gif", gif(90, 60, gif_lzw(vals, 8, end=False, extra=[511])), 0,
      gif_expect(90, 60, vals))
# Codes before the first clear code are passed over.
write("g-junk-before-clear.gif", gif(90, 60, gif_lzw(vals, 8, junk=[5, 300, 7])), 0,
      gif_expect(90, 60, vals))
# An early end code finishes the image (the rest keeps the background); data
# that stops without one is a decoding failure.
write("g-early-end-code.gif", gif(90, 60, gif_lzw(few, 8)), 0,
      gif_expect(90, 60, few + bytes(90 * 60 - len(few))))
write("g-data-ends-early.gif", gif(90, 60, gif_lzw(few, 8, end=False)), 1024)
write("g-truncated-in-data.gif", gif(90, 60, gif_lzw(vals, 8))[:900], 1033)
write("g-trailer-only.gif", gif(90, 60, b"")[:13 + 768] + b"\x3b", 1032)
write("g-stray-byte.gif", gif(90, 60, b"")[:13 + 768] + b"\x99", 1032)
write("g-extension-truncated.gif", gif(90, 60, b"")[:13 + 768] + b"\x21\xfe\x10abc", 1033)
write("g-huge-screen.gif", gif(4, 4, gif_lzw(bytes(16), 8), screen=(65535, 65535)), 1032)
# An image of 1 x 1 at (65535, 65535) lies wholly outside a 4 x 4 screen:
# only the background remains.
write("g-image-off-screen.gif", gif(1, 1, gif_lzw(b"\5", 8), screen=(4, 4), left=65535, top=65535),
      0, gif_expect(4, 4, bytes(16)))

with open(os.path.join(out, "manifest.txt"), "w") as f:
    f.write("\n".join(manifest) + "\n")
print(f"{len(manifest)} hostile files in {out}")
