#!/usr/bin/python3
"""Compares our wavelet codec (through the `tavix` tool) with OpenJPEG and
libjpeg-turbo at equal file sizes on real photographs, and prints one table
with PASS / FALL SHORT per goal.

Usage: bench/codec_vs_peers.py [--tavix PATH] [--images DIR] [--work DIR]

Without --images the script builds its set from the photographs that Debian's
python3-skimage package ships (converted to PNM with ImageMagick) plus one
image of at least 3 megapixels for the speed goals (see bench/README.md).
"""

import argparse
import math
import os
import resource
import shutil
import subprocess
import sys

import numpy as np

SKIMAGE_DATA = "/usr/lib/python3/dist-packages/skimage/data"
COLOUR_PHOTOS = ["astronaut.png", "chelsea.png", "coffee.png", "rocket.jpg", "motorcycle_left.png"]
GREY_PHOTOS = ["camera.png", "moon.png", "coins.png", "page.png"]
RATES = [0.25, 0.5, 1.0]
SINGLE_THREAD = dict(os.environ, OPJ_NUM_THREADS="1")


# ---------------------------------------------------------------- helpers

def run(args, env=None):
    result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
    if result.returncode != 0:
        raise RuntimeError("%s failed: %s" % (" ".join(args), result.stderr.decode(errors="replace")[-400:]))


def timed(args, env=None, repeats=1):
    """CPU seconds (user + system) of the program, best of `repeats`. CPU
    time rather than wall time: the machines we share are often loaded, and
    every coder here runs on one thread."""
    best = float("inf")
    for _ in range(repeats):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        run(args, env)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        spent = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        best = min(best, spent)
    return best


def read_pnm(path):
    """Samples of a binary PGM/PPM as a numpy array (8 or 16 bit)."""
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 2
    while len(fields) < 3:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            while data[pos:pos + 1] not in (b"\n", b"\r"):
                pos += 1
            continue
        start = pos
        while data[pos:pos + 1].isdigit():
            pos += 1
        fields.append(int(data[start:pos]))
    width, height, maxval = fields
    planes = 3 if data[1:2] == b"6" else 1
    dtype = ">u2" if maxval > 255 else "u1"
    samples = np.frombuffer(data, dtype=dtype, offset=pos + 1, count=width * height * planes)
    return samples.astype(np.float64), width, height, planes


def psnr(reference, decoded):
    a, _, _, _ = read_pnm(reference)
    b, _, _, _ = read_pnm(decoded)
    if a.shape != b.shape:
        raise RuntimeError("%s and %s differ in size" % (reference, decoded))
    mse = np.mean((a - b) ** 2)
    return 99.0 if mse == 0 else 10.0 * math.log10(255.0 * 255.0 / mse)


def size(path):
    return os.path.getsize(path)


# ---------------------------------------------------------------- image set

def prepare_images(folder):
    os.makedirs(folder, exist_ok=True)
    paths = []
    for name in COLOUR_PHOTOS + GREY_PHOTOS:
        stem, _ = os.path.splitext(name)
        kind = "ppm" if name in COLOUR_PHOTOS else "pgm"
        out = os.path.join(folder, stem + "." + kind)
        if not os.path.exists(out):
            extra = ["-colorspace", "Gray"] if kind == "pgm" else []
            run(["convert", os.path.join(SKIMAGE_DATA, name)] + extra + ["-depth", "8", kind + ":" + out])
        paths.append(out)
    large = os.path.join(folder, "montage-2000x1500.ppm")
    if not os.path.exists(large):
        make_large_image(folder, large)
    return paths, large


