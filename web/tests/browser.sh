#!/usr/bin/env bash
# Runs the headless-Chromium tests of <tavix-image>: browser.sh NODE
# Installs the test driver (puppeteer-core, from package-lock.json) when it
# is missing; exits 77, which CTest reports as skipped, when Chromium or the
# driver cannot be had.
set -uo pipefail
node=${1:-node}
web="$(cd "$(dirname "$0")/.." && pwd)"
chromium=${TAVIX_CHROMIUM:-$(command -v chromium || true)}
if [ -z "$chromium" ]; then
  echo "web_browser: chromium is not installed; skipped"
  exit 77
fi
if [ ! -d "$web/node_modules/puppeteer-core" ] || [ ! -d "$web/node_modules/send" ]; then
  if ! command -v npm >/dev/null || ! (cd "$web" && npm ci --no-audit --no-fund --loglevel=error); then
    echo "web_browser: puppeteer-core could not be installed; skipped"
    exit 77
  fi
fi
export TAVIX_CHROMIUM="$chromium"
exec "$node" --test "$web/tests/browser.test.mjs"
