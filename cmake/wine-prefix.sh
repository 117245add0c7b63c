#!/usr/bin/env bash
# Makes a new Wine prefix at $1 (removing an old one) and waits until it is ready.
set -euo pipefail
prefix=$1
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
exec 9>"$prefix.lock"
flock 9
if [ "${2:-}" = fresh ]; then
  wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
fi
if [ ! -f "$prefix/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
test -f "$prefix/system.reg"
