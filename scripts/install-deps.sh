#!/usr/bin/env bash
# Installs what the build, the tests and the tools need. Safe to run again:
# it only asks apt for packages that are missing.
#   --fuzz  also clang and libFuzzer for the fuzz targets (`make fuzz`)
set -euo pipefail

fuzz=0
for arg in "$@"; do
  case $arg in
  --fuzz) fuzz=1 ;;
  *)
    echo "install-deps: unknown option $arg" >&2
    exit 2
    ;;
  esac
done

here=$(cd "$(dirname "$0")/.." && pwd)

apt_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-webengine-dev qt6-svg-dev libxkbcommon-dev qt6-translations-l10n
  mdbtools mdbtools-dev libcurl4-openssl-dev libzip-dev libsodium-dev
  xvfb xauth x11-utils fonts-wqy-microhei imagemagick python3 python3-pyftpdlib
  libgtest-dev libgmock-dev liberfa-dev
  nginx-light tinyproxy openssl
  dpkg-dev lintian desktop-file-utils appstream debootstrap
)
# Run by the tests on 127.0.0.1 only, never as the machine's services.
server_packages=(nginx-light tinyproxy)
server_services=(nginx tinyproxy)
fuzz_packages=(clang-14 libfuzzer-14-dev libclang-rt-14-dev)
if [ $fuzz -eq 1 ]; then
  apt_packages+=("${fuzz_packages[@]}")
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-deps: needs root or sudo to install packages" >&2
  as_root=()
fi

missing=()
for p in "${apt_packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
# Node.js may come from another repository; only ask Debian for it when absent.
command -v node >/dev/null 2>&1 || missing+=(nodejs)
command -v npm >/dev/null 2>&1 || missing+=(npm)

# Another apt run may hold the lock: wait for it rather than fail.
apt_wait() {
  "${as_root[@]}" apt-get -o DPkg::Lock::Timeout=600 "$@"
}

# True when `$1` is one of the packages this run is about to install.
is_missing() {
  local p
  for p in "${missing[@]}"; do
    [ "$p" = "$1" ] && return 0
  done
  return 1
}

new_servers=()
for i in "${!server_packages[@]}"; do
  if is_missing "${server_packages[$i]}"; then
    new_servers+=("${server_services[$i]}")
  fi
done

# The packages' install scripts would start nginx on port 80 and tinyproxy on 8888: a
# policy-rc.d that forbids every start keeps them down, and goes away again only if this run
# put it there.
policy=/usr/sbin/policy-rc.d
own_policy=0
remove_policy() {
  if [ $own_policy -eq 1 ]; then
    "${as_root[@]}" rm -f "$policy"
    own_policy=0
  fi
}
if [ ${#new_servers[@]} -gt 0 ] && [ ! -e "$policy" ]; then
  printf '#!/bin/sh\n# install-deps: no service starts while it installs packages\nexit 101\n' |
    "${as_root[@]}" tee "$policy" >/dev/null
  "${as_root[@]}" chmod 755 "$policy"
  own_policy=1
  trap remove_policy EXIT
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  apt_wait update -qq
  DEBIAN_FRONTEND=noninteractive apt_wait install -y -qq --no-install-recommends "${missing[@]}"
fi
remove_policy

# Should a service have started all the same (or an earlier install left one running), stop
# it; on systemd the ones installed just now are also kept from starting at boot.
stop_service() {
  local service=$1 pidfile pid
  case $service in
  nginx) pidfile=/run/nginx.pid ;;
  tinyproxy) pidfile=/run/tinyproxy/tinyproxy.pid ;;
  esac
  if [ -d /run/systemd/system ] && command -v systemctl >/dev/null 2>&1; then
    if systemctl is-active --quiet "$service"; then
      "${as_root[@]}" systemctl stop "$service" || true
    fi
  else
    pid=$(cat "$pidfile" 2>/dev/null || true)
    if [ -n "$pid" ] && [ -d "/proc/$pid" ] && [ -x "/etc/init.d/$service" ]; then
      "${as_root[@]}" "/etc/init.d/$service" stop >/dev/null || true
    fi
  fi
}
for service in "${server_services[@]}"; do
  stop_service "$service"
done
if [ ${#new_servers[@]} -gt 0 ] && [ -d /run/systemd/system ] && command -v systemctl >/dev/null 2>&1; then
  "${as_root[@]}" systemctl disable --quiet "${new_servers[@]}" 2>/dev/null || true
fi

# The second, independent Jet reader used by the tests.
if [ ! -d "$here/tests/js/node_modules/mdb-reader" ]; then
  (cd "$here/tests/js" && npm ci --no-audit --no-fund --loglevel=error)
fi
