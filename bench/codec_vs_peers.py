#!/usr/bin/python3
"""Compares our wavelet codec (through the `tavix` tool) with peer codecs at
equal file sizes on real photographs, measures speed and peak memory on one
large photograph, and prints tables plus one PASS / FALL SHORT line per goal.

Peers (Debian 12 packages; a missing program is reported and skipped):
OpenJPEG, OpenJPH (HTJ2K), Grok, JPEG XL, AVIF, WebP and libjpeg-turbo.

Usage: bench/codec_vs_peers.py [--tavix PATH] [--images DIR] [--large FILE]
                               [--work DIR] [--quick]

Without --images the script builds its set from the photographs that Debian's
python3-skimage package ships plus one photograph of 12 megapixels or more
from the lomiri-wallpapers-20.04 package (converted to PNM with ImageMagick
in the work folder); see bench/README.md.
"""

import argparse
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time

import numpy as np

SKIMAGE_DATA = "/usr/lib/python3/dist-packages/skimage/data"
COLOUR_PHOTOS = ["astronaut.png", "chelsea.png", "coffee.png", "rocket.jpg", "motorcycle_left.png"]
GREY_PHOTOS = ["camera.png", "moon.png", "coins.png", "page.png"]
QUICK_PHOTOS = ["astronaut.png", "coffee.png", "camera.png"]
# A 6028 x 3391 (20.4 MP) photograph of a nuthatch on a tree trunk: fine bark
# texture beside large smooth out-of-focus areas.
WALLPAPER = "/usr/share/backgrounds/Kleiber_by_Lukas_Baubkus.jpg"
RATES = [0.25, 0.5, 1.0, 2.0]
# Per-image PSNR ceiling for the averages: an exact decode (AVIF at quantiser
# 0 can fit 2 bpp on a smooth grey photograph) would otherwise count as
# 99 dB and outweigh every other image.
PSNR_CEILING = 60.0
QUICK_RATES = [0.5, 1.0]
SINGLE_THREAD = dict(os.environ, OPJ_NUM_THREADS="1", TAVIX_THREADS="1")
GNU_TIME = "/usr/bin/time" if os.access("/usr/bin/time", os.X_OK) else None


# ---------------------------------------------------------------- running programs

class Usage:
    """What one program run cost: CPU seconds (user + system), wall seconds
    and peak resident memory in bytes."""

    def __init__(self, cpu, wall, peak):
        self.cpu, self.wall, self.peak = cpu, wall, peak


def measure(args, env=None):
    """Runs the program and reports its own resources. The CPU time comes
    from os.wait4 (that one child, with its own children). The peak memory
    comes from GNU time's report: a child's ru_maxrss starts from the
    high-water mark of the process that forked it, which for this script
    (numpy holding whole images) would hide every small peak."""
    with tempfile.TemporaryFile() as errors, tempfile.NamedTemporaryFile("r") as report:
        command = [GNU_TIME, "-f", "%M", "-o", report.name] + list(args) if GNU_TIME else list(args)
        start = time.perf_counter()
        child = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=errors,
                                 env=env or SINGLE_THREAD)
        _, status, usage = os.wait4(child.pid, 0)
        wall = time.perf_counter() - start
        child.returncode = os.waitstatus_to_exitcode(status)
        if child.returncode != 0:
            errors.seek(0)
            raise RuntimeError("%s failed: %s" % (" ".join(args), errors.read().decode(errors="replace")[-400:]))
        fields = report.read().split()
        peak = int(fields[-1]) * 1024 if GNU_TIME and fields and fields[-1].isdigit() else float("nan")
    return Usage(usage.ru_utime + usage.ru_stime, wall, peak)


def run(args, env=None):
    measure(args, env)


def best_of(args, repeats, env=None):
    """Lowest CPU time, lowest wall time and highest peak memory of
    `repeats` runs. CPU time is what the speed table compares: the machines
    we share are often loaded, and every coder here runs on one thread."""
    runs = [measure(args, env) for _ in range(repeats)]
    return Usage(min(r.cpu for r in runs), min(r.wall for r in runs), max(r.peak for r in runs))


