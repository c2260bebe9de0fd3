#!/bin/sh
# help.chm holds every page of the help project, the same pages are shipped as HTML, and every link
# and contents entry leads to one of them.
# Usage: help_pages_test.sh PROJECT.hhp CONTENTS.hhc HELP.chm HTML_FOLDER
set -eu
project=$1 contents=$2 chm=$3 html=$4
listing=$(chmls list "$chm")
pages=$(sed -n '/^\[FILES\]/,$p' "$project" | tr -d '\r' | tail -n +2 | grep .)
status=0
count=0
for page in $pages; do
  count=$((count + 1))
  printf '%s\n' "$listing" | grep -q " /$page\$" || { echo "help.chm lacks $page"; status=1; }
  [ -f "$html/$page" ] || { echo "help/$page was not shipped"; status=1; }
done
links=$(for page in $pages; do
  case $page in *.html) grep -o 'href="[^"#:]*"' "$html/$page" | sed "s|^|$page |" ;; esac
done
grep -o 'name="Local" value="[^"]*"' "$contents" | sed 's/.*value=/toc.hhc href=/')
printf '%s\n' "$links" | while read -r from target; do
  target=${target#href=\"}
  target=${target%\"}
  printf '%s\n' "$pages" | grep -qx "$target" || { echo "$from leads to $target, which is no page"; exit 1; }
done || status=1
echo "help: $count files in help.chm and help/, $(printf '%s\n' "$links" | wc -l) links checked"
exit $status
