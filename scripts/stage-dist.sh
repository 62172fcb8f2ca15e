#!/usr/bin/env bash
# Stages the program, the command-line tool and the shipped data into one folder.
set -euo pipefail
build=${1:-build}
dist=${2:-dist}

mkdir -p "$dist"
install -m 0755 "$build/src/app/zorvast" "$dist/zorvast"
install -m 0755 "$build/src/app/zorvast-cli" "$dist/zorvast-cli"
# The data package lives beside the program; the city archive is compiled into it.
install -m 0644 "$build/data/satdata.sta" "$dist/satdata.sta"
echo "staged $(cd "$dist" && pwd)"
