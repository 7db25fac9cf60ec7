"""The image benchmark's driver (bench/run-image.sh): a 4000 x 3000
picture read from JPEG, reduced to 256 colours and written as GIF, by
kvimage (bench_image), libjpeg-turbo's djpeg and PIL, in one run with the
repetitions interleaved; the best processor time (user + system) of each
is kept, and the ratios printed as a Markdown table.

usage: image_bench.py BENCH_IMAGE WORKDIR REPETITIONS
"""
import os
import resource
import subprocess
import sys
import time

from PIL import Image

bench, work, repetitions = sys.argv[1], sys.argv[2], int(sys.argv[3])
width, height = 4000, 3000


def child_seconds(command):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def ours(*args):
    out = subprocess.run([bench, *args], check=True, capture_output=True, text=True)
    return float(out.stdout.strip())


def pil(action):
    start = time.process_time()
    action()
    return time.process_time() - start


# A photograph-like picture: smooth gradients with texture, so that neither
# compression nor reduction meets a trivial case.
ppm = os.path.join(work, "picture.ppm")
rows = []
for y in range(height):
    row = bytearray(width * 3)
    for x in range(0, width):
        n = (x * 7919 + y * 104729) % 23
        row[3 * x] = (x * 255 // width + n) & 0xFF
        row[3 * x + 1] = (y * 255 // height + 2 * n) & 0xFF
        row[3 * x + 2] = ((x + y) * 255 // (width + height) + 3 * n) & 0xFF
    rows.append(bytes(row))
with open(ppm, "wb") as out:
    out.write(b"P6\n%d %d\n255\n" % (width, height))
    out.writelines(rows)
jpeg = os.path.join(work, "picture.jpg")
subprocess.run(["cjpeg", "-quality", "90", "-outfile", jpeg, ppm], check=True)
decoded = Image.open(ppm)
decoded.load()

best = {}


def keep(name, seconds):
    best[name] = min(best.get(name, seconds), seconds)


for _ in range(repetitions):
    keep("read ours", ours("read", jpeg))
    keep("read djpeg", child_seconds(["djpeg", "-outfile", os.devnull, jpeg]))
    keep("read PIL", pil(lambda: Image.open(jpeg).load()))
    keep("reduce ours", ours("reduce", ppm, "256"))
    # djpeg's reduction is its decoding with the two-pass quantiser added:
    # the difference is the quantiser's time.
    keep("reduce djpeg (with decoding)",
         child_seconds(["djpeg", "-colors", "256", "-outfile", os.devnull, jpeg]))
    keep("reduce PIL", pil(lambda: decoded.quantize(256)))
    keep("gif ours (reduce + write)", ours("gif", ppm, os.path.join(work, "ours.gif"), "256"))
    keep("gif PIL (quantize + save)",
         pil(lambda: decoded.quantize(256).save(os.path.join(work, "pil.gif"))))
    keep("gif write ours", ours("gifwrite", ppm, os.path.join(work, "ours.gif"), "256"))
    reduced = decoded.quantize(256)
    keep("gif write PIL", pil(lambda: reduced.save(os.path.join(work, "pil.gif"))))

djpeg_quantiser = max(best["reduce djpeg (with decoding)"] - best["read djpeg"], 1e-6)
rows = [
    ("Read the JPEG", best["read ours"], [("djpeg", best["read djpeg"]), ("PIL", best["read PIL"])]),
    ("Reduce to 256 colours", best["reduce ours"],
     [("djpeg -colors 256 less its decoding", djpeg_quantiser), ("PIL quantize", best["reduce PIL"])]),
    ("Reduce and write GIF", best["gif ours (reduce + write)"],
     [("PIL quantize + save", best["gif PIL (quantize + save)"])]),
    ("Write GIF of the 256-colour bitmap", best["gif write ours"],
     [("PIL save", best["gif write PIL"])]),
]
print("| operation | kvimage (s) | against (s) | ratio kvimage / other |")
print("|---|---:|---|---|")
for name, mine, others in rows:
    against = "; ".join("%s %.3f" % (n, s) for n, s in others)
    ratios = "; ".join("%.2f (%s)" % (mine / s, n) for n, s in others)
    print("| %s | %.3f | %s | %s |" % (name, mine, against, ratios))
