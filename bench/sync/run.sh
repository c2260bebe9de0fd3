#!/usr/bin/env bash
# Audio/video synchronisation of a real recording with sound, in one command:
#   bench/sync/run.sh [seconds, default 120] [seconds between events, default 10]
# Builds framelark.exe and the loopback recorder, starts its own display, sound server and Wine
# prefix (as scripts/test does), and prints per event the offset of the sound from the picture, then
# the start offset and the drift against their targets.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-120}
every=${2:-10}
source "$here/../../scripts/env.sh"
cd "$root"
"$root/scripts/setup"
cmake --preset windows >/dev/null
cmake --build --preset windows -j 2 --target framelark hook hookkey animator loopback_recorder >/dev/null

framelark_start_services
/usr/bin/python3 "$here/sync_bench.py" --build "$root/build/windows" --seconds "$seconds" --every "$every" \
  "${@:3}"
