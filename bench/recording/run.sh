#!/usr/bin/env bash
# Recording benchmark: every figure of the capture speed targets in one run, printed one line per
# measurement and summed up at the end.
#   bench/recording/run.sh [seconds per run, default 20] [long run seconds, default 120]
#   bench/recording/run.sh marks [seconds per run, default 20] [pairs, default 5]
# On a fresh 1920x1080 virtual screen: the grab and the write alone; the engine (Video 1, timelapse 5)
# on the full screen and a 320x240 region, started with glibc's heap setting as scripts/run does and
# by a plain `wine` (the program relaunches itself); ffmpeg's x11grab with msvideo1 and rawvideo at
# 200 frames/s on the same moving picture; a long full-screen recording for memory. Then on a fresh
# 3840x2160 virtual screen: the grab and the full-screen engine, for the processor time per pixel.
# The full-screen engine also runs with the lossless ZMBV compressor at both sizes, against x11grab
# with ffmpeg's zmbv encoder, and x11grab storing raw frames reads the 3840x2160 screen for its limit.
# marks: the engine on the full screen and a 320x240 region with clicks and keys shown (a click and
# a typed key 4 times a second) and without, in turn, so that each pair meets the same load.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mode=all
[ "${1:-}" = marks ] && mode=marks && shift
seconds=${1:-20}
long=${2:-120}
pairs=${2:-5}
source "$here/../../scripts/env.sh"
cd "$root"
cmake --preset windows >/dev/null
cmake --build --preset windows -j 2 --target recording_bench >/dev/null
bench=build/windows/bench/recording/recording_bench.exe

framelark_use_fast_heap
trap framelark_stop_services EXIT
trap 'exit 130' INT TERM
scratch=$(mktemp -d)
log=$scratch/all.log

start_screen() { # WIDTHxHEIGHT
  framelark_stop_services
  unset DISPLAY # always a fresh screen of the size asked for
  FRAMELARK_SCREEN="${1}x24" framelark_start_display
  framelark_start_wine
  xvfb=$started_xvfb
  echo "screen $1, load average $(cut -d' ' -f1-3 /proc/loadavg)" | tee -a "$log"
}

# Processor time of the X server in ms: the screen copies are partly its work.
xserver_ms() { awk -v hz="$(getconf CLK_TCK)" '{print ($14 + $15) * 1000 / hz}' "/proc/$xvfb/stat"; }

bench_run() { # how (launcher | plain) then the bench's arguments
  local how=$1 prefix=()
  shift
  [ "$how" = plain ] && prefix=(env -u MALLOC_TRIM_THRESHOLD_ -u MALLOC_TOP_PAD_ -u MALLOC_MMAP_MAX_ -u MALLOC_ARENA_MAX -u GLIBC_TUNABLES)
  # A Wine program now and then fails to start at all: one retry, then the run is reported and skipped.
  { "${prefix[@]}" wine "$bench" "$@" </dev/null 2>/dev/null || "${prefix[@]}" wine "$bench" "$@" </dev/null 2>/dev/null ||
    echo "failed: $how $*"; } | tr -d '\r' # Wine's console ends lines with CR LF
}

# The moving picture, drawn by a process of its own while a recorder runs.
animation_start() {
  wine "$bench" animate 3600 </dev/null >/dev/null 2>&1 &
  animator=$!
  sleep 3
}
animation_stop() { kill "$animator" 2>/dev/null || true; wait "$animator" 2>/dev/null || true; }

engine() { # how left top width height timelapse seconds
  local how=$1 before after
  shift
  animation_start
  before=$(xserver_ms)
  bench_run "$how" record "$@" > "$scratch/engine.log"
  after=$(xserver_ms)
  animation_stop
  sed -n "s/^result /engine start=$how /p" "$scratch/engine.log" |
    sed "s/\$/ xserver_ms_per_frame=$(awk -v a="$after" -v b="$before" -v f="$(grep -o 'frames=[0-9]*' "$scratch/engine.log" | cut -d= -f2)" 'BEGIN{printf "%.2f", f ? (a-b)/f : 0}')/" | tee -a "$log"
  grep '^stages\|^memory_summary' "$scratch/engine.log" | tee -a "$log" || true # none when the run failed
}

