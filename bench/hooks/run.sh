#!/usr/bin/env bash
# Key latency while Framelark's main thread stalls during a recording (see run.py): the hook
# libraries of this build, then, with `--before REV`, those of an earlier revision built apart.
#   bench/hooks/run.sh [--before REV] [--stall MS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/env.sh"
cd "$root"
before=""
if [ "${1:-}" = "--before" ]; then
  before=$2
  shift 2
fi
cmake --preset windows >/dev/null
cmake --build --preset windows -j 2 --target framelark key_latency animator >/dev/null

framelark_start_services

if [ -n "$before" ]; then
  old=$(mktemp -d)
  for name in hook hookkey; do
    for file in "$name.cpp" "$name.def" low_level_hook.h; do
      git show "$before:hooks/$file" > "$old/$file"
    done
    x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -shared -static -o "$old/$name.dll" "$old/$name.cpp" "$old/$name.def" -luser32
  done
  echo "== hooks of $before"
  /usr/bin/python3 "$here/run.py" --build build/windows --hooks "$old" "$@"
  rm -rf "$old"
fi
echo "== hooks of this build"
/usr/bin/python3 "$here/run.py" --build build/windows "$@"
