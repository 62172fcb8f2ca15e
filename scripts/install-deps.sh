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
  libgtest-dev libgmock-dev
)
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

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  apt_wait update -qq
  DEBIAN_FRONTEND=noninteractive apt_wait install -y -qq --no-install-recommends "${missing[@]}"
fi

# The second, independent Jet reader used by the tests.
if [ ! -d "$here/tests/js/node_modules/mdb-reader" ]; then
  (cd "$here/tests/js" && npm ci --no-audit --no-fund --loglevel=error)
fi
