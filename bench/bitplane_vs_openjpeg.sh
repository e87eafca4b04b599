#!/bin/sh
# Rate-distortion and speed of the embedded coder against OpenJPEG on a grey
# photo (OpenJPEG with its irreversible 9/7 path, -I). Usage: bench/bitplane_vs_openjpeg.sh <build-dir> [image.png]
# Needs imagemagick, libopenjp2-tools and python3 (scripts/install-deps.sh).
#
# Our figures are the coded body alone (bytes = bpp * pixels / 8) and time the
# entropy coder alone (no transform, no file I/O). OpenJPEG's are whole files
# and whole programs (transform and PGM I/O included), single-threaded, CPU
# time averaged over five runs.
set -eu
build=${1:?usage: $0 <build-dir> [image.png]}
image=${2:-/usr/lib/python3/dist-packages/skimage/data/camera.png}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

convert "$image" -colorspace gray -depth 8 "$work/in.pgm"

# CPU milliseconds per run of a command, over five runs.
cpu_ms() {
  python3 -c '
import resource, subprocess, sys
for _ in range(5):
    subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.1f" % ((r.ru_utime + r.ru_stime) * 1000 / 5))' "$@"
}

echo "== ours"
"$build/bench/bitplane_bench" --pgm="$work/in.pgm" --benchmark_filter='1bpp'

echo "== OpenJPEG"
printf '%-6s %8s %10s %14s %14s\n' bpp bytes PSNR encode-cpu-ms decode-cpu-ms
for bpp in 0.25 0.5 1.0; do
  ratio=$(echo "8 / $bpp" | bc -l)
  encode=$(cpu_ms opj_compress -i "$work/in.pgm" -o "$work/x.j2k" -r "$ratio" -I -threads 1)
  decode=$(cpu_ms opj_decompress -i "$work/x.j2k" -o "$work/x.pgm" -threads 1)
  psnr=$(compare -metric PSNR "$work/in.pgm" "$work/x.pgm" null: 2>&1 || true)
  printf '%-6s %8s %10s %14s %14s\n' "$bpp" "$(stat -c %s "$work/x.j2k")" "$psnr" "$encode" "$decode"
done