def installed(programs):
    return all(shutil.which(p) for p in programs)


# ---------------------------------------------------------------- images and PSNR

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
    """PSNR over all samples. A colour decode of a grey original (WebP and
    AVIF store grey as colour) is compared through the mean of its planes."""
    a, _, _, planes_a = read_pnm(reference)
    b, _, _, planes_b = read_pnm(decoded)
    if planes_a == 1 and planes_b == 3:
        b = np.round(b.reshape(-1, 3).mean(axis=1))
    if a.shape != b.shape:
        raise RuntimeError("%s and %s differ in size" % (reference, decoded))
    mse = np.mean((a - b) ** 2)
    return 99.0 if mse == 0 else 10.0 * math.log10(255.0 * 255.0 / mse)


def size(path):
    return os.path.getsize(path)


def pixels_of(path):
    _, width, height, planes = read_pnm(path)
    return width * height, planes


def dimensions(path):
    _, width, height, _ = read_pnm(path)
    return width, height


def convert_to_pnm(source, out, grey=False):
    if not os.path.exists(out):
        extra = ["-colorspace", "Gray"] if grey else []
        run(["convert", source] + extra + ["-depth", "8", ("pgm:" if grey else "ppm:") + out])
    return out


def prepare_images(folder, names):
    os.makedirs(folder, exist_ok=True)
    paths = []
    for name in names:
        stem, _ = os.path.splitext(name)
        grey = name in GREY_PHOTOS
        out = os.path.join(folder, stem + (".pgm" if grey else ".ppm"))
        paths.append(convert_to_pnm(os.path.join(SKIMAGE_DATA, name), out, grey))
    return paths


def prepare_large(folder):
    """The wallpaper photograph as PPM when its package is installed, else a
    2000 x 1500 montage of crops of two skimage photographs."""
    os.makedirs(folder, exist_ok=True)
    if os.path.exists(WALLPAPER):
        return convert_to_pnm(WALLPAPER, os.path.join(folder, "kleiber-6028x3391.ppm"))
    out = os.path.join(folder, "montage-2000x1500.ppm")
    if not os.path.exists(out):
        make_montage(folder, out)
    return out


def make_montage(folder, out):
    """2000 x 1500: four 1000 x 750 crops of two real photographs at their
    native resolution (no resampling)."""
    hubble = os.path.join(folder, "tile-hubble.ppm")
    retina = os.path.join(folder, "tile-retina.ppm")
    run(["convert", os.path.join(SKIMAGE_DATA, "hubble_deep_field.jpg"), "-crop", "1000x750+0+61", "+repage",
         "-depth", "8", "ppm:" + hubble])
    run(["convert", os.path.join(SKIMAGE_DATA, "retina.jpg"), "-crop", "1000x750+205+330", "+repage",
         "-depth", "8", "ppm:" + retina])
    run(["convert", "(", hubble, retina, "+append", ")", "(", retina, hubble, "+append", ")", "-append",
         "-depth", "8", "ppm:" + out])


def png_copy(image):
    """Uncompressed PNG beside the PNM, for coders that read no PNM."""
    out = os.path.splitext(image)[0] + ".png"
    if not os.path.exists(out):
        run(["convert", image, "-define", "png:compression-level=0", out])
    return out


# ---------------------------------------------------------------- fitting a size

class Space:
    """Range of a coder's rate parameter. `rising`: larger value, larger
    file. `log`: search on a log scale (`step` is then a factor).
    `integer`: only whole values. `step`: first move while the target is
    not yet bracketed; it doubles with every further move."""

    def __init__(self, low, high, rising, step, log=False, integer=False):
        self.low, self.high, self.rising, self.log, self.integer = low, high, rising, log, integer
        self.step = math.log(step) if log else step

    def to_x(self, value):
        return math.log(value) if self.log else float(value)

    def to_value(self, x):
        value = math.exp(x) if self.log else x
        value = min(max(value, self.low), self.high)
        return int(round(value)) if self.integer else value


