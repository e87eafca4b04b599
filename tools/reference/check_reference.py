#!/usr/bin/env python3
"""Decodes a corpus of .tvx files with both the tavix tool and the
independent reference decoder (tvxdecode.py) and compares the pixels.

    check_reference.py TAVIX SAMPLES_DIR

Lossy files must agree within +-1 per sample, lossless ones exactly (and
equal the source image). Exit code 0 all passed, 1 a failure, 77 numpy
is not installed (the check is skipped).
"""

import os
import struct
import subprocess
import sys
import tempfile
import zlib

try:
    import numpy as np
except ImportError:
    print("numpy is not installed: reference decoder check skipped")
    sys.exit(77)

sys.dont_write_bytecode = True     # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tvxdecode  # noqa: E402


# ------------------------------------------------------------ PNM files

def read_pnm(path):
    """(samples [h, w, planes] as int64, maxval) of a binary PGM/PPM."""
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    magic, width, height, maxval = fields[0], int(fields[1]), int(fields[2]), int(fields[3])
    planes = {b"P5": 1, b"P6": 3}[magic]
    dtype = ">u2" if maxval > 255 else "u1"
    count = width * height * planes
    raster = np.frombuffer(data, dtype, count, pos + 1)
    return raster.astype(np.int64).reshape(height, width, planes), maxval


# -------------------------------------------------------------- corpus

def make_images(samples, folder):
    """Source images of the corpus, generated from the colour sample."""
    rgb, _ = read_pnm(os.path.join(samples, "chelsea.ppm"))
    grey = (rgb @ np.array([299, 587, 114]) + 500) // 1000
    ramp = np.arange(rgb.shape[1])[None, :]
    images = {
        "colour": (rgb, 255),                              # 300 x 200
        "colour-odd": (rgb[41:94, 117:194], 255),          # 77 x 53
        "colour-tiny": (rgb[90:93, 150:157], 255),         # 7 x 3: no levels
        "grey": (grey[..., None], 255),
        "grey-odd": (grey[60:105, 30:91, None], 255),      # 61 x 45
        "grey12": ((grey * 16 + ramp % 16)[:100, :150, None], 4095),
        "grey16": ((grey * 257 ^ (ramp * 29 % 256))[50:150, 100:250, None], 65535),
        "colour16": ((rgb * 257 ^ (ramp[..., None] * 37 % 256))[60:110, 110:185], 65535),
    }
    paths = {}
    for name, (pixels, maxval) in images.items():
        paths[name] = os.path.join(folder, name + (".ppm" if pixels.shape[2] == 3 else ".pgm"))
        tvxdecode.write_pnm(paths[name], pixels, maxval)
    return paths


# (name, source image, compression options, edit of the .tvx file or None):
#   ("cut", n)           keep the first n bytes (a prefix, or a cut header)
#   ("append", n)        add n bytes after the body
#   ("set", at, value)   overwrite one byte
#   ("header", at, value) overwrite one header byte and fix the header CRC
CASES = [
    ("9/7 default quality",         "colour",     [], None),
    ("18/10 quality 30",            "colour",     ["--wavelet", "18/10", "--quality", "30"], None),
    ("mixed quality 45",            "colour",     ["--wavelet", "mixed", "--quality", "45"], None),
    ("sp lossy odd size",           "colour-odd", ["--wavelet", "sp", "--quality", "40"], None),
    ("9/7-lifted grey",             "grey",       ["--wavelet", "9/7-lifted", "--quality", "40"], None),
    ("ts lossy odd size",           "colour-odd", ["--wavelet", "ts", "--quality", "35"], None),
    ("5/3 lossy grey odd",          "grey-odd",   ["--wavelet", "5/3", "--quality", "45"], None),
    ("fast layer",                  "colour",     ["--layer", "fast", "--quality", "45"], None),
    ("fast-res layer, size mode",   "colour",     ["--layer", "fast-res", "--size", "6000"], None),
    ("fast-res 18/10 grey",         "grey",       ["--layer", "fast-res", "--wavelet", "18/10"], None),
    ("size mode standard",          "colour",     ["--size", "5000"], None),
    ("bpp mode mixed fast grey",    "grey",       ["--bpp", "0.5", "--wavelet", "mixed", "--layer", "fast"], None),
    ("no downsampling 18/10",       "colour",     ["--no-downsampling", "--wavelet", "18/10", "--quality", "40"], None),
    ("colour portion 40",           "colour-odd", ["--color-portion", "40", "--quality", "40"], None),
    ("no levels lossy",             "colour-tiny", ["--quality", "45", "--wavelet", "18/10"], None),
    ("lossless sp colour",          "colour-odd", ["--lossless"], None),
    ("lossless ts fast grey",       "grey",       ["--lossless", "--wavelet", "ts", "--layer", "fast"], None),
    ("lossless 5/3 fast-res",       "colour-odd", ["--lossless", "--wavelet", "5/3", "--layer", "fast-res"], None),
    ("lossless 5/3 grey odd",       "grey-odd",   ["--lossless", "--wavelet", "5/3"], None),
    ("lossless no levels",          "colour-tiny", ["--lossless"], None),
    ("16-bit grey lossless",        "grey12",     ["--lossless"], None),
    ("16-bit grey lossy",           "grey12",     ["--quality", "50", "--wavelet", "mixed"], None),
    ("16-bit grey lossy 5/3 fast",  "grey16",     ["--quality", "45", "--wavelet", "5/3", "--layer", "fast"], None),
    ("16-bit colour lossless",      "colour16",   ["--lossless", "--wavelet", "ts"], None),
    ("16-bit colour lossy",         "colour16",   ["--quality", "40", "--layer", "fast-res"], None),
    ("truncated standard",          "colour",     ["--quality", "45"], ("cut", 3000)),
    ("truncated fast grey",         "grey",       ["--layer", "fast", "--quality", "50"], ("cut", 1500)),
    ("truncated lossless fast-res", "colour-odd", ["--lossless", "--layer", "fast-res"], ("cut", 4000)),
    ("truncated in preamble",       "colour",     [], ("cut", 59)),
    ("truncated after preamble",    "grey-odd",   ["--quality", "45"], ("cut", 63)),
    ("bytes after the body",        "grey-odd",   ["--quality", "45"], ("append", 100)),
    # Streams the writer never makes but a decoder must still read alike:
    # more levels than the image size allows (short signals, empty bands),
    # another kernel, a byte cap, a resolution floor.
    ("15 levels on a small image",  "grey-odd",   ["--quality", "45"], ("header", 41, 15)),
    ("18/10 kernel on 9/7 data",    "colour-odd", ["--quality", "45"], ("header", 40, 1)),
    ("byte cap on plane 1",         "colour-odd", ["--quality", "45"], ("set", 61, 40)),
    ("floor 3 in fast-res",         "colour-odd", ["--quality", "45", "--layer", "fast-res"], ("set", 57, 3)),
    # Damaged files: both must refuse them.
    ("refused: cut header",         "grey-odd",   [], ("cut", 40)),
    ("refused: header CRC",         "grey-odd",   [], ("set", 41, 1)),
    ("refused: preamble layer",     "grey-odd",   [], ("set", 56, 0x31)),
]

