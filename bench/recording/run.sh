#!/usr/bin/env bash
# Recording benchmark on a 1920x1080 virtual screen: the engine (Video 1, the full screen and a
# 320x240 region, timelapse 5 and 33) beside ffmpeg's x11grab on the same display and regions, plus a
# 2-minute full-screen recording for memory. Prints one line per run.
#   bench/recording/run.sh [seconds per run, default 20] [long run seconds, default 120]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-20}
long=${2:-120}
export FRAMELARK_SCREEN=1920x1080x24
source "$here/../../scripts/env.sh"
cd "$root"
cmake --preset windows >/dev/null
cmake --build --preset windows -j 2 --target recording_bench >/dev/null
bench=build/windows/bench/recording/recording_bench.exe

trap framelark_stop_services EXIT
trap 'exit 130' INT TERM
unset DISPLAY # always a fresh 1920x1080 screen
framelark_start_display
framelark_start_wine
xvfb=$started_xvfb
scratch=$(mktemp -d)

# Processor time of the X server in ms: the screen copies are partly its work.
xserver_ms() { awk -v hz="$(getconf CLK_TCK)" '{print ($14 + $15) * 1000 / hz}' "/proc/$xvfb/stat"; }

engine() { # left top width height timelapse seconds
  local before after line
  before=$(xserver_ms)
  line=$(wine "$bench" record "$@" </dev/null 2>/dev/null | tee "$scratch/engine.log" | grep '^result')
  after=$(xserver_ms)
  echo "engine $line xserver_ms=$(awk -v a="$after" -v b="$before" 'BEGIN{print a-b}')"
}

x11grab() { # codec left top width height rate
  local codec=$1 left=$2 top=$3 width=$4 height=$5 rate=$6 extra=()
  local out=$scratch/grab.avi
  [ "$codec" = msvideo1 ] && extra=(-pix_fmt rgb555le)
  [ "$codec" = rawvideo ] && out=$scratch/grab.nut # AVI cannot hold the screen's pixel format
  wine "$bench" animate $((seconds + 5)) </dev/null >/dev/null 2>&1 &
  local animator=$!
  sleep 3
  /usr/bin/time -f "%e %U %S %M" -o "$scratch/time" \
    ffmpeg -v error -y -f x11grab -framerate "$rate" -video_size "${width}x${height}" -i "$DISPLAY+$left,$top" \
      -t "$seconds" -fps_mode passthrough -c:v "$codec" "${extra[@]}" "$out" </dev/null
  wait "$animator" || true
  local frames
  frames=$(ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets -of csv=p=0 "$out")
  read -r wall user sys rss < "$scratch/time"
  awk -v f="$frames" -v w="$wall" -v u="$user" -v s="$sys" -v m="$rss" -v c="$codec" -v r="${width}x${height}" -v q="$rate" \
    'BEGIN{printf "x11grab codec=%s region=%s rate=%s frames=%d wall_s=%.1f fps=%.1f cpu_ms_per_frame=%.2f peak_rss_kb=%d\n", c, r, q, f, w, f/w, (u+s)*1000/f, m}'
}

# Where a full-screen frame's time goes.
wine "$bench" grab 1920 1080 60 </dev/null 2>/dev/null
wine "$bench" write 1920 1080 60 </dev/null 2>/dev/null
for timelapse in 5 33; do
  engine 0 0 1920 1080 "$timelapse" "$seconds"
  engine 800 400 320 240 "$timelapse" "$seconds"
done
for rate in 200 30; do
  for codec in msvideo1 rawvideo; do
    x11grab "$codec" 0 0 1920 1080 "$rate"
    x11grab "$codec" 800 400 320 240 "$rate"
  done
done
engine 0 0 1920 1080 33 "$long"
grep '^memory' "$scratch/engine.log"
rm -rf "$scratch"