def make_large_image(folder, out):
    """2000 x 1500: four 1000 x 750 crops of two real photographs at their
    native resolution (no resampling); skimage has no photograph of 3 MP."""
    tiles = os.path.dirname(os.path.abspath(folder))
    hubble = os.path.join(tiles, "tile-hubble.ppm")
    retina = os.path.join(tiles, "tile-retina.ppm")
    run(["convert", os.path.join(SKIMAGE_DATA, "hubble_deep_field.jpg"), "-crop", "1000x750+0+61", "+repage",
         "-depth", "8", "ppm:" + hubble])
    run(["convert", os.path.join(SKIMAGE_DATA, "retina.jpg"), "-crop", "1000x750+205+330", "+repage",
         "-depth", "8", "ppm:" + retina])
    run(["convert", "(", hubble, retina, "+append", ")", "(", retina, hubble, "+append", ")", "-append",
         "-depth", "8", "ppm:" + out])


def pixels_of(path):
    _, width, height, planes = read_pnm(path)
    return width * height, planes


# ---------------------------------------------------------------- coders

class Bench:
    def __init__(self, tavix, work):
        self.tavix = tavix
        self.work = work

    def path(self, name):
        return os.path.join(self.work, name)

    def decoded_name(self, image):
        return self.path("decoded" + os.path.splitext(image)[1])

    # Our codec: compress with the given options, decode, measure.
    def ours(self, image, options, repeats=1):
        tvx = self.path("ours.tvx")
        decoded = self.decoded_name(image)
        encode = timed([self.tavix, "compress", "--no-progress"] + options + [image, tvx], repeats=repeats)
        decode = timed([self.tavix, "decompress", "--no-progress", tvx, decoded], repeats=repeats)
        return size(tvx), psnr(image, decoded), encode, decode

    def ours_quality_at(self, image, target):
        """Largest quality factor whose file fits the target size."""
        tvx = self.path("ours-q.tvx")
        low, high, best = 1.0, 50.0, None
        for _ in range(9):
            q = (low + high) / 2
            run([self.tavix, "compress", "--no-progress", "--quality", "%.3f" % q, image, tvx])
            if size(tvx) <= target:
                best, low = q, q
            else:
                high = q
        if best is None:
            return None
        return self.ours(image, ["--quality", "%.3f" % best])

    def opj(self, image, target, repeats=1):
        """OpenJPEG 9/7 (irreversible) with its ratio tuned until the
        codestream fits the target size."""
        raw = os.path.getsize(image)
        j2k = self.path("opj.j2k")
        decoded = self.decoded_name(image)
        ratio = raw / target
        for _ in range(8):
            run(["opj_compress", "-I", "-threads", "1", "-r", "%.4f" % ratio, "-i", image, "-o", j2k],
                env=SINGLE_THREAD)
            if size(j2k) <= target:
                break
            ratio *= size(j2k) / target * 1.002
        else:
            return None
        encode = timed(["opj_compress", "-I", "-threads", "1", "-r", "%.4f" % ratio, "-i", image, "-o", j2k],
                       env=SINGLE_THREAD, repeats=repeats)
        decode = timed(["opj_decompress", "-threads", "1", "-i", j2k, "-o", decoded], env=SINGLE_THREAD,
                       repeats=repeats)
        return size(j2k), psnr(image, decoded), encode, decode

    def jpeg(self, image, target):
        """libjpeg-turbo with optimised Huffman tables at the highest quality
        that fits the target size."""
        jpg = self.path("peer.jpg")
        decoded = self.decoded_name(image)
        low, high, best = 1, 100, None
        while low <= high:
            q = (low + high) // 2
            run(["cjpeg", "-quality", str(q), "-optimize", "-outfile", jpg, image])
            if size(jpg) <= target:
                best, low = q, q + 1
            else:
                high = q - 1
        if best is None:
            return None
        run(["cjpeg", "-quality", str(best), "-optimize", "-outfile", jpg, image])
        run(["djpeg", "-pnm", "-outfile", decoded, jpg])
        return size(jpg), psnr(image, decoded), 0.0, 0.0

    def opj_lossless(self, image):
        j2k = self.path("opj-lossless.j2k")
        run(["opj_compress", "-threads", "1", "-i", image, "-o", j2k], env=SINGLE_THREAD)
        return size(j2k)

    def ours_lossless(self, image, wavelet):
        tvx = self.path("ours-lossless.tvx")
        decoded = self.decoded_name(image)
        run([self.tavix, "compress", "--no-progress", "--lossless", "--wavelet", wavelet, image, tvx])
        run([self.tavix, "decompress", "--no-progress", tvx, decoded])
        original, decoded_samples = read_pnm(image)[0], read_pnm(decoded)[0]
        exact = original.shape == decoded_samples.shape and bool(np.all(original == decoded_samples))
        return size(tvx), exact


