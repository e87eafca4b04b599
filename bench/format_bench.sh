#!/bin/sh
# Builds and runs the raster format benchmark; prints one table of ratios.
# Usage: bench/format_bench.sh [build folder] [JPEG file]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
cmake --build "$build" --target format_bench -j2 >/dev/null 2>&1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if [ $# -ge 2 ]; then
  jpeg=$2
else
  # A 2000 x 1500 JPEG of real photographs (crops at native resolution of two
  # skimage images, as in codec_vs_peers.py), so that process start-up is a
  # small part of djpeg's time.
  data=/usr/lib/python3/dist-packages/skimage/data
  convert "$data/hubble_deep_field.jpg" -crop 1000x750+0+61 +repage "$scratch/a.ppm" 2>/dev/null
  convert "$data/retina.jpg" -crop 1000x750+205+330 +repage "$scratch/b.ppm" 2>/dev/null
  convert \( "$scratch/a.ppm" "$scratch/b.ppm" +append \) \( "$scratch/b.ppm" "$scratch/a.ppm" +append \) \
    -append -depth 8 "ppm:$scratch/large.ppm"
  cjpeg -quality 90 -outfile "$scratch/large.jpg" "$scratch/large.ppm"
  jpeg=$scratch/large.jpg
fi
"$build/bench/format_bench" "$jpeg" "$scratch"
