#!/bin/sh
# Starts the program from a program folder of its own with ZORVAST_QUIT_AFTER_START set: it
# must say that its main window is up and end by itself with status 0.
#   start-check.sh PROGRAM DATA_PACKAGE
set -eu
program=$1
package=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/zorvast-start-check-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -m 0700 "$scratch/home" "$scratch/run" "$scratch/program"
cp "$program" "$scratch/program/zorvast"
cp "$package" "$scratch/program/satdata.sta"

status=0
(
  cd "$scratch/program"
  HOME=$scratch/home XDG_RUNTIME_DIR=$scratch/run XDG_DATA_HOME=$scratch/home/.local/share \
    XDG_CONFIG_HOME=$scratch/home/.config XDG_CACHE_HOME=$scratch/home/.cache \
    ZORVAST_QUIT_AFTER_START=1 timeout 60 ./zorvast
) >"$scratch/out" 2>"$scratch/err" || status=$?
if [ "$status" -ne 0 ] || ! grep -qx 'zorvast: main window up' "$scratch/out"; then
  echo "start-check: the program ended with status $status without its window up" >&2
  cat "$scratch/out" "$scratch/err" >&2
  exit 1
fi
echo "start-check: main window up, ended with status 0"
