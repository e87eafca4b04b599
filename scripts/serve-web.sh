#!/usr/bin/env bash
# Serves the <tavix-image> demo page: builds the WebAssembly decoder and the
# tavix tool, makes the demo's .tvx files from samples/, and serves them
# over HTTP with byte ranges.
#
#   scripts/serve-web.sh [--rate BYTES_PER_SECOND] [--port N] [--host ADDRESS]
#
# --rate paces every response (for example --rate 4000) so that the images
# can be watched sharpening; the page is at http://127.0.0.1:8080/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" --target tavix tavix_web -j"$(nproc)"
node web/tools/make-demo-images.mjs "$build_dir/tools/tavix" samples "$build_dir/web/demo-images"
exec node web/tools/serve.mjs --dist "$build_dir/web/dist" --images "$build_dir/web/demo-images" "$@"
