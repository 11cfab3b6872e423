#!/usr/bin/env bash
# Builds Korvex and runs every test.  scripts/test.sh --sanitize: the same with address and
# undefined-behaviour sanitizers, in build-sanitize/.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$("$here/scripts/build.sh" "$@")
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export LSAN_OPTIONS="suppressions=$here/tests/sanitizer-leaks.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
ctest --output-on-failure -j "${KORVEX_JOBS:-2}" --timeout 600
