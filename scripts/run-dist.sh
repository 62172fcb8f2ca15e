#!/usr/bin/env bash
# Starts the program from its folder. Without a display it runs under Xvfb,
# saves a screenshot after a few seconds and stops it again.
set -euo pipefail
dist=$(cd "${1:-dist}" && pwd)
cd "$dist"

if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox}"
fi
export QT_LOGGING_RULES="${QT_LOGGING_RULES:-qt.webenginecontext.info=false}"

if [ -n "${DISPLAY:-}" ]; then
  exec ./zorvast
fi

rm -f screenshot.png
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  ./zorvast & pid=$!
  sleep "${ZORVAST_SCREENSHOT_DELAY:-5}"
  import -window root screenshot.png
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
'
test -s screenshot.png
echo "screenshot: $dist/screenshot.png"
