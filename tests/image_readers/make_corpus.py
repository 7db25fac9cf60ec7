#!/usr/bin/python3
"""Generates the reader tests' corpus with independent tools.

TIFF files come from tiffcp (every compression, both byte orders, strip
sizes), Pillow (modified Huffman, depths, palettes) and ImageMagick (CMYK);
GIF files from gifbuild. Each case has an expected RGB image: Pillow's
decoding of the file, or, where the file was built from known pixels
(CMYK, the GIF screens with background fill, files written here), those
pixels. The manifest lists one case a line: family, file, expected file.

A missing tool is an error: the script exits non-zero and the tests that
need the corpus fail.
"""
import os
import random
import shutil
import struct
import subprocess
import sys

from PIL import Image

out = sys.argv[1]
shutil.rmtree(out, ignore_errors=True)
os.makedirs(out)
manifest = []


def tool(*args, stdin=None):
    if shutil.which(args[0]) is None:
        sys.exit(f"missing tool: {args[0]} (run scripts/install-deps.sh)")
    subprocess.run(args, check=True, input=stdin, stdout=subprocess.DEVNULL,
                   cwd=out)


def path(name):
    return os.path.join(out, name)


def expect(family, name, width, height, rgb):
    assert len(rgb) == width * height * 3, name
    with open(path(name + ".expect"), "wb") as f:
        f.write(struct.pack("<II", width, height))
        f.write(rgb)
    manifest.append(f"{family} {name} {name}.expect")


def expect_decoded(family, name):
    """Pillow's own decoding of the file is the expected image."""
    im = Image.open(path(name))
    im.load()
    expect(family, name, im.width, im.height, im.convert("RGB").tobytes())


rng = random.Random(18)


