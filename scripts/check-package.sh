#!/usr/bin/env bash
# Checks the built Debian package: lintian (no error and no warning; the tags it only notes are
# shown), and its desktop entry and AppStream metadata with their own validators.
#   scripts/check-package.sh BUILD_DIR
set -euo pipefail
build=${1:-build}

shopt -s nullglob
debs=("$build"/package/zorvast_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
  echo "check-package: expected one package in $build/package, found ${#debs[@]}" >&2
  exit 1
fi
deb=${debs[0]}

echo "== lintian $deb"
# Root runs it as well; lintian only says that it would rather not.
status=0
out=$(lintian --fail-on error,warning --display-info "$deb" 2>&1) || status=$?
printf '%s\n' "$out" | grep -v 'running with root privileges' || true
if [ $status -ne 0 ]; then
  echo "check-package: lintian found errors or warnings (status $status)" >&2
  exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"

echo "== desktop-file-validate"
for entry in "$scratch"/usr/share/applications/*.desktop; do
  out=$(desktop-file-validate "$entry" 2>&1) || {
    echo "$out" >&2
    exit 1
  }
  # Hints and warnings are printed but do not fail it: the entry must be clean.
  if [ -n "$out" ]; then
    echo "$out" >&2
    exit 1
  fi
  echo "${entry#"$scratch"}: clean"
done

echo "== appstreamcli validate --no-net"
for metainfo in "$scratch"/usr/share/metainfo/*.xml; do
  appstreamcli validate --no-net "$metainfo"
done
echo "package: $deb ($(stat -c %s "$deb") bytes)"