# Name prefix of the cases in which both decoders must refuse the file.
REFUSED = "refused:"


def run(cmd):
    """Runs the tool; returns its error text, or None on success."""
    result = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        return result.stdout.decode(errors="replace").strip()
    return None


def edit_file(path, edit):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    if edit[0] == "cut":
        if len(data) <= edit[1]:
            raise RuntimeError("file of %d bytes is too short to cut at %d" % (len(data), edit[1]))
        del data[edit[1]:]
    elif edit[0] == "append":
        data += bytes(range(edit[1]))
    else:
        data[edit[1]] = edit[2]
        if edit[0] == "header":
            struct.pack_into("<I", data, 52, zlib.crc32(bytes(data[:52])))
    with open(path, "wb") as f:
        f.write(data)


def check_case(tool, folder, name, source, options, edit):
    """Returns a note on the outcome; raises on a mismatch."""
    tvx = os.path.join(folder, "case.tvx")
    out = os.path.join(folder, "case.pnm")
    error = run([tool, "compress", "--no-progress"] + options + [source, tvx])
    if error:
        raise RuntimeError("tavix compress failed: " + error)
    if edit:
        edit_file(tvx, edit)
    tool_error = run([tool, "decompress", "--no-progress", tvx, out])
    with open(tvx, "rb") as f:
        try:
            pixels, maxval = tvxdecode.decode(f.read())
            reference_error = None
        except tvxdecode.TvxError as e:
            reference_error = str(e)
    if name.startswith(REFUSED) or tool_error or reference_error:
        if tool_error and reference_error and name.startswith(REFUSED):
            return "both refuse it"
        raise RuntimeError("tool: %s; reference: %s" % (tool_error or "decodes it",
                                                        reference_error or "decodes it"))
    expected, expected_max = read_pnm(out)
    if pixels.shape != expected.shape or maxval != expected_max:
        raise RuntimeError("tool gives %s max %d, reference %s max %d"
                           % (expected.shape, expected_max, pixels.shape, maxval))
    diff = int(np.abs(pixels - expected).max())
    lossless = "--lossless" in options and not edit
    if diff > (0 if lossless else 1):
        raise RuntimeError("samples differ by up to %d (%d samples)"
                           % (diff, int((np.abs(pixels - expected) > 0).sum())))
    if lossless and not np.array_equal(pixels, read_pnm(source)[0]):
        raise RuntimeError("lossless decoding differs from the source image")
    return "max difference %d" % diff


def main(argv):
    if len(argv) != 3:
        print("usage: check_reference.py TAVIX SAMPLES_DIR", file=sys.stderr)
        return 2
    tool, samples = argv[1], argv[2]
    passed = failed = 0
    with tempfile.TemporaryDirectory(prefix="tvxref") as folder:
        images = make_images(samples, folder)
        for name, image, options, edit in CASES:
            try:
                note = check_case(tool, folder, name, images[image], options, edit)
                print("PASS  %-30s %s" % (name, note))
                passed += 1
            except Exception as e:  # noqa: BLE001 - any fault fails this case only
                print("FAIL  %-30s %s" % (name, e))
                failed += 1
            sys.stdout.flush()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