def photo(width, height):
    """A colour picture with gradients, flat areas and noise, so that
    LZW and PackBits meet both runs and literals."""
    im = Image.new("RGB", (width, height))
    px = []
    for y in range(height):
        for x in range(width):
            if (x // 9 + y // 7) % 3 == 0:
                px.append((200, 40, 90))
            else:
                px.append(((x * 7 + y) & 255, (y * 5) & 255,
                           rng.randrange(256) if x % 5 == 0 else (x ^ y) & 255))
    im.putdata(px)
    return im


def page(width, height):
    """A bilevel page: margins, bars, blobs of text-like noise and full
    black rows (long runs need make-up and extended make-up codes)."""
    im = Image.new("1", (width, height), 1)
    px = im.load()
    for y in range(height):
        for x in range(width):
            black = False
            if y % 37 == 5:
                black = True
            elif 10 < x < width - 10 and (y // 11) % 2 == 1:
                black = rng.random() < (0.45 if (x // 23) % 3 else 0.02)
            elif x % 97 in (3, 4, 5):
                black = True
            px[x, y] = 0 if black else 1
    return im


# --- TIFF through tiffcp --------------------------------------------------
photo(61, 37).save(path("rgb.tif"))
photo(61, 37).convert("L").save(path("grey8.tif"))
pal = photo(45, 33).quantize(200)
pal.save(path("palette8.tif"))
page(203, 97).save(path("page.tif"))
# A row of 5200 pixels holds runs beyond 2560, coded with repeated
# extended make-up codes.
wide = Image.new("1", (5200, 6), 1)
for x in range(5200):
    for y in (1, 2):
        wide.putpixel((x, y), 0)
for x in range(2600, 5199):
    wide.putpixel((x, 4), 0)
wide.save(path("wide.tif"))

for base in ("rgb", "grey8", "palette8"):
    for codec in ("none", "lzw", "lzw:2", "packbits"):
        for order, strips in (("-B", "1"), ("-L", "7"), ("-B", "1000")):
            name = f"{base}-{codec.replace(':', '_')}{order}-r{strips}.tif"
            tool("tiffcp", "-c", codec, order, "-r", strips, base + ".tif", name)
            expect_decoded("tiff_strips", name)

for base in ("page", "wide"):
    for codec in ("none", "g3:1d", "g3:1d:fill", "g4", "packbits", "lzw"):
        for order, strips in (("-L", "1000"), ("-B", "16")):
            name = f"{base}-{codec.replace(':', '_')}{order}-r{strips}.tif"
            tool("tiffcp", "-c", codec, order, "-r", strips, base + ".tif", name)
            expect_decoded("tiff_bilevel", name)
    # Bits filled from the least significant end.
    for codec in ("g3:1d", "g4"):
        name = f"{base}-{codec.replace(':', '_')}-lsb.tif"
        tool("tiffcp", "-c", codec, "-f", "lsb2msb", base + ".tif", name)
        expect_decoded("tiff_bilevel", name)
    # Modified Huffman, one strip and several.
    name = f"{base}-mh.tif"
    Image.open(path(base + ".tif")).save(path(name), compression="tiff_ccitt")
    expect_decoded("tiff_bilevel", name)

# CMYK from raw samples through ImageMagick: the expected colours follow
# from the samples themselves.
cmyk_w, cmyk_h = 23, 17
samples = bytearray()
for y in range(cmyk_h):
    for x in range(cmyk_w):
        samples += bytes(((x * 11) & 255, (y * 15) & 255, (x * y) & 255,
                          0 if x < 3 else 255 if x > 20 else rng.randrange(256)))
samples[0:4] = b"\0\0\0\0"
samples[4:8] = b"\xff\xff\xff\xff"
with open(path("cmyk.raw"), "wb") as f:
    f.write(samples)
cmyk_rgb = bytearray()
for i in range(0, len(samples), 4):
    c, m, y, k = samples[i:i + 4]
    cmyk_rgb += bytes(((255 - c) * (255 - k) // 255, (255 - m) * (255 - k) // 255,
                       (255 - y) * (255 - k) // 255))
# Debian's own ImageMagick, whatever else stands first on PATH.
tool("/usr/bin/convert", "-size", f"{cmyk_w}x{cmyk_h}", "-depth", "8", "cmyk:cmyk.raw",
     "-compress", "None", "cmyk.tif")
expect("tiff_cmyk", "cmyk.tif", cmyk_w, cmyk_h, bytes(cmyk_rgb))
for codec in ("lzw", "lzw:2", "packbits"):
    name = f"cmyk-{codec.replace(':', '_')}.tif"
    tool("tiffcp", "-c", codec, "-B", "-r", "5", "cmyk.tif", name)
    expect("tiff_cmyk", name, cmyk_w, cmyk_h, bytes(cmyk_rgb))

# Files the reader refuses, made by the tools: two-dimensional Group 3 and
# separate sample planes.
tool("tiffcp", "-c", "g3:2d:fill", "page.tif", "page-g3_2d.tif")
manifest.append("refuse_1036 page-g3_2d.tif -")
tool("tiffcp", "-p", "separate", "rgb.tif", "rgb-separate.tif")
manifest.append("refuse_1036 rgb-separate.tif -")


# --- TIFF files written here ----------------------------------------------
def tiff(name, width, height, bps, spp, photometric, data, rows_per_strip,
         big=False, short_offsets=False, colormap=None, extra=()):
    """A TIFF with the data cut into strips of rows_per_strip rows (None:
    no RowsPerStrip field, one strip)."""
    e = ">" if big else "<"
    row = (width * bps * spp + 7) // 8
    per = rows_per_strip if rows_per_strip and rows_per_strip <= height else height
    strips = [data[i * per * row:(i + 1) * per * row]
              for i in range((height + per - 1) // per)]
    body = bytearray(b"MM\0\x2a" if big else b"II\x2a\0")
    body += b"\0\0\0\0"
    offsets = []
    for s in strips:
        offsets.append(len(body))
        body += s
    blobs = []
    entries = [(256, 4, [width]), (257, 4, [height]), (258, 3, [bps] * spp),
               (259, 3, [1]), (262, 3, [photometric]),
               (273, 3 if short_offsets else 4, offsets), (277, 3, [spp]),
               (279, 4, [len(s) for s in strips])]
    if rows_per_strip is not None:
        entries.append((278, 4, [rows_per_strip]))
    if colormap:
        entries.append((320, 3, colormap))
    entries += list(extra)
    entries.sort()
    fields = bytearray()
    for tag, typ, values in entries:
        fmt = {3: "H", 4: "I"}[typ]
        raw = struct.pack(e + fmt * len(values), *values)
        if len(raw) <= 4:
            value = raw.ljust(4, b"\0")
        else:
            blobs.append(raw)
            value = None
        fields.append(0)
        fields[-1:] = struct.pack(e + "HHI", tag, typ, len(values))
        fields += value if value is not None else b"BLOB"
    # Place the arrays after the directory and patch their offsets.
    ifd = len(body) + (len(body) & 1)
    body += b"\0" * (ifd - len(body))
    struct.pack_into(e + "I", body, 4, ifd)
    blob_at = ifd + 2 + len(fields) + 4
    fields = bytearray(fields)
    pos = 0
    blob_bytes = bytearray()
    for i in range(len(entries)):
        slot = 12 * i + 8
        if fields[slot:slot + 4] == b"BLOB":
            struct.pack_into(e + "I", fields, slot, blob_at + len(blob_bytes))
            blob_bytes += blobs[pos]
            pos += 1
    body += struct.pack(e + "H", len(entries)) + fields + b"\0\0\0\0" + blob_bytes
    with open(path(name), "wb") as f:
        f.write(body)


def grey_rgb(values, invert=False, levels=255):
    out = bytearray()
    for v in values:
        g = 255 - v * 255 // levels if invert else v * 255 // levels
        out += bytes((g, g, g))
    return bytes(out)


g_w, g_h = 13, 11
grey = bytes((x * 19 + y * 7) & 255 for y in range(g_h) for x in range(g_w))
for big in (False, True):
    for short in (False, True):
        name = f"grey-{'be' if big else 'le'}-{'short' if short else 'long'}.tif"
        tiff(name, g_w, g_h, 8, 1, 1, grey, 3, big=big, short_offsets=short)
        expect("tiff_written", name, g_w, g_h, grey_rgb(grey))
# RowsPerStrip absent, 0 and far beyond the height: one strip each.
for label, rows in (("absent", None), ("zero", 0), ("huge", 0xFFFFFFFF)):
    name = f"grey-rows-{label}.tif"
    tiff(name, g_w, g_h, 8, 1, 1, grey, rows)
    expect("tiff_written", name, g_w, g_h, grey_rgb(grey))
tiff("grey-white-is-zero.tif", g_w, g_h, 8, 1, 0, grey, 4)
expect("tiff_written", "grey-white-is-zero.tif", g_w, g_h, grey_rgb(grey, True))


def pack4(values, width):
    out = bytearray()
    for y in range(len(values) // width):
        row = values[y * width:(y + 1) * width] + [0]
        for x in range(0, width, 2):
            out.append((row[x] << 4) | row[x + 1])
    return bytes(out)


n4 = [(x + 2 * y) % 16 for y in range(g_h) for x in range(g_w)]
for photometric in (0, 1):
    name = f"grey4-pm{photometric}.tif"
    tiff(name, g_w, g_h, 4, 1, photometric, pack4(n4, g_w), 5)
    expect("tiff_written", name, g_w, g_h, grey_rgb(n4, photometric == 0, 15))
pal4 = [(i * 4099) & 0xFFFF for i in range(48)]
tiff("palette4.tif", g_w, g_h, 4, 1, 3, pack4(n4, g_w), 4, big=True, colormap=pal4)
expect("tiff_written", "palette4.tif", g_w, g_h,
       b"".join(bytes((pal4[v] >> 8, pal4[16 + v] >> 8, pal4[32 + v] >> 8)) for v in n4))
# Three-sample separated data (C, M, Y): each sample inverted.
cmy = bytes(rng.randrange(256) for _ in range(g_w * g_h * 3))
tiff("cmy.tif", g_w, g_h, 8, 3, 5, cmy, 4)
expect("tiff_written", "cmy.tif", g_w, g_h, bytes(255 - v for v in cmy))
# A two-colour palette at 1 bit.
bits1 = bytes(rng.randrange(256) for _ in range(((g_w + 7) // 8) * g_h))
pal1 = [0x1234, 0xFF00, 0x8080, 0x0101, 0xABCD, 0x4000]
tiff("palette1.tif", g_w, g_h, 1, 1, 3, bits1, 5, colormap=pal1)
p1 = []
for y in range(g_h):
    for x in range(g_w):
        v = (bits1[y * ((g_w + 7) // 8) + x // 8] >> (7 - x % 8)) & 1
        p1.append(bytes((pal1[v] >> 8, pal1[2 + v] >> 8, pal1[4 + v] >> 8)))
expect("tiff_written", "palette1.tif", g_w, g_h, b"".join(p1))
# Four-sample RGB: colours multiplied by the fourth sample.
rgba = bytes(rng.randrange(256) for _ in range(g_w * g_h * 4))
tiff("rgba.tif", g_w, g_h, 8, 4, 2, rgba, 2, big=True)
expect("tiff_written", "rgba.tif", g_w, g_h,
       b"".join(bytes((rgba[i] * rgba[i + 3] // 255, rgba[i + 1] * rgba[i + 3] // 255,
                       rgba[i + 2] * rgba[i + 3] // 255)) for i in range(0, len(rgba), 4)))


# A white-is-zero page (Pillow writes black-is-zero) through the fax coders.
bits = Image.open(path("page.tif")).tobytes()
tiff("page-white.tif", 203, 97, 1, 1, 0, bytes(b ^ 0xFF for b in bits), 97)
expect_decoded("tiff_bilevel", "page-white.tif")
for codec in ("g3:1d", "g3:1d:fill", "g4"):
    name = f"page-white-{codec.replace(':', '_')}.tif"
    tool("tiffcp", "-c", codec, "-r", "10", "page-white.tif", name)
    expect_decoded("tiff_bilevel", name)


# --- GIF through gifbuild -------------------------------------------------
KEYS = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"


def color_map(colors):
    return "".join(f"\trgb {r} {g} {b} is {KEYS[i]}\n" for i, (r, g, b) in enumerate(colors)) + "end\n"


def gif_image(pixels, width, left=0, top=0, interlaced=False, local=None):
    text = "image\n"
    text += f"image left {left}\nimage top {top}\n"
    if interlaced:
        text += "image interlaced\n"
    if local:
        text += "image map\n" + color_map(local)
    height = len(pixels) // width
    text += f"image bits {width} by {height}\n"
    for y in range(height):
        text += "".join(KEYS[v] for v in pixels[y * width:(y + 1) * width]) + "\n"
    return text


def gif(name, screen_w, screen_h, background, global_map, images, extensions=""):
    """images: (pixels, width, left, top, interlaced, local map). The
    expected screen: background everywhere when the first image does not
    cover the screen (otherwise 0), then the first image cut to the screen;
    colours from the global map (or the first image's local one without)."""
    text = f"screen width {screen_w}\nscreen height {screen_h}\n"
    text += f"screen background {background}\n"
    if global_map:
        text += "screen map\n" + color_map(global_map)
    text += extensions
    for pixels, width, left, top, interlaced, local in images:
        text += gif_image(pixels, width, left, top, interlaced, local)
    with open(path(name + ".txt"), "w") as f:
        f.write(text)
    with open(path(name + ".txt"), "rb") as src, open(path(name), "wb") as dst:
        if shutil.which("gifbuild") is None:
            sys.exit("missing tool: gifbuild (run scripts/install-deps.sh)")
        subprocess.run(["gifbuild"], stdin=src, stdout=dst, check=True)
    if not global_map:
        # gifbuild sets the global-table flag even when it writes no table.
        with open(path(name), "r+b") as f:
            f.seek(10)
            flags = f.read(1)[0]
            assert flags & 0x80 and f.read(3) == bytes((background, 0, 0x2C)), name
            f.seek(10)
            f.write(bytes((flags & 0x70,)))
    pixels, width, left, top, _, local = images[0]
    height = len(pixels) // width
    covers = left == 0 and top == 0 and width >= screen_w and height >= screen_h
    screen = [background if not covers else 0] * (screen_w * screen_h)
    for y in range(height):
        for x in range(width):
            if left + x < screen_w and top + y < screen_h:
                screen[(top + y) * screen_w + left + x] = pixels[y * width + x]
    table = list(global_map or local) + [(0, 0, 0)] * 256
    expect("gif", name, screen_w, screen_h, b"".join(bytes(table[v]) for v in screen))


colors8 = [(0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (0, 255, 255),
           (255, 0, 255), (128, 128, 128)]
colors40 = [(i * 6, 255 - i * 6, (i * 37) & 255) for i in range(40)]


def pattern(width, height, count, seed):
    r = random.Random(seed)
    return [r.randrange(count) if (x + y) % 3 else (x * y) % count
            for y in range(height) for x in range(width)]


gif("plain.gif", 16, 12, 0, colors8, [(pattern(16, 12, 8, 1), 16, 0, 0, False, None)])
# Ten rows, interlaced: stored in the order 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
rows10 = [y for y in range(10) for _ in range(7)]
gif("interlaced10.gif", 7, 10, 0, colors40[:16], [(rows10, 7, 0, 0, True, None)])
gif("interlaced-odd.gif", 29, 23, 0, colors40, [(pattern(29, 23, 40, 2), 29, 0, 0, True, None)])
gif("no-global.gif", 12, 9, 0, None, [(pattern(12, 9, 8, 3), 12, 0, 0, False, colors8[::-1])])
gif("local-table.gif", 12, 9, 0, colors8, [(pattern(12, 9, 8, 4), 12, 0, 0, False, colors40[:8])])
gif("two-images.gif", 14, 10, 0, colors8,
    [(pattern(14, 10, 8, 5), 14, 0, 0, False, None), (pattern(6, 4, 8, 6), 6, 2, 3, False, None)])
gif("offset-background.gif", 20, 20, 3, colors8, [(pattern(10, 10, 8, 7), 10, 5, 5, False, None)])
gif("offset-no-fill.gif", 20, 20, 0, colors8, [(pattern(10, 10, 8, 8), 10, 5, 5, False, None)])
gif("past-screen.gif", 16, 10, 2, colors8, [(pattern(12, 8, 8, 9), 12, 10, 6, False, None)])
gif("wider-than-screen.gif", 10, 6, 5, colors8, [(pattern(15, 9, 8, 10), 15, 0, 0, True, None)])
gif("extensions.gif", 9, 7, 1, colors8, [(pattern(9, 7, 8, 11), 9, 0, 0, False, None)],
    extensions="comment\nmade for the reader tests\nend\n"
               "graphics control\n\tdisposal mode 2\n\tdelay 10\n\ttransparent index 3\nend\n")

# A large 256-colour GIF through Pillow, so that the code table fills and
# is cleared many times; both with and without interlace.
big = Image.new("P", (301, 211))
big.putpalette([(i * 7) & 255 for i in range(768)])
r = random.Random(12)
big.putdata([r.randrange(256) if (x // 13) % 2 else (x + y) & 255
             for y in range(211) for x in range(301)])
for interlace in (0, 1):
    name = f"pil-256-i{interlace}.gif"
    big.save(path(name), interlace=interlace, optimize=False)
    expect_decoded("gif", name)

with open(path("manifest.txt"), "w") as f:
    f.write("\n".join(manifest) + "\n")
print(f"{len(manifest)} cases in {out}")
