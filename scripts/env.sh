# Sourced by scripts/run and scripts/test: the display, sound server and Wine prefix that the
# program and its tests use, each started only when missing and stopped again on exit.
# shellcheck shell=bash

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

started_xvfb=""
started_pulse=""
started_wine=""
started_xorg=""

# glibc's heap kept from shrinking in every Wine process started from here: otherwise each grabbed
# frame faults in megabytes of fresh pages. framelark.exe relaunches itself with the same setting
# when started without it. Called after the builds, which do not need it.
framelark_use_fast_heap() {
  export MALLOC_TRIM_THRESHOLD_=1073741824
  export MALLOC_MMAP_MAX_=0 # screen images above 32 MB would be mapped afresh every frame
  export MALLOC_ARENA_MAX=1 # a thread's own arena unmaps a freed 4K screen image every frame
}

framelark_stop_services() {
  if [ -n "$started_wine" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$started_pulse" ]; then pulseaudio --kill >/dev/null 2>&1 || kill "$started_pulse" 2>/dev/null || true; fi
  if [ -n "$started_xvfb" ]; then kill "$started_xvfb" 2>/dev/null || true; wait "$started_xvfb" 2>/dev/null || true; fi
  if [ -n "$started_xorg" ]; then kill "$started_xorg" 2>/dev/null || true; wait "$started_xorg" 2>/dev/null || true; fi
  if [ -n "${framelark_pulse_dir:-}" ]; then rm -rf "$framelark_pulse_dir"; fi
  started_xvfb=""; started_pulse=""; started_wine=""; started_xorg=""
}

framelark_start_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return
  fi
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  echo "No display: starting a virtual display :$n (Xvfb, ${FRAMELARK_SCREEN:-1024x768x24})."
  Xvfb ":$n" -screen 0 "${FRAMELARK_SCREEN:-1024x768x24}" -nolisten tcp >/dev/null 2>&1 &
  started_xvfb=$!
  export DISPLAY=":$n"
  for _ in $(seq 1 50); do
    xdpyinfo >/dev/null 2>&1 && return
    sleep 0.1
  done
  echo "The virtual display did not start." >&2
  return 1
}

# A second display whose monitors can be laid out and changed at run time (Xvfb cannot): Xorg with
# the dummy driver, for the tests of several monitors. Its number goes to FRAMELARK_MONITOR_DISPLAY.
framelark_start_monitor_display() {
  local dir="$root/build/monitor-display" n
  mkdir -p "$dir"
  cat > "$dir/xorg.conf" <<'CONF'
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
  EndSubSection
EndSection
CONF
  for n in $(seq 121 160); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  Xorg ":$n" -config "$dir/xorg.conf" -noreset -nolisten tcp -logfile "$dir/xorg.log" >/dev/null 2>&1 &
  started_xorg=$!
  for _ in $(seq 1 100); do
    if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
      export FRAMELARK_MONITOR_DISPLAY=":$n"
      return
    fi
    sleep 0.1
  done
  echo "The monitor test display (Xorg, dummy driver) did not start; see $dir/xorg.log." >&2
}

framelark_start_sound() {
  # A private server with a null sink: recording reads its monitor.
  framelark_pulse_dir=$(mktemp -d)
  export PULSE_RUNTIME_PATH="$framelark_pulse_dir"
  export PULSE_STATE_PATH="$framelark_pulse_dir"
  export XDG_RUNTIME_DIR="$framelark_pulse_dir"
  if pulseaudio --daemonize --exit-idle-time=-1 -n --load="module-null-sink sink_name=rec" \
       --load=module-native-protocol-unix >/dev/null 2>&1; then
    started_pulse=$(cat "$framelark_pulse_dir/pid" 2>/dev/null || echo started)
  else
    echo "The sound server did not start; tests that need sound input will say so." >&2
  fi
}

framelark_prepare_prefix() {
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Preparing the Wine prefix $WINEPREFIX (once)."
    wineboot -i </dev/null >/dev/null 2>&1 || true
  fi
}

framelark_start_wine() {
  framelark_prepare_prefix
  # A persistent server, with every descriptor pointing away from the caller: services that the
  # first program starts would otherwise hold the test runner's output pipe open.
  wineserver -p </dev/null >/dev/null 2>&1 || true
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  started_wine=1
  # On our own virtual display no window manager runs: Wine must not wait for one (it would hold
  # every hidden full-screen window for two seconds).
  local key='HKCU\Software\Wine\X11 Driver'
  if [ -n "$started_xvfb" ]; then
    wine reg add "$key" /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
  else
    wine reg delete "$key" /v Managed /f </dev/null >/dev/null 2>&1 || true
  fi
}

# Everything a benchmark under Wine needs, stopped again when the calling script exits.
framelark_start_services() {
  framelark_use_fast_heap
  trap framelark_stop_services EXIT
  trap 'exit 130' INT TERM
  framelark_start_display
  framelark_start_sound
  framelark_start_wine
}
