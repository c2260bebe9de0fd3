#!/usr/bin/env bash
# Sizes and times of MP4, WebM and GIF made by the test ffmpeg.exe (scripts/setup) from a typing, a
# scrolling and a dragging recording (see convert_bench.cpp), printed as a table; then a 60 s
# full-HD recording saved as MP4 as after a stop, the main window probed while ffmpeg runs, once to
# the end and once cancelled at 50 % (see conversion_window_bench.cpp).
#   bench/convert/run.sh                   both
#   bench/convert/run.sh window [SECONDS]  the second alone (default 60 s)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/env.sh"
cd "$root"
what=${1:-all}
seconds=${2:-60}
"$root/scripts/setup"
cmake --preset windows >/dev/null
cmake --build --preset windows -j 2 --target convert_bench conversion_window_bench >/dev/null
framelark_start_services
scratch=$(mktemp -d -p "$root/build")
idle=""
trap '[ -z "$idle" ] || kill "$idle" 2>/dev/null; rm -rf "$scratch"; framelark_stop_services' EXIT
ffmpeg="$root/build/ffmpeg-win/node_modules/@ffmpeg-installer/win32-x64/ffmpeg.exe"
if [ "$what" = all ]; then
  echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"
  wine build/windows/bench/convert/convert_bench.exe "Z:${scratch//\//\\}" "Z:${ffmpeg//\//\\}" 2>/dev/null | tr -d '\r'
fi
# An idle window in another process, probed alongside the converting program's.
wine build/windows/bench/convert/conversion_window_bench.exe idle </dev/null >/dev/null 2>&1 &
idle=$!
sleep 2
for how in to-the-end cancel; do
  echo "== $seconds s at 1920 x 1080 to MP4, $how, load average $(cut -d' ' -f1-3 /proc/loadavg)"
  wine build/windows/bench/convert/conversion_window_bench.exe "Z:${scratch//\//\\}" "Z:${ffmpeg//\//\\}" \
    "$seconds" "$how" 2>/dev/null | tr -d '\r' || echo "(the bench found the outcome wrong)"
  rm -f "$scratch"/converted.*
done
echo "load average at the end $(cut -d' ' -f1-3 /proc/loadavg)"