x11grab() { # codec left top width height rate
  local codec=$1 left=$2 top=$3 width=$4 height=$5 rate=$6 extra=()
  local out=$scratch/grab.avi
  [ "$codec" = msvideo1 ] && extra=(-pix_fmt rgb555le)
  [ "$codec" = zmbv ] && extra=(-pix_fmt bgr0)
  [ "$codec" = rawvideo ] && out=$scratch/grab.nut # AVI cannot hold the screen's pixel format
  animation_start
  /usr/bin/time -f "%e %U %S %M" -o "$scratch/time" \
    ffmpeg -v error -y -f x11grab -framerate "$rate" -video_size "${width}x${height}" -i "$DISPLAY+$left,$top" \
      -t "$seconds" -fps_mode passthrough -c:v "$codec" "${extra[@]}" "$out" </dev/null
  animation_stop
  local frames
  frames=$(ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets -of csv=p=0 "$out")
  read -r wall user sys rss < "$scratch/time"
  awk -v f="$frames" -v w="$wall" -v u="$user" -v s="$sys" -v m="$rss" -v c="$codec" -v r="${width}x${height}" -v q="$rate" \
    'BEGIN{printf "x11grab codec=%s region=%s rate=%s frames=%d wall_s=%.1f fps=%.1f cpu_ms_per_frame=%.2f peak_rss_kb=%d\n", c, r, q, f, w, f/w, (u+s)*1000/f, m}' |
    tee -a "$log"
}

if [ "$mode" = marks ]; then
  start_screen 1920x1080
  for region in "0 0 1920 1080" "800 400 320 240"; do
    for ((pair = 1; pair <= pairs; pair++)); do
      # shellcheck disable=SC2086 # the region's four numbers
      engine launcher $region 5 "$seconds"
      # shellcheck disable=SC2086
      engine launcher $region 5 "$seconds" marks
    done
  done
  echo "--- summary"
  awk '
    function field(name,   i) { for (i = 1; i <= NF; i++) if (index($i, name "=") == 1) return substr($i, length(name) + 2); return "" }
    function median(list, n,   i, j, t) {
      for (i = 2; i <= n; i++) for (j = i; j > 1 && list[j - 1] > list[j]; j--) { t = list[j]; list[j] = list[j - 1]; list[j - 1] = t }
      return n % 2 ? list[(n + 1) / 2] : (list[n / 2] + list[n / 2 + 1]) / 2
    }
    /^engine / {
      r = field("region")
      if (field("marks") == 1) { n[r]++; ratio[r, n[r]] = off[r] ? field("fps") / off[r] : 0; on[r, n[r]] = field("fps") }
      else off[r] = field("fps")
    }
    END {
      for (r in n) {
        for (i = 1; i <= n[r]; i++) { q[i] = ratio[r, i]; f[i] = on[r, i] }
        lo = hi = q[1]; for (i = 2; i <= n[r]; i++) { if (q[i] < lo) lo = q[i]; if (q[i] > hi) hi = q[i] }
        printf "%s: clicks and keys shown %s frames/s (median), %.3f times the frame rate without them (median of %d pairs, %.3f to %.3f; target at least 0.95)\n", r, median(f, n[r]), median(q, n[r]), n[r], lo, hi
      }
    }' "$log"
  rm -rf "$scratch"
  exit 0
fi

start_screen 1920x1080
bench_run launcher grab 1920 1080 161 | tee -a "$log"
bench_run launcher write 1920 1080 25 | tee -a "$log"
bench_run launcher journal 2000 | tee -a "$log"
# Each plain run right after its launcher run, so that both meet the same load on a shared machine.
engine launcher 0 0 1920 1080 5 "$seconds"
engine plain 0 0 1920 1080 5 "$seconds"
x11grab msvideo1 0 0 1920 1080 200
x11grab rawvideo 0 0 1920 1080 200
engine launcher 0 0 1920 1080 5 "$seconds" zmbv
x11grab zmbv 0 0 1920 1080 200
engine launcher 800 400 320 240 5 "$seconds"
engine plain 800 400 320 240 5 "$seconds"
x11grab msvideo1 800 400 320 240 200
x11grab rawvideo 800 400 320 240 200
bench_run plain grab 1920 1080 161 | tee -a "$log"
echo "long full-screen recording, ${long} s:" | tee -a "$log"
engine launcher 0 0 1920 1080 5 "$long"
grep '^memory t=' "$scratch/engine.log" | tee -a "$log"