def fit(encode, target, space, start, tries=9, close=0.985):
    """Largest file that fits the target: secant steps on log(size), kept
    inside the bracket found so far, and a halving step whenever two probes
    in a row fell on the same side. `encode(value)` writes a file and
    returns its size. Returns (value, size) of the best fit or None."""
    lowest, highest = space.to_x(space.low), space.to_x(space.high)
    below = above = None
    tried = {}
    sides = []
    x = space.to_x(start)
    step = space.step
    for _ in range(tries):
        value = space.to_value(x)
        if value in tried:
            break
        got = encode(value)
        tried[value] = got
        point = (space.to_x(value), got, value)
        sides.append(got <= target)
        if got <= target:
            if below is None or got > below[1]:
                below = point
        elif above is None or got < above[1]:
            above = point
        if below and below[1] >= close * target:
            break
        if below and above:
            if space.integer and abs(below[2] - above[2]) <= 1:
                break
            aim = math.log(target * (1 + close) / 2)
            t = (aim - math.log(below[1])) / (math.log(above[1]) - math.log(below[1]))
            if len(sides) >= 2 and sides[-1] == sides[-2]:
                t = 0.5
            x = below[0] + (above[0] - below[0]) * min(max(t, 0.1), 0.9)
            if space.to_value(x) in tried:
                x = (below[0] + above[0]) / 2
            if space.integer:
                x = min(max(x, min(below[0], above[0]) + 1), max(below[0], above[0]) - 1)
        else:
            bigger = below is not None
            x = point[0] + (step if bigger == space.rising else -step)
            step *= 2
        x = min(max(x, lowest), highest)
    return (below[2], below[1]) if below else None


# ---------------------------------------------------------------- coders

class Coder:
    """One coder driven through its programs. Subclasses say how to encode
    at a rate value, how to decode, and where the rate search starts."""

    name = ""
    programs = ()
    extension = ""
    space = None

    def __init__(self, work):
        self.work = work

    def path(self, name):
        return os.path.join(self.work, name)

    def available(self):
        return installed(self.programs)

    def start(self, target, pixels):
        return None

    def encode_args(self, image, value, out):
        raise NotImplementedError

    def decode_args(self, coded, image):
        """Program arguments and the PNM (or other) file it writes."""
        raise NotImplementedError

    def decoded_pnm(self, written, image):
        return written

    def input_of(self, image):
        return image

    def fit(self, image, target, pixels):
        """Rate value whose file fits `target`; the best file is kept at
        self.coded(image)."""
        trial, best = self.path("trial" + self.extension), self.coded()
        kept = {}

        def encode(value):
            run(self.encode_args(self.input_of(image), value, trial))
            got = size(trial)
            if got <= target and got > kept.get("size", -1):
                shutil.copyfile(trial, best)
                kept["size"] = got
            return got

        found = fit(encode, target, self.space, self.start(target, pixels))
        return found[0] if found else None

    def coded(self):
        return self.path("best" + self.extension)

    def decode(self, image, repeats=1):
        args, written = self.decode_args(self.coded(), image)
        usage = best_of(args, repeats)
        return self.decoded_pnm(written, image), usage

    def encode(self, image, value, repeats=1):
        return best_of(self.encode_args(self.input_of(image), value, self.coded()), repeats)


def decoded_name(work, image):
    return os.path.join(work, "decoded" + os.path.splitext(image)[1])


class OursSize(Coder):
    """Our file-size mode: the target goes straight to the encoder."""
    programs = ("convert",)
    extension = ".tvx"

    def __init__(self, work, tavix, layer, full_colour=False):
        super().__init__(work)
        self.tavix, self.layer = tavix, layer
        self.name = "ours %s 9/7, size" % layer
        # The default drops the colour planes' finest detail; the full-colour
        # variant shows what that costs in RGB PSNR at high rates.
        self.extra = ["--no-downsampling"] if full_colour else []
        if full_colour:
            self.name = "ours %s, full colour" % layer

    def fit(self, image, target, pixels):
        run(self.encode_args(image, target, self.coded()))
        return target

    def encode_args(self, image, value, out):
        return [self.tavix, "compress", "--no-progress", "--size", str(int(value)), "--wavelet", "9/7",
                "--layer", self.layer] + self.extra + [image, out]

    def decode_args(self, coded, image):
        out = decoded_name(self.work, image)
        return [self.tavix, "decompress", "--no-progress", coded, out], out


