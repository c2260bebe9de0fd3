#!/usr/bin/env bash
# A recording with sound that ends by a full disk (see full_disk_sound_bench.cpp): a small file
# system is mounted over the Wine prefix's temporary folder, a tone plays into the sound server's
# null sink, and the real engine records a 160 x 120 region with sound until the disk is full,
# once filling it itself and once with another file taking the last byte while it records.
#   bench/full_disk/run.sh [size of the small disk in MB, default 24] [runs of each, default 3]
# Mounting needs root.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
megabytes=${1:-24}
runs=${2:-3}
source "$here/../../scripts/env.sh"
cd "$root"
if [ "$(id -u)" != 0 ]; then
  echo "mounting the small file system needs root" >&2
  exit 1
fi
cmake --preset windows >/dev/null
cmake --build --preset windows -j 2 --target full_disk_sound_bench >/dev/null

framelark_use_fast_heap
temp="$WINEPREFIX/drive_c/windows/temp"
cleanup() {
  pkill_tone
  framelark_stop_services
  umount "$temp" 2>/dev/null || true
}
tone=""
pkill_tone() { if [ -n "$tone" ]; then kill "$tone" 2>/dev/null || true; wait "$tone" 2>/dev/null || true; tone=""; fi; }
trap cleanup EXIT
trap 'exit 130' INT TERM
framelark_start_display
framelark_start_sound
framelark_prepare_prefix
mkdir -p "$temp"
mount -t tmpfs -o "size=${megabytes}m" framelark_bench_small_disk "$temp"
framelark_start_wine
scratch=$(mktemp -d)
sox -n "$scratch/tone.wav" synth 600 sine 440
paplay -d rec "$scratch/tone.wav" </dev/null >/dev/null 2>&1 &
tone=$!
sleep 1
for how in grows ballast; do
  for run in $(seq 1 "$runs"); do
    echo "== $how, run $run, ${megabytes} MB disk, load average $(cut -d' ' -f1-3 /proc/loadavg)"
    wine build/windows/bench/full_disk/full_disk_sound_bench.exe "$how" </dev/null 2>/dev/null | tr -d '\r' || true
    rm -f "$temp"/* 2>/dev/null || true
  done
done
rm -rf "$scratch"
