#!/usr/bin/env bash
# The main job on the shipped sample: builds the tools, compresses the
# photograph in samples/ to .tvx at the default settings and at a fixed file
# size, describes the files, and decodes them again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" --target tavix -j"$(nproc)"
tavix="$build_dir/tools/tavix"
out=${OUT_DIR:-$build_dir/sample-output}
mkdir -p "$out"
sample=samples/chelsea.ppm

echo "== compress $sample (quality 40, 9/7, standard layer)"
"$tavix" compress "$sample" "$out/chelsea-q40.tvx"
echo "== compress $sample to 4000 bytes"
"$tavix" compress --size 4000 "$sample" "$out/chelsea-4000.tvx"
echo "== describe"
"$tavix" info "$out/chelsea-q40.tvx"
"$tavix" info "$out/chelsea-4000.tvx"
echo "== decompress"
"$tavix" decompress "$out/chelsea-q40.tvx" "$out/chelsea-q40.ppm"
"$tavix" decompress "$out/chelsea-4000.tvx" "$out/chelsea-4000.bmp"
ls -l "$sample" "$out"
