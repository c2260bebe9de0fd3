#!/usr/bin/env bash
# Sizes and times of MP4, WebM and GIF made by the test ffmpeg.exe (scripts/setup) from a typing, a
# scrolling and a dragging recording (see convert_bench.cpp), printed as a table.
#   bench/convert/run.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/env.sh"
cd "$root"
"$root/scripts/setup"
cmake --preset windows >/dev/null
cmake --build --preset windows -j 2 --target convert_bench >/dev/null
framelark_start_services
scratch=$(mktemp -d -p "$root/build")
trap 'rm -rf "$scratch"; framelark_stop_services' EXIT
ffmpeg="$root/build/ffmpeg-win/node_modules/@ffmpeg-installer/win32-x64/ffmpeg.exe"
echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"
wine build/windows/bench/convert/convert_bench.exe "Z:${scratch//\//\\}" "Z:${ffmpeg//\//\\}" 2>/dev/null | tr -d '\r'