class OursQuality(OursSize):
    """Our quality mode at the largest quality factor that fits."""
    space = Space(1.0, 50.0, rising=True, step=4.0)

    def __init__(self, work, tavix):
        super().__init__(work, tavix, "standard")
        self.name = "ours standard 9/7, quality"

    def fit(self, image, target, pixels):
        return Coder.fit(self, image, target, pixels)

    def start(self, target, pixels):
        return 25.0

    def encode_args(self, image, value, out):
        return [self.tavix, "compress", "--no-progress", "--quality", "%.3f" % value, "--wavelet", "9/7",
                image, out]


class OpenJpeg(Coder):
    """OpenJPEG 9/7 (irreversible), its ratio tuned until the codestream
    (.j2k, no container) fits."""
    name = "OpenJPEG 9/7 (-I)"
    programs = ("opj_compress", "opj_decompress")
    one_thread = ("-threads", "1")
    extension = ".j2k"
    space = Space(100.0, 1e9, rising=True, step=1.1, log=True)

    def start(self, target, pixels):
        return target

    def encode_args(self, image, value, out):
        ratio = max(os.path.getsize(image) / value, 1.0)
        return [self.programs[0], "-I", *self.one_thread, "-r", "%.4f" % ratio, "-i", image, "-o", out]

    def decode_args(self, coded, image):
        out = decoded_name(self.work, image)
        return [self.programs[1], *self.one_thread, "-i", coded, "-o", out], out


class Grok(OpenJpeg):
    """Grok takes OpenJPEG's options; -H sets its threads."""
    name = "Grok 9/7 (-I)"
    programs = ("grk_compress", "grk_decompress")
    one_thread = ("-H", "1")


class OpenJph(Coder):
    """OpenJPH (HTJ2K), irreversible 9/7; -qstep sets the quantiser."""
    name = "OpenJPH HTJ2K (-qstep)"
    programs = ("ojph_compress", "ojph_expand")
    extension = ".j2c"
    space = Space(0.00001, 0.5, rising=False, step=1.5, log=True)

    def start(self, target, pixels):
        return min(0.02 / (8.0 * target / pixels), 0.5)

    def encode_args(self, image, value, out):
        return ["ojph_compress", "-qstep", "%.6g" % value, "-i", image, "-o", out]

    def decode_args(self, coded, image):
        out = decoded_name(self.work, image)
        return ["ojph_expand", "-i", coded, "-o", out], out


class JpegXl(Coder):
    """JPEG XL at the default effort (7), the distance tuned to fit."""
    name = "JPEG XL (-d, effort 7)"
    programs = ("cjxl", "djxl")
    extension = ".jxl"
    space = Space(0.05, 25.0, rising=False, step=1.5, log=True)

    def start(self, target, pixels):
        return min(1.0 / (8.0 * target / pixels), 25.0)

    def encode_args(self, image, value, out):
        return ["cjxl", image, out, "-d", "%.4f" % value, "--num_threads=0", "--quiet"]

    def decode_args(self, coded, image):
        out = decoded_name(self.work, image)
        return ["djxl", coded, out, "--num_threads=1"], out


class Avif(Coder):
    """AVIF through libaom at the default speed (6), one quantiser for the
    whole image (--min = --max). avifenc reads PNG, not PNM: the input is an
    uncompressed PNG copy and the output an uncompressed PNG."""
    name = "AVIF (aom, speed 6)"
    programs = ("avifenc", "avifdec")
    extension = ".avif"
    space = Space(0, 63, rising=False, step=4, integer=True)

    def start(self, target, pixels):
        return 25

    def input_of(self, image):
        return png_copy(image)

    def encode_args(self, image, value, out):
        return ["avifenc", "-j", "1", "--min", str(value), "--max", str(value), image, out]

    def decode_args(self, coded, image):
        return ["avifdec", "-j", "1", "--png-compress", "0", coded, self.path("decoded-avif.png")], \
            self.path("decoded-avif.png")

    def decoded_pnm(self, written, image):
        out = self.path("decoded-avif.ppm")
        if os.path.exists(out):
            os.remove(out)
        return convert_to_pnm(written, out)


