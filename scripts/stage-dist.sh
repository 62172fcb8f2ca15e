#!/usr/bin/env bash
# Stages the program, the command-line tool and the shipped data into one folder.
set -euo pipefail
build=${1:-build}
dist=${2:-dist}
top=$(cd "$(dirname "$0")/.." && pwd)

mkdir -p "$dist"
install -m 0755 "$build/src/app/zorvast" "$dist/zorvast"
install -m 0755 "$build/src/app/zorvast-cli" "$dist/zorvast-cli"
# The data package beside the program, once the build makes one.
if [ -f "$build/data/satdata.sta" ]; then
  install -m 0644 "$build/data/satdata.sta" "$dist/satdata.sta"
fi
echo "staged $(cd "$dist" && pwd)"
