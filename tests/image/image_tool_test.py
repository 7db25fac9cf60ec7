"""kvhost image info and convert as a person runs them, checked by
independent tools: a JPEG made by cjpeg, converted to BMP (read by PIL and
compared with djpeg's decoding), to GIF (read by giflib and PIL) and back
to JPEG (read by djpeg); usage errors and a missing file.

usage: image_tool_test.py KVHOST WORKDIR
"""

import os
import shutil
import subprocess
import sys

from PIL import Image

kvhost, work = sys.argv[1:3]
for tool in ("cjpeg", "djpeg", "gif2rgb"):
    if shutil.which(tool) is None:
        sys.exit(tool + " is missing: run bash scripts/install-deps.sh")
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
failures = []


def run(*args, status=0):
    done = subprocess.run([kvhost, "image", *args], capture_output=True, text=True)
    if done.returncode != status:
        failures.append("kvhost image %s: status %d, wanted %d\n%s%s" %
                        (" ".join(args), done.returncode, status, done.stdout, done.stderr))
    return done.stdout


picture = Image.new("RGB", (61, 41))
picture.putdata([((x * 4) % 256, (y * 6) % 256, (x * y) % 256)
                 for y in range(41) for x in range(61)])
ppm = os.path.join(work, "in.ppm")
picture.save(ppm)
jpeg = os.path.join(work, "in.jpg")
subprocess.run(["cjpeg", "-outfile", jpeg, ppm], check=True)
decoded = os.path.join(work, "djpeg.ppm")
subprocess.run(["djpeg", "-pnm", "-outfile", decoded, jpeg], check=True)

info = run("info", jpeg)
if "JPEG, 61 x 41, 24 bits, true colour" not in info:
    failures.append("info: " + info)

bmp = os.path.join(work, "out.bmp")
run("convert", jpeg, bmp)
if list(Image.open(bmp).convert("RGB").getdata()) != list(Image.open(decoded).getdata()):
    failures.append("the BMP differs from djpeg's decoding")

gif = os.path.join(work, "out.gif")
run("convert", jpeg, gif, "--colors", "32")
with Image.open(gif) as image:
    if image.size != (61, 41) or len(image.getcolors(256)) > 32:
        failures.append("GIF: %s, %d colours" % (image.size, len(image.getcolors(256))))
    rgb = os.path.join(work, "out.rgb")
    subprocess.run(["gif2rgb", "-1", "-o", rgb, gif], check=True)
    if open(rgb, "rb").read() != image.convert("RGB").tobytes():
        failures.append("giflib and PIL read the GIF differently")

again = os.path.join(work, "again.jpg")
run("convert", bmp, again, "--quality", "90", status=1)  # BMP is not an input format
run("convert", jpeg, again, "--quality", "90")
subprocess.run(["djpeg", "-pnm", "-outfile", os.path.join(work, "again.ppm"), again], check=True)

run("convert", jpeg, os.path.join(work, "x.png"), status=2)
run("convert", jpeg, gif, "--colors", "4", status=2)
run("convert", jpeg, gif, "--quality", "101", status=2)
run("info", status=2)
run("info", os.path.join(work, "missing.jpg"), status=1)

if failures:
    sys.exit("\n".join(failures))
print("image info and convert: all checks passed")
