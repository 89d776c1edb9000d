#!/bin/sh
# Runs a Windows program under Wine with a private prefix in the build tree and no display.
# The prefix lives beside the program (build/windows/wineprefix for build/windows/bin/x.exe).
bin_dir=$(cd "$(dirname "$1")" && pwd)
: "${WINEPREFIX:=$(dirname "$bin_dir")/wineprefix}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
loader=/usr/lib/wine/wine64
[ -x "$loader" ] || loader=wine64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$loader" wineboot -i >/dev/null 2>&1
  "${loader%/*}/wineserver" -w 2>/dev/null || wineserver -w 2>/dev/null || true
fi
exec "$loader" "$@"
