#!/usr/bin/env bash
# scripts/desktop-entry in a scratch data folder: install (twice), refusals, remove (twice).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_DATA_HOME="$scratch/share"
entry=$XDG_DATA_HOME/applications/framelark.desktop
icon=$XDG_DATA_HOME/icons/hicolor/256x256/apps/framelark.png
failures=0
check() { # check DESCRIPTION COMMAND...
  if "${@:2}" >/dev/null 2>&1; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}

program="$scratch/my programs/Framelark"
mkdir -p "$program" "$scratch/cost\$5"
touch "$program/framelark.exe" "$scratch/cost\$5/framelark.exe"

check "refused without a framelark.exe" bash -c "! '$root/scripts/desktop-entry' install '$scratch'"
check "refused for a path a desktop entry cannot carry" bash -c "! '$root/scripts/desktop-entry' install '$scratch/cost\$5'"
check "nothing written by a refusal" test ! -e "$entry"
for round in first second; do
  check "$round install" "$root/scripts/desktop-entry" install "$program"
  check "$round install: a valid entry" desktop-file-validate "$entry"
  check "$round install: started through scripts/launch" \
    grep -qxF "Exec=\"$root/scripts/launch\" \"$program/framelark.exe\"" "$entry"
  check "$round install: the program's icon" cmp "$icon" "$root/src/resources/images/framelark_256.png"
done
check "one entry after two installs" test "$(grep -c '^\[Desktop Entry\]' "$entry")" = 1
check "the launcher names a missing program" bash -c "'$root/scripts/launch' '$scratch/none.exe' 2>&1 | grep -q 'No Framelark program'"
for round in first second; do
  check "$round remove" "$root/scripts/desktop-entry" remove
  check "$round remove: entry and icon gone" test ! -e "$entry" -a ! -e "$icon"
done
echo "$((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
exit $((failures != 0))
