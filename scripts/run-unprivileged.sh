#!/usr/bin/env bash
# Runs a test program as an unprivileged user, because root may write read-only files.
# Usage: run-unprivileged.sh [--wine] program [args...]
# With --wine the program runs under Wine in a prefix of that user's own. Not root: runs as is.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
use_wine=0
if [[ ${1-} == --wine ]]; then use_wine=1; shift; fi
program=$1; shift

if [[ $(id -u) -ne 0 ]]; then
  if ((use_wine)); then exec bash "$here/wine-run.sh" "$program" "$@"; fi
  exec "$program" "$@"
fi

user=nobody
group=$(id -gn "$user")
# The program and the scripts are copied to a folder of that user, since the build tree may lie
# below a folder only root can enter.
work=$(mktemp -d /tmp/drumlo-unprivileged.XXXXXX)
cleanup() {
  if ((use_wine)); then
    setpriv --reuid="$user" --regid="$group" --clear-groups \
      env HOME="$work" TMPDIR="$work" WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
cp "$program" "$here/wine-run.sh" "$here/wine-prefix.sh" "$work/"
chown -R "$user:$group" "$work"
chmod 755 "$work"
as_user=(setpriv --reuid="$user" --regid="$group" --clear-groups
         env HOME="$work" TMPDIR="$work" USER="$user")
copy="$work/$(basename "$program")"
if ((use_wine)); then
  "${as_user[@]}" WINEPREFIX="$work/prefix" bash "$work/wine-run.sh" "$copy" "$@"
else
  "${as_user[@]}" "$copy" "$@"
fi
