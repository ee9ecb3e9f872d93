#!/usr/bin/env bash
# Runs a Windows program under Wine, quietly and without any dialog: the test emulator of the
# Windows build. WINEPREFIX defaults to a per-user prefix in the temp folder, made on first use.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=${WINEPREFIX:-${TMPDIR:-/tmp}/drumlo-wine-$(id -u)}
export WINEARCH=win64 WINEDEBUG=-all LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  bash "$here/wine-prefix.sh" >/dev/null
fi
# A cold server is started apart from the caller's output pipes, with Wine's services, since
# ctest waits on every process holding them. `wineserver -p` fails when one runs already.
if wineserver -p </dev/null >/dev/null 2>&1; then
  wine wineboot </dev/null >/dev/null 2>&1
fi
# A failure is named with its exit status: Wine itself may end a program without a word.
status=0
wine "$@" || status=$?
if ((status != 0)); then echo "wine-run: ${1##*[/\\]} ended with exit status $status" >&2; fi
exit "$status"
