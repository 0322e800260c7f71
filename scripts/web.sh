#!/usr/bin/env bash
# Builds the web version into build/web/: the page, its WebAssembly and the show's data. The
# first build on a machine also compiles libopenmpt for the web (a few minutes, kept in
# ~/.cache/vantrose).
set -euo pipefail
cd "$(dirname "$0")/.."
# The web preset gives emcc NODE_PATH: its optimiser runs on node and needs Debian's acorn.
cmake --preset web >/dev/null
cmake --build --preset web