class WebP(Coder):
    """WebP (lossy, default method 4) at the quality factor that fits.
    cwebp's own -size search lands erratically above or far below the
    request, so the script searches -q like the others."""
    name = "WebP (-q)"
    programs = ("cwebp", "dwebp")
    extension = ".webp"
    space = Space(0.0, 100.0, rising=True, step=8.0)

    def start(self, target, pixels):
        return 75.0

    def encode_args(self, image, value, out):
        return ["cwebp", "-quiet", "-q", "%.3f" % value, image, "-o", out]

    def decode_args(self, coded, image):
        out = self.path("decoded-webp.ppm")
        return ["dwebp", "-quiet", coded, "-ppm", "-o", out], out


class Jpeg(Coder):
    """libjpeg-turbo with optimised Huffman tables at the highest quality
    that fits."""
    name = "libjpeg-turbo (-optimize)"
    programs = ("cjpeg", "djpeg")
    extension = ".jpg"
    space = Space(1, 100, rising=True, step=5, integer=True)

    def start(self, target, pixels):
        return 75

    def encode_args(self, image, value, out):
        return ["cjpeg", "-quality", str(value), "-optimize", "-outfile", out, image]

    def decode_args(self, coded, image):
        out = decoded_name(self.work, image)
        return ["djpeg", "-pnm", "-outfile", out, coded], out


# ---------------------------------------------------------------- lossless

def opj_lossless(work, image):
    j2k = os.path.join(work, "opj-lossless.j2k")
    run(["opj_compress", "-threads", "1", "-i", image, "-o", j2k])
    return size(j2k)


def ours_lossless(work, tavix, image, wavelet):
    tvx = os.path.join(work, "ours-lossless.tvx")
    decoded = decoded_name(work, image)
    run([tavix, "compress", "--no-progress", "--lossless", "--wavelet", wavelet, image, tvx])
    run([tavix, "decompress", "--no-progress", tvx, decoded])
    original, decoded_samples = read_pnm(image)[0], read_pnm(decoded)[0]
    exact = original.shape == decoded_samples.shape and bool(np.all(original == decoded_samples))
    return size(tvx), exact


# ---------------------------------------------------------------- report

def goal(lines, text, ok):
    lines.append("%-78s %s" % (text, "PASS" if ok else "FALL SHORT"))


def mean(values):
    values = [v for v in values if v is not None]
    return sum(values) / len(values) if values else float("nan")


def out(text=""):
    print(text)
    sys.stdout.flush()


def make_coders(work, tavix):
    ours = [OursSize(work, tavix, "standard"), OursQuality(work, tavix),
            OursSize(work, tavix, "standard", full_colour=True),
            OursSize(work, tavix, "fast"), OursSize(work, tavix, "fast-res")]
    peers = [OpenJpeg(work), OpenJph(work), Grok(work), JpegXl(work), Avif(work), WebP(work), Jpeg(work)]
    present = []
    for coder in peers:
        if coder.available():
            present.append(coder)
        else:
            out("%-28s not installed (%s): skipped" % (coder.name, ", ".join(coder.programs)))
    return ours, present


