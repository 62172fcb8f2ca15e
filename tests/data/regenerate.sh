#!/usr/bin/env bash
# Regenerates one committed data output from its Debian sources and compares it with the
# committed file: regenerate.sh declination|channels REPO SOURCES_DIR
set -euo pipefail
what=$1
repo=$2
export ZORVAST_SOURCES=$3
sources=$("$repo/tools/fetch-sources.sh" small)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

case $what in
declination)
  /usr/bin/python3 "$repo/tools/declination/make_declination.py" "$sources" "$work/grid.cpp" 2>/dev/null
  diff -u "$repo/src/pointing/DeclinationGrid.cpp" "$work/grid.cpp"
  ;;
channels)
  /usr/bin/python3 "$repo/tools/channels/make_channels.py" "$sources" "$work" >/dev/null
  for table in sat satlist sup sys origins; do
    diff -u "$repo/data/channels/$table.tsv" "$work/$table.tsv"
  done
  ;;
*)
  echo "unknown output: $what" >&2
  exit 2
  ;;
esac
echo "$what: regenerated output equals the committed one"
