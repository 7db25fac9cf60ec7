#!/usr/bin/python3
"""Writes the image-reading benchmark's files into a directory: a 4000 x 3000
colour picture (gradients, noise, flat areas), the same as an 8-bit palette
GIF, and a 4000 x 3000 bilevel page; bench/run-image-read.sh compresses the
TIFFs with tiffcp."""
import sys

from PIL import Image, ImageDraw

out = sys.argv[1]
w, h = 4000, 3000
red = Image.linear_gradient("L").resize((w, h))
green = Image.radial_gradient("L").resize((w, h))
blue = Image.effect_noise((w, h), 40)
picture = Image.merge("RGB", (red, green, blue))
draw = ImageDraw.Draw(picture)
for i in range(0, w, 250):
    draw.rectangle((i, i * h // w, i + 120, i * h // w + 90), fill=(30, 200, 90))
picture.save(f"{out}/picture.tif")
picture.quantize(256).save(f"{out}/picture.gif", interlace=0, optimize=False)

page = Image.new("1", (w, h), 1)
draw = ImageDraw.Draw(page)
for y in range(150, h - 150, 40):
    x = 200
    while x < w - 400:
        word = 40 + (x * 7 + y) % 160
        draw.rectangle((x, y, x + word, y + 18), fill=0)
        for k in range(x + 3, x + word, 9):
            draw.line((k, y + 2, k, y + 16), fill=1)
        x += word + 25
page.save(f"{out}/page.tif")