def psnr_tables(coders, images, rates, fitted, accuracy):
    """Fits every coder to every image and rate; prints PSNR and dB against
    OpenJPEG. Returns {(rate, name): mean PSNR}."""
    results, ratios, missing, exact = {}, {}, {}, {}
    for rate in rates:
        for image in images:
            pixels, _ = pixels_of(image)
            target = int(rate * pixels / 8)
            for coder in coders:
                try:
                    value = coder.fit(image, target, pixels)
                except RuntimeError as error:
                    out("%s on %s at %g bpp: %s" % (coder.name, os.path.basename(image), rate, error))
                    value = None
                key = (coder.name, image, rate)
                if value is None:
                    results.setdefault((rate, coder.name), []).append(None)
                    missing[(rate, coder.name)] = missing.get((rate, coder.name), 0) + 1
                    continue
                fitted[key] = value
                decoded, _ = coder.decode(image)
                got = size(coder.coded())
                quality = psnr(image, decoded)
                if quality >= 99.0:
                    exact[(rate, coder.name)] = exact.get((rate, coder.name), 0) + 1
                results.setdefault((rate, coder.name), []).append(min(quality, PSNR_CEILING))
                ratios.setdefault(coder.name, []).append(got / target)
                if coder.name == "ours standard 9/7, size":
                    accuracy.append(got / target)
    averages = {k: mean(v) for k, v in results.items()}

    head = "%-28s" % "PSNR (dB)" + "".join("%9s" % ("%g bpp" % r) for r in rates) + "%9s" % "size/T"
    out(head)
    out("-" * len(head))
    for coder in coders:
        cells = "".join("%9.2f" % averages[(r, coder.name)] for r in rates)
        notes = ["%g bpp: %d image(s) not fitted" % (r, missing[(r, coder.name)])
                 for r in rates if (r, coder.name) in missing]
        notes += ["%g bpp: %d exact decode(s)" % (r, exact[(r, coder.name)])
                  for r in rates if (r, coder.name) in exact]
        out("%-28s%s%9.4f%s" % (coder.name, cells, mean(ratios.get(coder.name, [])),
                                "  (" + "; ".join(notes) + ")" if notes else ""))
    out()
    opj = "OpenJPEG 9/7 (-I)"
    if any(c.name == opj for c in coders):
        head = "%-28s" % "dB against OpenJPEG" + "".join("%9s" % ("%g bpp" % r) for r in rates)
        out(head)
        out("-" * len(head))
        for coder in coders:
            if coder.name != opj:
                out("%-28s%s" % (coder.name, "".join("%+9.2f" % (averages[(r, coder.name)] - averages[(r, opj)])
                                                   for r in rates)))
        out()
    return averages


