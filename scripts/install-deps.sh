#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking TAVIX
# Photo needs. Safe to run again: packages already present are skipped.
set -euo pipefail

packages=(
  # toolchain and test frameworks
  cmake g++ make clang libclang-rt-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # image libraries behind the JPEG, TIFF and GIF adapters
  libjpeg-dev libtiff-dev libgif-dev libpng-dev zlib1g-dev
  # the application's user interface, a font for it, and an X server for
  # screenshots and GUI runs on machines without a display
  qt6-base-dev qt6-qpa-plugins fonts-dejavu-core xvfb xauth
  # desktop integration: .desktop and MIME database tools
  desktop-file-utils shared-mime-info
  # independent tools that make and check test fixtures
  imagemagick netpbm libjpeg-turbo-progs
  # peer codecs, real photographs (one of 20 megapixels among the wallpapers)
  # and GNU time (peak memory of a child) for the benchmarks
  libopenjp2-tools openjph-tools grokj2k-tools libjxl-tools libavif-bin webp
  python3-skimage python3-numpy lomiri-wallpapers-20.04 time
  # the WebAssembly decoder (web/), its tests under Node and headless Chromium
  emscripten nodejs chromium
)
# npm comes with some node builds; Debian's own node needs its package.
if ! command -v npm >/dev/null 2>&1; then packages+=(npm); fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$package")
  fi
done

# The web component's test driver and demo server (web/package-lock.json),
# from the npm registry; without them only the browser tests are skipped.
install_web_modules() {
  local web
  web="$(cd "$(dirname "$0")/.." && pwd)/web"
  if [ -f "$web/package-lock.json" ] && [ ! -d "$web/node_modules/puppeteer-core" ] && command -v npm >/dev/null 2>&1; then
    (cd "$web" && npm ci --no-audit --no-fund --loglevel=error) ||
      echo "install-deps: npm ci in web/ failed; the browser tests will be skipped"
  fi
}

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  install_web_modules
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
install_web_modules
