#!/usr/bin/env bash
# The web build's figures in headless Chromium: the processor paths beside memset and memcpy
# (build/wasm/cpu_paths_bench.html), then the whole show in the page's test mode on each path
# with its real-time factor (target: 30 or more on SIMD128).
# Usage: bench/web_bench.sh [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/web.sh >/dev/null
cmake --preset default >/dev/null
cmake --build --preset default --target vantrose >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
node tests/web/browser_test.mjs bench build/wasm build/default/vantrose build/default/data "$out" "${1:-7}"
node tests/web/browser_test.mjs checksums build/web build/default/vantrose build/default/data "$out" 0 |
    grep -E '^web,|FAIL'
