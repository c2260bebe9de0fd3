#!/usr/bin/env bash
# Converts one second of a 440 Hz tone to MS ADPCM through the audio compression manager under
# Wine, then plays it in ffmpeg: no decode error, one second long, 440 Hz, and close to the input.
set -euo pipefail
test_exe=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
wav="$dir/tone.wav"

if ! FRAMELARK_MSADPCM_WAV="Z:${wav//\//\\}" "${FRAMELARK_WINE:-wine}" "$test_exe" \
       --gtest_filter=MsAdpcmDriver.ConvertsOneSecondOfTone >"$dir/log" 2>&1 </dev/null; then
  cat "$dir/log"
  exit 1
fi
codec=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,sample_rate,channels -of csv=p=0 "$wav")
if [ "$codec" != "adpcm_ms,22050,2" ]; then
  echo "ffprobe sees '$codec', not adpcm_ms at 22050 Hz, stereo"
  exit 1
fi
errors=$(ffmpeg -nostdin -v error -i "$wav" -f s16le "$dir/decoded.raw" 2>&1)
if [ -n "$errors" ]; then
  echo "ffmpeg reports: $errors"
  exit 1
fi
ffmpeg -nostdin -v error -i "$wav.pcm.wav" -f s16le "$dir/input.raw"
# Left channel: upward zero crossings in one second give the frequency; SNR over both channels.
paste -d' ' <(od -An -v -td2 -w4 "$dir/input.raw") <(od -An -v -td2 -w4 "$dir/decoded.raw") | awk '
  { s += $1 * $1 + $2 * $2; n += ($1 - $3) ^ 2 + ($2 - $4) ^ 2; frames++
    if (frames > 1 && previous < 0 && $3 >= 0) crossings++; previous = $3 }
  END {
    snr = 10 * log(s / n) / log(10)
    printf "%d frames, %d Hz, SNR %.1f dB\n", frames, crossings, snr
    if (frames != 22050 || crossings < 438 || crossings > 442 || snr < 40) exit 1
  }'
