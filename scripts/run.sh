#!/usr/bin/env bash
# Builds Korvex and starts the player; arguments go to the player (e.g. --audio-output=null).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$("$here/scripts/build.sh")
exec "$build/korvex" "$@"
