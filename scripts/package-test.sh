#!/usr/bin/env bash
# Installs the built Debian package into a clean Debian 12 root, the way a user installs it,
# and runs it there:
#   1. a minimal bookworm root from debootstrap (cached as a tarball under BUILD_DIR, so later
#      runs only unpack it);
#   2. `apt-get install --no-install-recommends ./zorvast_*.deb`: every dependency the program
#      needs must come with the package's Depends;
#   3. zorvast-cli point --city 北京市/北京 --sat E115.5, as an ordinary user;
#   4. /usr/bin/zorvast offscreen as that user, until the main window is up
#      (ZORVAST_QUIT_AFTER_START), three times: the first start fills ~/.local/share/zorvast,
#      the second finds it in step, the third finds the user's data package cut short;
#   5. the installed files unchanged (dpkg --verify).
# Fails on any step; /proc and /dev/shm of the root are unmounted however it ends.
#   scripts/package-test.sh BUILD_DIR
# ZORVAST_DEBIAN_MIRROR overrides the archive (default: the one this machine's apt uses).
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    exec sudo -E -- "$0" "$@"
  fi
  echo "package-test: needs root (debootstrap, chroot, mount)" >&2
  exit 1
fi

build=$(cd "${1:-build}" && pwd)
suite=bookworm
work=$build/package-test
root=$work/root
tarball=$work/$suite-minbase.tar.gz
archives=$work/apt-archives
user=zorvast-tester
started=$(date +%s)

step() {
  echo "== [$(($(date +%s) - started)) s] $*"
}