start_screen 3840x2160
bench_run launcher grab 3840 2160 41 | tee -a "$log"
bench_run launcher write 3840 2160 25 | tee -a "$log"
engine launcher 0 0 3840 2160 5 "$seconds"
engine launcher 0 0 3840 2160 5 "$seconds" zmbv
x11grab rawvideo 0 0 3840 2160 200

echo "--- summary"
awk '
  function field(name,   i) { for (i = 1; i <= NF; i++) if (index($i, name "=") == 1) return substr($i, length(name) + 2); return "" }
  /^engine .*codec=zmbv/ { if ($0 ~ /region=1920x1080/) zfull = field("fps"); if ($0 ~ /region=3840x2160/) zbig = field("fps"); next }
  /^x11grab codec=zmbv region=1920x1080/ { zx = field("fps") }
  /^engine start=launcher region=1920x1080/ && !full { full = field("fps"); fullcpu = field("cpu_ns_per_pixel"); inengine = 1; next }
  /^engine start=plain region=1920x1080/ { plainfull = field("fps") }
  /^engine start=launcher region=320x240/ { small = field("fps") }
  /^engine start=plain region=320x240/ { plainsmall = field("fps") }
  /^engine start=launcher region=3840x2160/ { big = field("fps"); bigcpu = field("cpu_ns_per_pixel") }
  /^stages record/ && inengine { fullgrab = field("grab"); inengine = 0 }
  /^x11grab codec=msvideo1 region=1920x1080/ { msv = field("fps") }
  /^long full-screen/ { inlong = 1 }
  /^screen 3840x2160/ { inlong = 0 }
  /^memory_summary/ && inlong { held = field("peak_over_start_frames"); spread = field("sample_spread_frames") }
  /^memory t=/ && inlong { ws = field("working_set_kb"); if (first == "") first = ws; last = ws }
  /^x11grab codec=rawvideo region=1920x1080/ { raw = field("cpu_ms_per_frame"); rawfull = field("fps") }
  /^x11grab codec=rawvideo region=3840x2160/ { rawbig = field("fps") }
  /^grab region=1920x1080 .*heap=launcher/ { grabfull = field("cpu_ms_per_frame") }
  /^grab region=3840x2160 .*heap=launcher/ { grabbig = field("cpu_ms_per_frame") }
  /^write region=1920x1080/ { writefull = field("cpu_ms_per_frame") }
  /^write region=3840x2160/ { writebig = field("cpu_ms_per_frame") }
  END {
    printf "full screen, timelapse 5: %s frames/s (target 50), %.1f times x11grab msvideo1 %s (target 4)\n", full, msv ? full / msv : 0, msv
    printf "  by a plain wine (relaunch): %s frames/s, %.1f times x11grab msvideo1\n", plainfull, msv ? plainfull / msv : 0
    printf "  recording thread grab: %s ms processor per frame; x11grab rawvideo %s ms per frame (target: at most)\n", fullgrab, raw
    printf "lossless (ZMBV), full screen: %s frames/s (target 60), %.1f times x11grab zmbv %s (target 4); 3840x2160: %s frames/s (target 30)\n", zfull, zx ? zfull / zx : 0, zx, zbig
    printf "  the screen read alone (x11grab rawvideo): %s frames/s at full screen, %s at 3840x2160\n", rawfull, rawbig
    printf "320x240, timelapse 5: %s frames/s (target 150); by a plain wine: %s\n", small, plainsmall
    printf "long full-screen recording: working set %s kB at 10 s, %s kB at the end, samples within %s frames; peak %s frames over the start (target 3)\n", first, last, spread, held
    printf "3840x2160: %s frames/s, %s ns processor per pixel against %s at 1920x1080: %.2f times (target 1.2)\n", big, bigcpu, fullcpu, fullcpu ? bigcpu / fullcpu : 0
    # Every frame a new picture at both sizes: the engine at full HD outruns the moving picture and
    # codes the repeated frames almost for nothing, which 4K, at a quarter of the rate, never meets.
    pfull = (grabfull + writefull) * 1e6 / (1920 * 1080); pbig = (grabbig + writebig) * 1e6 / (3840 * 2160)
    printf "  grab and write of new pictures alone: %.2f ns per pixel against %.2f: %.2f times\n", pbig, pfull, pfull ? pbig / pfull : 0
  }' "$log"
rm -rf "$scratch"
