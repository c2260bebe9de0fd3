#!/usr/bin/env bash
# A long recording's save, as the program does it after a stop (see save_bench.cpp): with MS ADPCM
# and with the recorded PCM chosen, saved onto the temporary folder's disk (a move) and onto
# another file system (a copy); the saved movie's sound is decoded by ffmpeg and timed. Then a
# 400 MB file is deleted at once and as the program deletes its temporaries, three times each, a
# 3 GB recording is thrown away as the cancel key does it, and a 1.5 GB recording left by a crash
# is rebuilt as at the next start.
#   bench/completion/run.sh [seconds, default 3600; 0: the deletes alone] [other file system, default /dev/shm]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-3600}
other=${2:-/dev/shm}
source "$here/../../scripts/env.sh"
cd "$root"
cmake --preset windows >/dev/null
cmake --build --preset windows -j 2 --target save_bench >/dev/null

framelark_use_fast_heap
trap framelark_stop_services EXIT
trap 'exit 130' INT TERM
framelark_start_display
framelark_start_wine

same=$(mktemp -d -p "$root/build")
# Wine shows no folder under /dev: the other file system is reached through a link.
apart=$(mktemp -d -p "$root/build")
rmdir "$apart"
ln -s "$(mktemp -d -p "$other")" "$apart"
# An idle window in another process, probed alongside the saving program's.
wine build/windows/bench/completion/save_bench.exe idle </dev/null >/dev/null 2>&1 &
idle=$!
trap 'kill $idle 2>/dev/null; framelark_stop_services' EXIT
sleep 2
echo "$seconds s of sound and movie"
formats=(adpcm pcm)
[ "$seconds" -gt 0 ] || formats=()
for format in "${formats[@]}"; do
  for target in "$same" "$apart"; do
    echo "== $format, saved onto $(df --output=target "$target/" | tail -1), load average $(cut -d' ' -f1-3 /proc/loadavg)"
    wine build/windows/bench/completion/save_bench.exe "Z:${target//\//\\}" "$format" "$seconds" 2>/dev/null
    sound=$(ffmpeg -v error -i "$target/saved.avi" -map 0:a -f s16le -ac 2 -ar 22050 - | wc -c)
    echo "ffmpeg: the saved movie's sound lasts $(echo "scale=1; $sound / 88200" | bc) s"
    rm -f "$target/saved.avi"
  done
done
# What deleting a large temporary file costs every Wine window, at once and as the program does it.
for run in 1 2 3; do
  for how in at-once in-steps; do
    dd if=/dev/urandom of="$same/large.bin" bs=1M count=400 status=none
    sync
    echo "load average $(cut -d' ' -f1-3 /proc/loadavg): $(wine build/windows/bench/completion/save_bench.exe delete \
      "Z:${same//\//\\}\\large.bin" "$how" 2>/dev/null | tr -d '\r')"
  done
done
# A 3 GB recording thrown away with the cancel key: the main window must go on answering.
fallocate -l 3G "$same/discarded.avi"
echo "load average $(cut -d' ' -f1-3 /proc/loadavg): $(wine build/windows/bench/completion/save_bench.exe discard \
  "Z:${same//\//\\}\\discarded.avi" 2>/dev/null | tr -d '\r')"
# A 1.5 GB recording left by a crash, rebuilt: the main window must go on answering.
echo "load average $(cut -d' ' -f1-3 /proc/loadavg): $(wine build/windows/bench/completion/save_bench.exe recover 1536 \
  2>/dev/null | tr -d '\r')"
rm -rf "$same" "$(readlink "$apart")" "$apart"