shopt -s nullglob
debs=("$build"/package/zorvast_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
  echo "package-test: expected one package in $build/package (make package), found ${#debs[@]}" >&2
  exit 1
fi
deb=${debs[0]}

# The archive this machine's apt reads bookworm from: deb822 sources first, then one-line ones.
debian_mirror() {
  local file uri
  for file in /etc/apt/sources.list.d/*.sources; do
    uri=$(awk -v suite="$suite" '
      /^[ \t]*$/ { if (found && uri) { print uri; exit } found = 0; uri = "" ; next }
      /^URIs:/ { uri = $2 }
      /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite) found = 1 }
      END { if (found && uri) print uri }' "$file" | head -n 1)
    [ -n "$uri" ] && { echo "$uri"; return; }
  done
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    uri=$(awk -v suite="$suite" '$1 == "deb" && $3 == suite { print $2; exit }' "$file")
    [ -n "$uri" ] && { echo "$uri"; return; }
  done
}
mirror=${ZORVAST_DEBIAN_MIRROR:-$(debian_mirror)}
if [ -z "$mirror" ]; then
  echo "package-test: no Debian archive for $suite in this machine's apt sources" >&2
  exit 1
fi
security=${mirror%/debian}/debian-security

# Everything this run mounted or started inside the root goes when it ends, however it ends.
processes_in_root() {
  local link pid
  for link in /proc/[0-9]*/root; do
    pid=${link#/proc/}
    pid=${pid%/root}
    [ "$(readlink "$link" 2>/dev/null)" = "$root" ] && echo "$pid"
  done
}
cleanup() {
  local status=$? pids
  pids=$(processes_in_root || true)
  if [ -n "$pids" ]; then
    # shellcheck disable=SC2086
    kill -KILL $pids 2>/dev/null || true
    sleep 1
  fi
  for mount in "$root/var/cache/apt/archives" "$root/dev/shm" "$root/dev/pts" "$root/proc"; do
    if mountpoint -q "$mount" 2>/dev/null; then
      umount "$mount" || umount -l "$mount" || true
    fi
  done
  if [ -d "$root" ] && ! grep -q " $root/" /proc/mounts; then
    rm -rf "$root"
  fi
  if [ $status -eq 0 ]; then
    echo "package-test: passed in $(($(date +%s) - started)) s"
  else
    echo "package-test: FAILED (status $status) after $(($(date +%s) - started)) s" >&2
  fi
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$work" "$archives/partial"
# A root left by a run that was killed.
if [ -d "$root" ]; then
  for mount in "$root/var/cache/apt/archives" "$root/dev/shm" "$root/dev/pts" "$root/proc"; do
    mountpoint -q "$mount" 2>/dev/null && { umount "$mount" || umount -l "$mount"; }
  done
  rm -rf "$root"
fi

if [ ! -s "$tarball" ]; then
  step "debootstrap --variant=minbase $suite from $mirror"
  fresh=$work/fresh
  rm -rf "$fresh"
  # A second try when the archive fails to answer once.
  if ! debootstrap --variant=minbase "$suite" "$fresh" "$mirror" >"$work/debootstrap.log" 2>&1; then
    rm -rf "$fresh"
    debootstrap --variant=minbase "$suite" "$fresh" "$mirror" >"$work/debootstrap.log" 2>&1 || {
      tail -n 30 "$work/debootstrap.log" >&2
      exit 1
    }
  fi
  # The same suites as this machine: the package was built against their libraries.
  cat >"$fresh/etc/apt/sources.list" <<SOURCES
deb $mirror $suite main
deb $mirror $suite-updates main
deb $security $suite-security main
SOURCES
  chroot "$fresh" apt-get clean
  tar -C "$fresh" --numeric-owner -czf "$tarball.part" .
  mv "$tarball.part" "$tarball"
  rm -rf "$fresh"
fi

step "unpacking the clean root"
mkdir -p "$root"
tar -C "$root" --numeric-owner -xzf "$tarball"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp /etc/hosts "$root/etc/hosts"
# No service of an installed package starts inside the root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
mount -t proc proc "$root/proc"
mount -t tmpfs -o mode=1777,size=512m shm "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
# Packages downloaded by earlier runs are kept here, so only new versions are fetched again.
mount --bind "$archives" "$root/var/cache/apt/archives"

in_root() {
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive "$@"
}
# Downloads that break are tried again.
printf 'Acquire::Retries "3";\n' >"$root/etc/apt/apt.conf.d/80retries"

step "apt-get install ./$(basename "$deb")"
cp "$deb" "$root/tmp/"
in_root apt-get update -qq
in_root apt-get install -y -q --no-install-recommends "./tmp/$(basename "$deb")" \
  >"$work/apt-install.log" 2>&1 || {
  tail -n 40 "$work/apt-install.log" >&2
  exit 1
}
grep -E '^(Need to get|After this operation|[0-9]+ upgraded)' "$work/apt-install.log" || true
# shellcheck disable=SC2016 # dpkg-query's own fields
in_root dpkg-query -W -f='installed ${Package} ${Version}\n' zorvast

step "an ordinary user"
in_root useradd --create-home --shell /bin/sh "$user"
uid=$(in_root id -u "$user")
home=/home/$user
runtime=/run/user/$uid
in_root install -d -m 0700 -o "$user" -g "$user" "$runtime"

as_user() {
  chroot --userspec="$user:$user" "$root" /usr/bin/env -i HOME="$home" USER="$user" \
    LOGNAME="$user" PATH=/usr/bin:/bin LANG=C.UTF-8 XDG_RUNTIME_DIR="$runtime" "$@"
}

step "zorvast-cli point --city 北京市/北京 --sat E115.5"
as_user sh -c 'cd && zorvast-cli point --city 北京市/北京 --sat E115.5' >"$work/cli.out"
cat "$work/cli.out"
if ! grep -q '北京' "$work/cli.out" || ! grep -q 'E115.5' "$work/cli.out"; then
  echo "package-test: the pointing report does not name the place and the satellite" >&2
  exit 1
fi

# Offscreen, with every server address on a port of this machine that refuses at once.
start_program() {
  as_user QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software \
    QT_LOGGING_RULES='qt.webenginecontext.info=false' \
    ZORVAST_DATA_SERVERS=http://127.0.0.1:9 ZORVAST_FORUM_ROOT=http://127.0.0.1:9/ \
    ZORVAST_PARAM_SITE=http://127.0.0.1:9 ZORVAST_QUIT_AFTER_START=1 \
    timeout 120 /usr/bin/zorvast
}

for run in first second damaged; do
  if [ $run = damaged ]; then
    # The launcher puts the installed data package back in place of a damaged one; without
    # it the program would wait in its download window.
    data=$root$home/.local/share/zorvast/satdata.sta
    head -c 20000 "$data" >"$data.cut"
    mv "$data.cut" "$data"
    chown "$uid:$uid" "$data"
  fi
  step "/usr/bin/zorvast as $user, $run start"
  t0=$(date +%s%N)
  status=0
  start_program >"$work/program-$run.out" 2>"$work/program-$run.err" || status=$?
  t1=$(date +%s%N)
  if [ $status -ne 0 ] || ! grep -qx 'zorvast: main window up' "$work/program-$run.out"; then
    echo "package-test: the program ended with status $status before its main window was up" >&2
    cat "$work/program-$run.out" "$work/program-$run.err" >&2
    exit 1
  fi
  echo "main window up and closed, status 0, $(((t1 - t0) / 1000000)) ms"
  if [ $run = first ]; then
    # The user's menu entry shadows the system's and starts the launcher, so a start from the
    # menu after an upgrade also refreshes the user's folder.
    entry=$root$home/.local/share/applications/Zorvast.desktop
    if ! grep -qx 'Exec="/usr/bin/zorvast"' "$entry"; then
      echo "package-test: the user's menu entry does not start /usr/bin/zorvast" >&2
      cat "$entry" >&2 || true
      exit 1
    fi
  fi
done

step "zorvast --version as $user"
t0=$(date +%s%N)
version=$(as_user /usr/bin/zorvast --version)
t1=$(date +%s%N)
echo "$version ($(((t1 - t0) / 1000000)) ms through the launcher)"
case $version in
"Zorvast "*) ;;
*)
  echo "package-test: zorvast --version said \"$version\"" >&2
  exit 1
  ;;
esac

step "the user's program folder and the installed files"
folder=$root$home/.local/share/zorvast
for file in zorvast satdata.sta; do
  if [ ! -f "$folder/$file" ] || [ "$(stat -c %u "$folder/$file")" != "$uid" ]; then
    echo "package-test: $home/.local/share/zorvast/$file is missing or not the user's" >&2
    exit 1
  fi
done
[ "$(stat -c %a "$folder")" = 700 ] || {
  echo "package-test: the user's program folder is not private" >&2
  exit 1
}
cmp "$root/opt/zorvast/satdata.sta" "$folder/satdata.sta"
ls -lan "$folder"
# Nothing of the package was changed by running it.
changed=$(in_root dpkg --verify zorvast || true)
if [ -n "$changed" ]; then
  echo "package-test: installed files changed: $changed" >&2
  exit 1
fi