def speed_table(coders, large, fitted, repeats, lines, tavix, work):
    """Speed and peak memory at 1 bpp on the large image, single-threaded."""
    pixels, _ = pixels_of(large)
    width, height = dimensions(large)
    raw = width * height * 3
    megapixels = pixels / 1e6
    target = int(pixels / 8)
    io_only = best_of([tavix, "convert", "--no-progress", large, os.path.join(work, "copy.ppm")], repeats)
    out("Speed at 1 bpp on %s (%d x %d, %.1f MP, raw %.1f MB): CPU time (user + system), one thread, best of %d;"
        % (os.path.basename(large), width, height, megapixels, raw / 1e6, repeats))
    out("ratio = OpenJPEG's time / this coder's time (above 1: faster). Peak = largest resident memory.")
    out("(of ours, reading and writing the PPM alone takes %.0f ms/MP: tavix convert PPM to PPM)"
        % (io_only.cpu * 1000 / megapixels))
    head = "%-28s %9s %9s %7s %7s %8s %8s %6s %6s %7s" % (
        "coder", "enc ms/MP", "dec ms/MP", "enc x", "dec x", "enc MB", "dec MB", "enc/R", "dec/R", "PSNR")
    out(head)
    out("-" * len(head))
    table = {}
    for coder in coders:
        if isinstance(coder, OursQuality):
            continue
        try:
            value = fitted.get((coder.name, large, 1.0))
            if value is None:
                value = coder.fit(large, target, pixels)
            if value is None:
                out("%-28s could not fit %d bytes" % (coder.name, target))
                continue
            encode = coder.encode(large, value, repeats)
            decoded, decode = coder.decode(large, repeats)
        except RuntimeError as error:
            out("%-28s %s" % (coder.name, error))
            continue
        table[coder.name] = (encode, decode, psnr(large, decoded))
    base = table.get("OpenJPEG 9/7 (-I)")
    for name, (encode, decode, quality) in table.items():
        enc_ratio = base[0].cpu / encode.cpu if base else float("nan")
        dec_ratio = base[1].cpu / decode.cpu if base else float("nan")
        out("%-28s %9.1f %9.1f %7.2f %7.2f %8.1f %8.1f %6.2f %6.2f %7.2f" % (
            name, encode.cpu * 1000 / megapixels, decode.cpu * 1000 / megapixels, enc_ratio, dec_ratio,
            encode.peak / 1e6, decode.peak / 1e6, encode.peak / raw, decode.peak / raw, quality))
    out()

    # Threads: wall time of our standard decode on one and on two threads.
    standard = next(c for c in coders if c.name == "ours standard 9/7, size")
    standard.fit(large, target, pixels)
    args, _ = standard.decode_args(standard.coded(), large)
    one = best_of(args, max(repeats, 3), dict(SINGLE_THREAD, TAVIX_THREADS="1")).wall
    two = best_of(args, max(repeats, 3), dict(SINGLE_THREAD, TAVIX_THREADS="2")).wall
    out("Our standard decode, wall time best of %d: TAVIX_THREADS=1 %.3f s, TAVIX_THREADS=2 %.3f s (speed-up %.2fx, "
        "%d cores here)" % (max(repeats, 3), one, two, one / two, os.cpu_count() or 0))
    out()

    ours_std = table.get("ours standard 9/7, size")
    ojph = table.get("OpenJPH HTJ2K (-qstep)")
    for layer in ("fast", "fast-res"):
        row = table.get("ours %s 9/7, size" % layer)
        if not row or not base:
            continue
        enc, dec = base[0].cpu / row[0].cpu, base[1].cpu / row[1].cpu
        goal(lines, "1 bpp, ours %s: encode %.2fx, decode %.2fx as fast as OpenJPEG (goal 5x)" % (layer, enc, dec),
             enc >= 5 and dec >= 5)
        if ojph:
            enc, dec = ojph[0].cpu / row[0].cpu, ojph[1].cpu / row[1].cpu
            goal(lines, "1 bpp, ours %s: encode %.2fx, decode %.2fx as fast as OpenJPH (goal 1x)" % (layer, enc, dec),
                 enc >= 1 and dec >= 1)
        if ours_std:
            gap = row[2] - ours_std[2]
            goal(lines, "1 bpp, ours %s: %+.2f dB vs our standard on the large image (goal -0.5)" % (layer, gap),
                 gap >= -0.5)
    if ours_std and base:
        dec = base[1].cpu / ours_std[1].cpu
        goal(lines, "1 bpp, ours standard: decode %.2fx as fast as OpenJPEG (goal 2x)" % dec, dec >= 2)
    goal(lines, "ours standard: decode wall time speed-up on 2 threads %.2fx (goal 1.7x)" % (one / two),
         one / two >= 1.7)
    if not GNU_TIME:
        out("peak memory not measured: /usr/bin/time (package time) is not installed")
        return
    for name in ("ours standard 9/7, size", "ours fast 9/7, size", "ours fast-res 9/7, size"):
        row = table.get(name)
        if row:
            worst = max(row[0].peak, row[1].peak) / raw
            goal(lines, "%s: peak memory encode %.2fx, decode %.2fx the raw image (goal 6x)" %
                 (name.replace(" 9/7, size", ""), row[0].peak / raw, row[1].peak / raw), worst <= 6)


