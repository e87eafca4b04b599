#!/usr/bin/env python3
"""Independent reference decoder for .tvx images.

Written from codec/FORMAT.md and codec/FORMAT_BODY.md alone, to show that
the two pages describe the whole format. Clarity comes before speed: the
bit-plane coder is a plain loop over coefficients; only the transforms and
the colour conversion are vectorised with numpy.

    python3 tvxdecode.py IN.tvx OUT.pnm      (writes PGM or PPM)
"""

import math
import struct
import sys
import zlib

import numpy as np


class TvxError(Exception):
    """The stream is not a .tvx file, is damaged or unsupported."""


# ---------------------------------------------------------------- header

HEADER_LEN = 56
MAGIC = b"TVX\x1a"
CODEC_LAYER = {0x01: 1, 0x02: 2, 0x42: 3}
REVERSIBLE = (3, 5, 6)


def parse_header(data):
    if len(data) < 4 or data[:4] != MAGIC:
        raise TvxError("not a .tvx stream")
    if len(data) < HEADER_LEN:
        raise TvxError("damaged: the file ends inside the header")
    if data[4] != 1:
        raise TvxError("unsupported format version %d" % data[4])
    if data[5] != HEADER_LEN:
        raise TvxError("damaged: header length %d" % data[5])
    if zlib.crc32(data[:52]) != struct.unpack_from("<I", data, 52)[0]:
        raise TvxError("damaged: header CRC mismatch")
    names = ("imageTag width height colorType auxWord1 auxWord2 auxWord3 "
             "waveletType codecType portion mode target sizeMode auxLong "
             "transform levels flags planes step bodyLength").split()
    values = struct.unpack_from("<HHHhHHHHHHHiiiBBBBfI", data, 6)
    h = dict(zip(names, values))
    ok = (h["width"] >= 1 and h["height"] >= 1 and 0 <= h["colorType"] <= 4
          and h["planes"] == (3 if h["colorType"] in (2, 4) else 1)
          and h["waveletType"] <= 6 and h["codecType"] & 0x7F in CODEC_LAYER
          and h["mode"] <= 2 and h["transform"] <= 6 and h["levels"] <= 15
          and h["flags"] & ~3 == 0
          and bool(h["flags"] & 2) == (h["transform"] in REVERSIBLE)
          and (h["mode"] != 2 or h["flags"] == 2)
          and math.isfinite(h["step"]) and 0 < h["step"] <= 1e9
          and h["bodyLength"] <= 2**31 - 1)
    if not ok:
        raise TvxError("damaged: header field out of range")
    if h["width"] * h["height"] * h["planes"] > 2**28:
        raise TvxError("image too large")
    h["layer"] = CODEC_LAYER[h["codecType"] & 0x7F]
    return h


# ------------------------------------------------------- range decoder

class Stop(Exception):
    """The body ends before the next symbol: decoding stops here."""


class RangeDecoder:
    def __init__(self, data, pos):
        self.data, self.pos = data, pos
        self.exhausted = False
        self.range, self.code, self.steps = 0xFFFFFFFF, 0, 0
        for _ in range(4):
            self.code = ((self.code << 8) | self.next_byte()) & 0xFFFFFFFF

    def next_byte(self):
        if self.pos < len(self.data):
            self.pos += 1
            return self.data[self.pos - 1]
        self.exhausted = True
        return 0

    def normalise(self):
        while self.range < 1 << 24:
            self.range <<= 8
            self.code = ((self.code << 8) | self.next_byte()) & 0xFFFFFFFF
            self.steps += 1

    def decode(self, q, s, m):
        """One bit with the adaptive model m (estimates q[m], s[m])."""
        if self.exhausted:
            raise Stop
        bound = (self.range >> 15) * ((q[m] + s[m]) >> 1)
        if self.code < bound:
            bit, self.range = 0, bound
            q[m] += (32768 - q[m]) >> 4
            s[m] += (32768 - s[m]) >> 7
        else:
            bit = 1
            self.code -= bound
            self.range -= bound
            q[m] -= q[m] >> 4
            s[m] -= s[m] >> 7
        self.normalise()
        return bit

    def decode_raw(self):
        if self.exhausted:
            raise Stop
        self.range >>= 1
        bit = 0
        if self.code >= self.range:
            bit = 1
            self.code -= self.range
        self.normalise()
        return bit