# ---------------------------------------------------------------- report

def verdict(ok):
    return "PASS" if ok else "FALL SHORT"


def mean(values):
    values = [v for v in values if v is not None]
    return sum(values) / len(values) if values else float("nan")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tavix", default=os.environ.get("TAVIX", os.path.join(here, "..", "build", "tools", "tavix")))
    parser.add_argument("--images", help="folder of PNM images (default: skimage photographs)")
    parser.add_argument("--large", help="image of 3 megapixels or more for the speed goals")
    parser.add_argument("--work", default="/tmp/tavix-bench")
    args = parser.parse_args()
    if not os.access(args.tavix, os.X_OK):
        sys.exit("no tavix program at %s (build it, or pass --tavix)" % args.tavix)
    for tool in ("opj_compress", "opj_decompress", "cjpeg", "djpeg", "convert"):
        if not shutil.which(tool):
            sys.exit("%s is missing: run scripts/install-deps.sh" % tool)

    os.makedirs(args.work, exist_ok=True)
    if args.images:
        images = sorted(os.path.join(args.images, f) for f in os.listdir(args.images)
                        if f.lower().endswith((".ppm", ".pgm", ".pnm")))
        large = args.large
    else:
        images, large = prepare_images(os.path.join(args.work, "images"))
        large = args.large or large
    bench = Bench(os.path.abspath(args.tavix), args.work)
    lines = []

    def out(text=""):
        print(text)
        sys.stdout.flush()

    out("Images: %d (%s)" % (len(images), ", ".join(os.path.basename(p) for p in images)))
    out("PSNR in dB over all samples, averaged over the images; sizes equal to or below the target.")
    out()
    header = "%-6s %-28s %8s %8s" % ("bpp", "coder", "PSNR", "size/T")
    out(header)
    out("-" * len(header))

    layers = [("ours standard 9/7, size", ["--wavelet", "9/7", "--layer", "standard"]),
              ("ours fast 9/7, size", ["--wavelet", "9/7", "--layer", "fast"]),
              ("ours fast-res 9/7, size", ["--wavelet", "9/7", "--layer", "fast-res"])]
    accuracy = []
    results = {}
    for rate in RATES:
        rows = {}
        for image in images:
            pixels, _ = pixels_of(image)
            target = int(rate * pixels / 8)
            for name, options in layers:
                s, p, _, _ = bench.ours(image, ["--size", str(target)] + options)
                rows.setdefault(name, []).append((p, s / target))
                if "standard" in name:
                    accuracy.append(s / target)
            q = bench.ours_quality_at(image, target)
            rows.setdefault("ours standard 9/7, quality", []).append((q[1], q[0] / target) if q else (None, None))
            o = bench.opj(image, target)
            rows.setdefault("OpenJPEG 9/7 (-I)", []).append((o[1], o[0] / target) if o else (None, None))
            j = bench.jpeg(image, target)
            rows.setdefault("libjpeg-turbo (-optimize)", []).append((j[1], j[0] / target) if j else (None, None))
        for name, values in rows.items():
            p = mean([v[0] for v in values])
            r = mean([v[1] for v in values])
            missing = sum(1 for v in values if v[0] is None)
            note = "  (%d images could not reach the size)" % missing if missing else ""
            out("%-6.2f %-28s %8.2f %8.4f%s" % (rate, name, p, r, note))
            results[(rate, name)] = p
        out()

    for rate in RATES:
        opj = results[(rate, "OpenJPEG 9/7 (-I)")]
        for name in ("ours standard 9/7, size", "ours standard 9/7, quality"):
            ours = results[(rate, name)]
            lines.append("%-4s bpp %-28s %+6.2f dB vs OpenJPEG          %s" %
                         (rate, name, ours - opj, verdict(ours >= opj)))
    for name in ("ours fast 9/7, size", "ours fast-res 9/7, size"):
        gap = results[(1.0, name)] - results[(1.0, "ours standard 9/7, size")]
        lines.append("1.0  bpp %-28s %+6.2f dB vs our standard      %s" % (name, gap, verdict(gap >= -0.5)))

    if large:
        pixels, _ = pixels_of(large)
        target = int(pixels / 8)
        o = bench.opj(large, target, repeats=3)
        std = bench.ours(large, ["--size", str(target)], repeats=3)
        io_only = timed([bench.tavix, "convert", "--no-progress", large, bench.path("copy.ppm")], repeats=3)
        out("Speed at 1 bpp on %s (%.1f MP), CPU seconds, single-threaded, best of 3:" %
            (os.path.basename(large), pixels / 1e6))
        out("  (of ours, reading and writing the PPM alone takes %.3f s: tavix convert PPM to PPM)" % io_only)
        out("  OpenJPEG            encode %6.3f s  decode %6.3f s  PSNR %.2f" % (o[2], o[3], o[1]))
        out("  ours standard       encode %6.3f s  decode %6.3f s  PSNR %.2f  (ratio to OpenJPEG %.2fx / %.2fx)" %
            (std[2], std[3], std[1], o[2] / std[2], o[3] / std[3]))
        for name, layer in (("fast", "fast"), ("fast-res", "fast-res")):
            f = bench.ours(large, ["--size", str(target), "--layer", layer], repeats=3)
            enc, dec = o[2] / f[2], o[3] / f[3]
            out("  ours %-14s encode %6.3f s  decode %6.3f s  PSNR %.2f  (%.2fx / %.2fx faster)" %
                (name, f[2], f[3], f[1], enc, dec))
            lines.append("1.0  bpp %-28s encode %.2fx, decode %.2fx faster than OpenJPEG (goal 3x)  %s" %
                         ("ours " + name + " speed", enc, dec, verdict(enc >= 3 and dec >= 3)))
            lines.append("1.0  bpp %-28s %+6.2f dB vs our standard (large image)  %s" %
                         ("ours " + name + " PSNR", f[1] - std[1], verdict(f[1] - std[1] >= -0.5)))
        out()

    out("Lossless on 8-bit grey photographs (bytes):")
    out("  %-14s %10s %10s %10s" % ("image", "OpenJPEG", "ours sp", "ours 5/3"))
    total = [0, 0, 0]
    exact_all = True
    for image in images:
        if not image.endswith(".pgm"):
            continue
        o = bench.opj_lossless(image)
        sp, exact_sp = bench.ours_lossless(image, "sp")
        five, exact_53 = bench.ours_lossless(image, "5/3")
        exact_all = exact_all and exact_sp and exact_53
        total = [total[0] + o, total[1] + sp, total[2] + five]
        out("  %-14s %10d %10d %10d" % (os.path.basename(image), o, sp, five))
    out("  %-14s %10d %10d %10d" % ("total", total[0], total[1], total[2]))
    out()
    lines.append("lossless sp  total %d vs OpenJPEG %d bytes (%+.2f %%)  %s" %
                 (total[1], total[0], 100.0 * (total[1] - total[0]) / max(total[0], 1), verdict(total[1] <= total[0])))
    lines.append("lossless 5/3 total %d vs OpenJPEG %d bytes (%+.2f %%)  %s" %
                 (total[2], total[0], 100.0 * (total[2] - total[0]) / max(total[0], 1), verdict(total[2] <= total[0])))
    lines.append("lossless decodes bit-exact                                 %s" % verdict(exact_all))
    lines.append("file-size mode actual/target min %.4f max %.4f (goal 0.995..1)  %s" %
                 (min(accuracy), max(accuracy), verdict(min(accuracy) >= 0.995 and max(accuracy) <= 1.0)))
    out("Goals")
    for line in lines:
        out(line)


if __name__ == "__main__":
    main()