def lossless_table(images, tavix, work, lines):
    grey = [image for image in images if image.endswith(".pgm")]
    if not grey:
        return
    out("Lossless on 8-bit grey photographs (bytes):")
    out("  %-14s %10s %10s %10s" % ("image", "OpenJPEG", "ours sp", "ours 5/3"))
    total = [0, 0, 0]
    exact_all = True
    for image in grey:
        o = opj_lossless(work, image)
        sp, exact_sp = ours_lossless(work, tavix, image, "sp")
        five, exact_53 = ours_lossless(work, tavix, image, "5/3")
        exact_all = exact_all and exact_sp and exact_53
        total = [total[0] + o, total[1] + sp, total[2] + five]
        out("  %-14s %10d %10d %10d" % (os.path.basename(image), o, sp, five))
    out("  %-14s %10d %10d %10d" % ("total", total[0], total[1], total[2]))
    out()
    for name, ours in (("sp ", total[1]), ("5/3", total[2])):
        goal(lines, "lossless %s: total %d vs OpenJPEG %d bytes (%+.2f %%)" %
             (name, ours, total[0], 100.0 * (ours - total[0]) / max(total[0], 1)), ours <= total[0])
    goal(lines, "lossless: decodes bit-exact", exact_all)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tavix", default=os.environ.get("TAVIX", os.path.join(here, "..", "build", "tools", "tavix")))
    parser.add_argument("--images", help="folder of PNM images (default: skimage photographs)")
    parser.add_argument("--large", help="large photograph for the speed table (default: %s, when installed)"
                        % WALLPAPER)
    parser.add_argument("--work", default=os.path.join(tempfile.gettempdir(), "tavix-bench"))
    parser.add_argument("--quick", action="store_true",
                        help="three small photographs, 0.5 and 1 bpp, best of one: a few minutes")
    args = parser.parse_args()
    if not os.access(args.tavix, os.X_OK):
        sys.exit("no tavix program at %s (build it, or pass --tavix)" % args.tavix)
    for tool in ("opj_compress", "opj_decompress", "convert"):
        if not shutil.which(tool):
            sys.exit("%s is missing: run scripts/install-deps.sh" % tool)

    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    folder = os.path.join(work, "images")
    tavix = os.path.abspath(args.tavix)
    if args.images:
        images = sorted(os.path.join(args.images, f) for f in os.listdir(args.images)
                        if f.lower().endswith((".ppm", ".pgm", ".pnm")))
    else:
        images = prepare_images(folder, QUICK_PHOTOS if args.quick else COLOUR_PHOTOS + GREY_PHOTOS)
    if args.large:
        large = args.large
        if not large.lower().endswith((".ppm", ".pgm", ".pnm")):
            large = convert_to_pnm(large, os.path.join(folder, os.path.splitext(os.path.basename(large))[0] + ".ppm"))
    else:
        large = prepare_large(folder)
    rates = QUICK_RATES if args.quick else RATES
    repeats = 1 if args.quick else 3
    psnr_images = images if args.quick else images + [large]

    ours, peers = make_coders(work, tavix)
    coders = ours + peers
    out("Images: %d (%s)" % (len(psnr_images), ", ".join(os.path.basename(p) for p in psnr_images)))
    out("PSNR over all samples, averaged over the images (each counted at most %g dB); every file at or below"
        % PSNR_CEILING)
    out("the target T = rate x pixels / 8 bytes; size/T = mean actual size / target.")
    out()
    lines, accuracy, fitted = [], [], {}
    averages = psnr_tables(coders, psnr_images, rates, fitted, accuracy)
    opj = "OpenJPEG 9/7 (-I)"
    for rate in rates:
        for name in ("ours standard 9/7, size", "ours standard 9/7, quality", "ours standard, full colour"):
            gap = averages[(rate, name)] - averages[(rate, opj)]
            goal(lines, "%g bpp, %s: %+.2f dB vs OpenJPEG" % (rate, name, gap), gap >= 0)
    for name in ("ours fast 9/7, size", "ours fast-res 9/7, size"):
        gap = averages[(1.0, name)] - averages[(1.0, "ours standard 9/7, size")]
        goal(lines, "1 bpp, %s: %+.2f dB vs our standard (goal -0.5)" % (name, gap), gap >= -0.5)

    speed_table(coders, large, fitted, repeats, lines, tavix, work)
    lossless_table(images, tavix, work, lines)
    goal(lines, "file-size mode: actual/target min %.4f max %.4f (goal 0.995..1)" % (min(accuracy), max(accuracy)),
         min(accuracy) >= 0.995 and max(accuracy) <= 1.0)
    out("Goals")
    for line in lines:
        out(line)


if __name__ == "__main__":
    main()
