#!/usr/bin/env bash
# Records a movie under Wine through the compressed stream (frames at clock positions with gaps,
# a key frame every 10), then plays it in ffmpeg: no decode error, key frames where asked.
set -euo pipefail
test_exe=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
movie="$dir/movie.avi"

if ! FRAMELARK_VIDEO1_AVI="Z:${movie//\//\\}" "${FRAMELARK_WINE:-wine}" "$test_exe" \
       --gtest_filter=Video1Driver.RecordsAMovieThroughTheCompressedStream >"$dir/log" 2>&1 </dev/null; then
  cat "$dir/log"
  exit 1
fi
errors=$(ffmpeg -nostdin -v error -i "$movie" -f null - 2>&1)
if [ -n "$errors" ]; then
  echo "ffmpeg reports: $errors"
  exit 1
fi
# The gaps are empty chunks that ffmpeg drops: what remains are the written positions.
ffprobe -v error -select_streams v:0 -show_entries packet=pts,flags -of csv=p=0 "$movie" |
  awk -F, '{ print $1, ($2 ~ /K/) ? 1 : 0 }' >"$dir/seen"
if ! diff "$movie.frames" "$dir/seen" >"$dir/diff"; then
  echo "position and key flag: written (<) against what ffprobe sees (>)"
  cat "$dir/diff"
  exit 1
fi
echo "ffmpeg plays $(wc -l <"$dir/seen") frames, key frames where asked"