# -------------------------------------------------- bit-plane coder

# Offsets of the model groups in a plane's model table.
SIG, SIGN, REFINE, RUN, RUNPOS, ACTIVE, SEGMENT, NMODELS = \
    0, 216, 225, 228, 232, 235, 239, 243


def band_rects(width, height, levels):
    """Band list in coding order: (x0, y0, w, h, orientation)."""
    ws, hs = [width], [height]
    for _ in range(levels):
        ws.append((ws[-1] + 1) // 2)
        hs.append((hs[-1] + 1) // 2)
    bands = [(0, 0, ws[levels], hs[levels], 0)]
    for l in range(levels, 0, -1):
        bands.append((ws[l], 0, ws[l - 1] - ws[l], hs[l], 1))
        bands.append((0, hs[l], ws[l], hs[l - 1] - hs[l], 2))
        bands.append((ws[l], hs[l], ws[l - 1] - ws[l], hs[l - 1] - hs[l], 3))
    return bands


class Band:
    """Coefficient states of one band, on a grid with a one-sample zero
    border so that neighbour look-ups need no bounds checks."""

    def __init__(self, rect, parent):
        self.x0, self.y0, self.w, self.h, self.o = rect
        self.parent = parent
        self.stride = self.w + 2
        size = (self.w + 2) * (self.h + 2)
        self.sv = [0] * size    # 0 insignificant, +1 positive, -1 negative
        self.hv = [0] * size    # 9 * horizontal + 3 * vertical significant neighbours
        self.dg = [0] * size    # significant diagonal neighbours
        self.visited = [0] * size
        self.refined = [0] * size
        self.mag = [0] * size
        self.lowest = [0] * size
        self.segcols = (self.w + 15) >> 4
        self.busy = [0] * (((self.h + 3) >> 2) * self.segcols)
        self.active = False

    def pos(self, x, y):
        return (y + 1) * self.stride + x + 1

    def quantised(self):
        """The q values of the band (FORMAT_BODY.md, Reconstruction)."""
        sv = np.array(self.sv, np.int64)
        mag = np.array(self.mag, np.int64)
        low = np.array(self.lowest, np.int64)
        q = mag + np.where(low > 0, np.left_shift(1, np.maximum(low - 1, 0)), 0)
        q = np.clip(np.where(sv < 0, -q, q) * (sv != 0), -2**31, 2**31 - 1)
        return q.reshape(self.h + 2, self.w + 2)[1:-1, 1:-1]


class PlaneDecoder:
    """Models and band states of one image plane."""

    def __init__(self, dec, width, height, levels):
        self.dec = dec
        self.q = [16384] * NMODELS
        self.s = [16384] * NMODELS
        self.bands = []
        for i, rect in enumerate(band_rects(width, height, levels)):
            parent = self.bands[i - 3] if i >= 4 else None
            self.bands.append(Band(rect, parent))

    def bit(self, m):
        return self.dec.decode(self.q, self.s, m)

    # --- contexts
    @staticmethod
    def neighbourhood(b, pos):
        return b.hv[pos] + min(b.dg[pos], 2)

    @staticmethod
    def sign_context(b, pos):
        sv, st = b.sv, b.stride
        hor = max(-1, min(1, sv[pos - 1] + sv[pos + 1]))
        ver = max(-1, min(1, sv[pos - st] + sv[pos + st]))
        return 3 * (hor + 1) + (ver + 1)

    @staticmethod
    def parent_significant(b, x, y):
        p = b.parent
        if p is None:
            return 0
        px, py = min(x >> 1, p.w - 1), min(y >> 1, p.h - 1)
        return 1 if p.sv[p.pos(px, py)] else 0

    # --- state changes
    def become_significant(self, b, x, y, p, negative):
        pos, st = b.pos(x, y), b.stride
        b.sv[pos] = -1 if negative else 1
        b.mag[pos], b.lowest[pos] = 1 << p, p
        b.hv[pos - 1] += 9
        b.hv[pos + 1] += 9
        b.hv[pos - st] += 3
        b.hv[pos + st] += 3
        for d in (-st - 1, -st + 1, st - 1, st + 1):
            b.dg[pos + d] += 1
        for yy in range(max(y - 1, 0), min(y + 2, b.h)):
            for xx in range(max(x - 1, 0), min(x + 2, b.w)):
                b.busy[(yy >> 2) * b.segcols + (xx >> 4)] = 1

    def code_significance(self, b, x, y, p, n, with_parent):
        ctx = n + (27 * self.parent_significant(b, x, y) if with_parent else 0)
        if self.bit(SIG + 54 * b.o + ctx):
            neg = self.bit(SIGN + self.sign_context(b, b.pos(x, y)))
            self.become_significant(b, x, y, p, neg)

    def run_possible(self, b, x, y0):
        pos = b.pos(x, y0)
        for r in range(4):
            k = pos + r * b.stride
            if b.sv[k] or b.visited[k] or b.hv[k] or b.dg[k]:
                return False
        return True

    def code_run(self, b, x, y0, p):
        if self.bit(RUN + b.o) == 0:
            return y0 + 4
        high = self.bit(RUNPOS)
        low = self.bit(RUNPOS + 1 + high)
        r = 2 * high + low
        neg = self.bit(SIGN + self.sign_context(b, b.pos(x, y0 + r)))
        self.become_significant(b, x, y0 + r, p, neg)
        return y0 + r + 1

    # --- column functions, y from y0 to y1 - 1
    def column_significance(self, b, x, y0, y1, p):
        for y in range(y0, y1):
            pos = b.pos(x, y)
            if not b.sv[pos] and (b.hv[pos] or b.dg[pos]):
                self.code_significance(b, x, y, p, self.neighbourhood(b, pos), True)
                b.visited[pos] = 1

    def column_refinement(self, b, x, y0, y1, p):
        for y in range(y0, y1):
            pos = b.pos(x, y)
            if b.sv[pos] and not b.visited[pos]:
                if b.refined[pos]:
                    ctx = 2
                else:
                    ctx = 1 if (b.hv[pos] or b.dg[pos]) else 0
                b.mag[pos] |= self.bit(REFINE + ctx) << p
                b.lowest[pos] = p
                b.refined[pos] = 1

    def column_cleanup(self, b, x, y0, y1, p):
        y = y0
        if y1 - y0 == 4 and self.run_possible(b, x, y0):
            y = self.code_run(b, x, y0, p)
        for y in range(y, y1):
            pos = b.pos(x, y)
            if b.visited[pos]:
                b.visited[pos] = 0
            elif not b.sv[pos]:
                self.code_significance(b, x, y, p, self.neighbourhood(b, pos), True)

    def column_single(self, b, x, y0, y1, p):
        y = y0
        if y1 - y0 == 4 and self.run_possible(b, x, y0):
            y = self.code_run(b, x, y0, p)
        for y in range(y, y1):
            pos = b.pos(x, y)
            if b.sv[pos]:
                if b.refined[pos]:
                    bit = self.dec.decode_raw()
                else:
                    bit = self.bit(REFINE + (1 if (b.hv[pos] or b.dg[pos]) else 0))
                    b.refined[pos] = 1
                b.mag[pos] |= bit << p
                b.lowest[pos] = p
            else:
                self.code_significance(b, x, y, p, self.neighbourhood(b, pos), False)

    # --- passes
    def scan_band(self, b, p, column, codes_quiet_segments):
        for y0 in range(0, b.h, 4):
            y1 = min(b.h, y0 + 4)
            for c in range(b.segcols):
                if not b.busy[(y0 >> 2) * b.segcols + c]:
                    if not codes_quiet_segments:
                        continue
                    if self.bit(SEGMENT + b.o) == 0:
                        continue
                for x in range(16 * c, min(b.w, 16 * c + 16)):
                    column(b, x, y0, y1, p)

    def pass_over_band(self, b, p, kind):
        if not b.active:
            if b.w == 0 or b.h == 0 or kind in ("significance", "refinement"):
                return
            b.active = bool(self.bit(ACTIVE + b.o))
            if not b.active:
                return
        column = getattr(self, "column_" + kind)
        self.scan_band(b, p, column, kind in ("cleanup", "single"))

    def quantised(self, width, height):
        q = np.zeros((height, width), np.int64)
        for b in self.bands:
            q[b.y0:b.y0 + b.h, b.x0:b.x0 + b.w] = b.quantised()
        return q


def read_varint(body, pos):
    value = 0
    for i in range(6):
        if pos >= len(body):
            return None, pos
        byte = body[pos]
        pos += 1
        value |= (byte & 0x7F) << (7 * i)
        if not byte & 0x80:
            return value, pos
    raise TvxError("damaged: byte cap varint too long")


def decode_body(body, layer, nplanes, width, height, levels):
    """The integer planes q (FORMAT_BODY.md)."""
    # A preamble cut short decodes to zeros, but the fields present are checked.
    zeros = [np.zeros((height, width), np.int64) for _ in range(nplanes)]
    if len(body) < 1:
        return zeros
    if body[0] >> 4 != layer or body[0] & 15 != nplanes:
        raise TvxError("damaged: body preamble does not match the header")
    if len(body) < 2:
        return zeros
    floor = body[1]
    if floor > 32 or (floor and layer != 3):
        raise TvxError("damaged: bad resolution floor")
    pos, bitplanes, caps = 2, [], []
    for _ in range(nplanes):
        if pos >= len(body):
            return zeros
        if body[pos] > 32:
            raise TvxError("damaged: too many bit planes")
        bitplanes.append(body[pos])
        cap, pos = read_varint(body, pos + 1)
        if cap is None:
            return zeros
        caps.append(cap - 1 if cap else None)

    dec = RangeDecoder(body, pos)
    planes = [PlaneDecoder(dec, width, height, levels) for _ in range(nplanes)]
    used = [0] * nplanes

    def unit(c, p, kind, bands):
        if caps[c] is not None and used[c] >= caps[c]:
            return
        before = dec.steps
        for b in bands:
            planes[c].pass_over_band(b, p, kind)
        used[c] += dec.steps - before

    tmax = max(bitplanes)
    try:
        if layer == 1:
            for p in range(tmax - 1, -1, -1):
                for kind in ("significance", "refinement", "cleanup"):
                    for c in range(nplanes):
                        if p < bitplanes[c]:
                            unit(c, p, kind, planes[c].bands)
        elif layer == 2:
            for p in range(tmax - 1, -1, -1):
                for c in range(nplanes):
                    if p < bitplanes[c]:
                        unit(c, p, "single", planes[c].bands)
        else:
            for g in range(levels + 1):
                for c in range(nplanes):
                    group = planes[c].bands[:1] if g == 0 else planes[c].bands[3 * g - 2:3 * g + 1]
                    for p in range(bitplanes[c] - 1, floor - 1, -1):
                        unit(c, p, "single", group)
            for p in range(min(tmax, floor) - 1, -1, -1):
                for c in range(nplanes):
                    if p < bitplanes[c]:
                        unit(c, p, "single", planes[c].bands)
    except Stop:
        pass
    return [pl.quantised(width, height) for pl in planes]


# ------------------------------------------------------ dequantisation

def _gain_table(text):
    rows = [list(map(float, line.split())) for line in text.strip().splitlines()]
    # columns: 9/7 (types 0, 4), 18/10, mixed, S+P, two-six, 5/3
    col = {0: 0, 4: 0, 1: 1, 2: 2, 3: 3, 5: 4, 6: 5}
    return {t: [None] + [row[c] for row in rows] for t, c in col.items()}


GAIN_LOW = _gain_table("""
1.4021081468 1.3020617716 1.4021081468 1.4541606972 1.4361406616 1.2247448714
2.0303719448 1.8066611719 1.8842142811 2.0985282340 2.0625000000 1.6583123952
2.9011623942 2.5485566219 2.5781366884 2.9883462134 2.9357281475 2.3184046239
4.1152844107 3.6028136858 3.6131853087 4.2343577955 4.1601437564 3.2691742077
5.8245097806 5.0947468191 5.0983986444 5.9913424030 5.8866557274 4.6199296531
8.2387578299 7.2049265311 7.2062155450 8.4741651483 8.3262337781 6.5323713152
11.6519506219 10.1892583846 10.1897135149 11.9847121392 11.7755681329 9.2377452606
16.4785539416 14.4097710621 14.4099311079 16.9491401604 16.6533849585 13.0639951297
23.3041944725 20.3784936668 20.3787200056 23.9697038854 23.5514428678 18.4752790913
32.9571078831 28.8195421243 28.8198622157 33.8982803208 33.3067699170 26.1279902595
46.6083889449 40.7569873335 40.7574400112 47.9394077708 47.1028857355 36.9505581825
65.9142157663 57.6390842485 57.6397244314 67.7965606416 66.6135398341 52.2559805190
93.2167778899 81.5139746670 81.5148800224 95.8788155416 94.2057714711 73.9011163650
131.8284315325 115.2781684970 115.2794488629 135.5931212833 133.2270796682 104.5119610380
186.4335557797 163.0279493340 163.0297600448 191.7576310833 188.4115429421 147.8022327301
""")

GAIN_HIGH = _gain_table("""
0.7212614800 0.7794130737 0.7212614800 0.7302967434 0.7071067812 0.8477912479
0.9834713744 0.9562312857 1.0649846967 1.0720814170 1.0155048006 0.9601432185
1.4419623342 1.3038282200 1.4041310979 1.5581105364 1.4692485856 1.2593401050
2.0737600153 1.8349353443 1.8740032731 2.2239469729 2.0988925012 1.7444107171
2.9473240751 2.5931068748 2.6068442868 3.1532649277 2.9777855951 2.4538713037
4.1735879844 3.6666713529 3.6715109727 4.4624064837 4.2150139779 3.4656517695
5.9042998007 5.1852789891 5.1869879700 6.3118844213 5.9623547362 4.8995276399
8.3506348721 7.3330301673 7.3336339257 8.9267482641 8.4325667649 6.9283970402
11.8095810905 10.3704707158 10.3713245592 12.6243284630 11.9254502846 9.7982330598
16.7012697441 14.6660603345 14.6672678514 17.8534965282 16.8651335298 13.8567940804
23.6191621810 20.7409414317 20.7426491184 25.2486569259 23.8509005691 19.5964661196
33.4025394883 29.3321206691 29.3345357028 35.7069930564 33.7302670596 27.7135881609
47.2383243620 41.4818828633 41.4852982368 50.4973138519 47.7018011382 39.1929322391
66.8050789766 58.6642413381 58.6690714056 71.4139861127 67.4605341193 55.4271763217
94.4766487241 82.9637657267 82.9705964736 100.9946277038 95.4036022764 78.3858644782
""")


def weight_map(width, height, levels, transform):
    """weight(b) at every coefficient position of a plane."""
    lo, hi = GAIN_LOW[transform], GAIN_HIGH[transform]
    w = np.ones((height, width))
    if levels == 0:
        return w
    rects = band_rects(width, height, levels)
    _, _, bw, bh, _ = rects[0]
    w[:bh, :bw] = lo[levels] ** 2
    for i, (x0, y0, bw, bh, o) in enumerate(rects[1:]):
        l = levels - i // 3
        w[y0:y0 + bh, x0:x0 + bw] = {1: hi[l] * lo[l], 2: lo[l] * hi[l], 3: hi[l] ** 2}[o]
    return w


def dequantise(q, hdr, plane):
    factor = 1.0
    if plane > 0:
        factor = float(np.float32(math.sqrt(min(max(100 - hdr["portion"], 1), 99) / 10)))
    scale = float(np.float32(hdr["step"])) / (
        weight_map(hdr["width"], hdr["height"], hdr["levels"], hdr["transform"]) * factor)
    qf = q.astype(np.float64)
    c = np.where(q > 0, (qf + 0.375) * scale, np.where(q < 0, (qf - 0.375) * scale, 0.0))
    return c.astype(np.float32)


# ------------------------------------------------------ 1-D transforms

def pair_d(d, lows):
    """D(i-1) + D(i) for i < lows, D mirrored about the end samples."""
    ext = np.concatenate([d[:1], d, d[-1:]])
    return ext[:lows] + ext[1:lows + 1]


def pair_s(s, highs):
    """S(i) + S(i+1) for i < highs."""
    ext = np.concatenate([s, s[-1:]])
    return ext[:highs] + ext[1:highs + 1]


ALPHA, BETA = -1.586134342059924, -0.052980118572961
GAMMA, DELTA = 0.882911075530934, 0.443506852043971
K97 = 1.230174104914001


def inverse_97(s, d, n):
    lows, highs = len(s), len(d)
    s, d = s * K97, d * (1 / K97)
    s = s - DELTA * pair_d(d, lows)
    d = d - GAMMA * pair_s(s, highs)
    s = s - BETA * pair_d(d, lows)
    d = d - ALPHA * pair_s(s, highs)
    return interleave(s, d, n)


SYN_LOW = [0.00134974786501426, -3.8568379904653913e-06, -0.013367801370100827,
           -0.003575184627288913, 0.043605485346361314, -0.019466840376057254,
           -0.12114321430762624, 0.23103800572079383, 0.88156365858689412,
           0.88156365858689412, 0.23103800572079383, -0.12114321430762624,
           -0.019466840376057254, 0.043605485346361314, -0.003575184627288913,
           -0.013367801370100827, -3.8568379904653913e-06, 0.00134974786501426]
SYN_HIGH = [0.020401844374067404, -5.8297264620133661e-05, -0.1113880188246114,
            -0.054299075394283088, 0.53662880179164063, -0.53662880179164063,
            0.054299075394283088, 0.1113880188246114, 5.8297264620133661e-05,
            -0.020401844374067404]
SYN_LOW_K0, SYN_HIGH_K0 = -8, -4      # k of the first tap
HALF, WHOLE, HALF_ANTI, WHOLE_ANTI_AFTER = range(4)


def reflect(i, length, left, right):
    sign = 1
    while i < 0 or i >= length:
        if i < 0:
            if left == WHOLE:
                i = -i
            else:
                i = -1 - i
                if left == HALF_ANTI:
                    sign = -sign
        elif right == WHOLE:
            i = 2 * (length - 1) - i
        elif right == WHOLE_ANTI_AFTER:
            if i == length:
                return 0, 0
            i = 2 * length - i
            sign = -sign
        else:
            i = 2 * length - 1 - i
            if right == HALF_ANTI:
                sign = -sign
    return i, sign


_synthesis_cache = {}


def synthesis_matrices(n):
    """Matrices A (n x lows), B (n x highs) with x = A s + B d for the 18/10 bank."""
    if n not in _synthesis_cache:
        lows, highs, odd = (n + 1) // 2, n // 2, n % 2 == 1
        a, b = np.zeros((n, lows)), np.zeros((n, highs))
        for m in range(n):
            for taps, k0, mat, length, left, right in (
                    (SYN_LOW, SYN_LOW_K0, a, lows, HALF, WHOLE if odd else HALF),
                    (SYN_HIGH, SYN_HIGH_K0, b, highs, HALF_ANTI,
                     WHOLE_ANTI_AFTER if odd else HALF_ANTI)):
                for t, tap in enumerate(taps):
                    k = k0 + t
                    if (m - k) % 2 == 0:
                        j, sign = reflect((m - k) // 2, length, left, right)
                        mat[m, j] += sign * tap
        _synthesis_cache[n] = (a, b)
    return _synthesis_cache[n]


def inverse_1810(s, d, n):
    a, b = synthesis_matrices(n)
    return a @ s + b @ d


def inverse_53(s, d, n):
    lows, highs = len(s), len(d)
    even = s - ((pair_d(d, lows) + 2) >> 2)
    after = np.concatenate([even[1:], even[-1:]])[:highs]    # X(2i+2)
    odd = d + ((even[:highs] + after) >> 1)
    return interleave(even, odd, n)


def inverse_sp(s, d, n):
    lows, highs = len(s), len(d)
    l, h = s, d.copy()
    for k in range(highs - 1, -1, -1):
        if k == 0 and lows < 2:
            continue
        if k == 0:
            h[0] += (l[0] - l[1] + 2) >> 2
        elif k == highs - 1:
            h[k] += (l[k - 1] - l[k] + 2) >> 2
        else:
            h[k] += (2 * (l[k - 1] - l[k]) + 3 * (l[k] - l[k + 1]) - 2 * h[k + 1] + 4) >> 3
    a = l[:highs] + ((h + 1) >> 1)
    return interleave(np.concatenate([a, l[highs:]]), a - h, n)


def inverse_two_six(s, d, n):
    lows, highs = len(s), len(d)
    i = np.arange(highs)
    d1 = d - ((s[np.maximum(i - 1, 0)] - s[np.minimum(i + 1, lows - 1)] + 2) >> 2)
    even = s[:highs] - (d1 >> 1)
    return interleave(np.concatenate([even, s[highs:]]), d1 + even, n)


def interleave(s, d, n):
    x = np.empty((n,) + s.shape[1:], s.dtype)
    x[0::2], x[1::2] = s, d
    return x


def kernel(transform, level):
    if transform == 2:
        return inverse_97 if level == 1 else inverse_1810
    return {0: inverse_97, 4: inverse_97, 1: inverse_1810, 3: inverse_sp,
            5: inverse_two_six, 6: inverse_53}[transform]


def inverse_transform(plane, levels, transform):
    """Inverse 2-D transform of a plane in the Mallat layout (FORMAT.md)."""
    x = plane.copy()
    height, width = x.shape
    for l in range(levels, 0, -1):
        w, h = -(-width // 2 ** (l - 1)), -(-height // 2 ** (l - 1))
        f = kernel(transform, l)
        r = x[:h, :w]
        if h >= 2:      # columns: each column is a signal along axis 0
            lows = (h + 1) // 2
            r = f(r[:lows], r[lows:], h)
        if w >= 2:      # rows
            lows = (w + 1) // 2
            r = f(r.T[:lows], r.T[lows:], w).T
        x[:h, :w] = r
    return x


# -------------------------------------------------------------- colour

def sample_range(color_type):
    """(level shift, lowest, highest sample) of a colour type."""
    return {0: (128, 0, 255), 1: (128, 0, 255), 2: (128, 0, 255),
            3: (0, -32768, 32767), 4: (32768, 0, 65535)}[color_type]


def colour_inverse_float(x, color_type):
    shift, lo, hi = sample_range(color_type)

    def out(v):
        return np.clip(np.rint(v), lo, hi).astype(np.int64)

    if len(x) == 1:
        return out(x[0] + shift)[..., None]
    y, cb, cr = x[0] + shift, x[1], x[2]
    return np.stack([out(y + 1.402 * cr), out(y - 0.344136 * cb - 0.714136 * cr),
                     out(y + 1.772 * cb)], axis=-1)


def colour_inverse_integer(x, color_type):
    shift, lo, hi = sample_range(color_type)
    x = [np.clip(p, -2**20, 2**20) for p in x]
    if len(x) == 1:
        return np.clip(x[0] + shift, lo, hi)[..., None]
    y, cb, cr = x
    g = y + shift - ((cb + cr) >> 2)
    return np.clip(np.stack([cr + g, g, cb + g], axis=-1), lo, hi)


# -------------------------------------------------------------- decoder

def decode(data):
    """Decode a .tvx stream: returns (samples [h, w, planes], maxval).

    Samples are as the tavix tool writes them: 8-bit, or 16-bit unsigned
    clamped to the maximum value the header records (auxWord3)."""
    data = bytes(data)
    hdr = parse_header(data)
    body = data[HEADER_LEN:HEADER_LEN + hdr["bodyLength"]]
    q = decode_body(body, hdr["layer"], hdr["planes"], hdr["width"], hdr["height"],
                    hdr["levels"])
    levels, transform = hdr["levels"], hdr["transform"]
    if hdr["mode"] == 2:
        c = [np.clip(p, -2**22, 2**22) for p in q]
    else:
        c = [dequantise(p, hdr, i) for i, p in enumerate(q)]
    if hdr["flags"] & 2:
        if hdr["mode"] != 2:
            c = [np.rint(np.clip(p, -2**22, 2**22)).astype(np.int64) for p in c]
        x = [inverse_transform(p, levels, transform) for p in c]
        pixels = colour_inverse_integer(x, hdr["colorType"])
    else:
        x = [inverse_transform(p.astype(np.float64), levels, transform) for p in c]
        pixels = colour_inverse_float(x, hdr["colorType"])
    if hdr["colorType"] in (3, 4):
        maxval = hdr["auxWord3"] or 65535
        if hdr["colorType"] == 3:
            pixels = pixels + 32768
        return np.clip(pixels, 0, maxval), maxval
    return pixels, 255


def write_pnm(path, pixels, maxval):
    height, width, planes = pixels.shape
    dtype = ">u2" if maxval > 255 else "u1"
    with open(path, "wb") as f:
        f.write(b"P%d\n%d %d\n%d\n" % (6 if planes == 3 else 5, width, height, maxval))
        f.write(pixels.astype(dtype).tobytes())


def main(argv):
    if len(argv) != 3:
        print("usage: tvxdecode.py IN.tvx OUT.pnm", file=sys.stderr)
        return 2
    try:
        with open(argv[1], "rb") as f:
            pixels, maxval = decode(f.read())
        write_pnm(argv[2], pixels, maxval)
    except (OSError, TvxError) as e:
        print("tvxdecode: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
