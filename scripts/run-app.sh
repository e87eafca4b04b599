#!/usr/bin/env bash
# The main job: builds TAVIX Photo and starts it on the shipped sample
# photograph, compressed to .tvx by the command-line tool first. Without a
# display the program runs under Xvfb, saves a screenshot of its window to
# the build folder and ends.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIX_WERROR=ON >/dev/null
cmake --build "$build_dir" --target TavixPhoto tavix -j"$(nproc)"

out="$build_dir/sample-output"
mkdir -p "$out"
sample="$out/chelsea.tvx"
"$build_dir/tools/tavix" compress --quality 40 samples/chelsea.ppm "$sample" >/dev/null

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$build_dir/TavixPhoto" "$sample"
fi
shot="$build_dir/main-window.png"
echo "No display: running TAVIX Photo under Xvfb; the window is saved to $shot"
xvfb-run -a -s "-screen 0 1280x900x24" \
  "$build_dir/TavixPhoto" --new-instance --no-splash --screenshot "$shot" "$sample"
