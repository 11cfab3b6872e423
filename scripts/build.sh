#!/usr/bin/env bash
# Installs the dependencies (once) and builds Korvex into BUILD_DIR (default: build).
#   scripts/build.sh [--sanitize] [cmake options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="${BUILD_DIR:-$here/build}"
args=()
if [ "${1:-}" = "--sanitize" ]; then
  shift
  build="${BUILD_DIR:-$here/build-sanitize}"
  args+=(-DKORVEX_SANITIZE=ON -DKORVEX_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
fi
# Progress goes to stderr; the last line on stdout is the build folder.
"$here/scripts/install-deps.sh" >&2
cmake -S "$here" -B "$build" -G Ninja "${args[@]}" "$@" >&2
cmake --build "$build" -j "${KORVEX_JOBS:-2}" >&2
echo "$build"
