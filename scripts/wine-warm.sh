#!/usr/bin/env bash
# Starts Wine's server, its services and the virtual desktop of $WINEPREFIX detached from the
# caller's output, so that test runs find Wine warm and ctest never waits on them.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to a prefix made by wine-prefix.sh}"
export WINEPREFIX WINEARCH=win64 WINEDEBUG=-all LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wineserver -p </dev/null >/dev/null 2>&1 || true
wine wineboot </dev/null >/dev/null 2>&1
nohup wine explorer /desktop=Default,800x600 </dev/null >/dev/null 2>&1 &
echo "wine-warm: ready"
