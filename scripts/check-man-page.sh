#!/usr/bin/env bash
# Fails when the man page lacks a flag or an exit status that the program's --help lists: the
# page as man shows it must name every one of them.
# Usage: scripts/check-man-page.sh PROGRAM MAN-PAGE
set -euo pipefail
program=$1
page=$2
export LC_ALL=C.UTF-8

help=$("$program" --help)
# Every --long and -s flag that --help names, wherever it names it.
mapfile -t flags < <(grep -oE -- '(^|[^A-Za-z0-9-])--?[A-Za-z][A-Za-z0-9-]*' <<<"$help" |
                     sed -E 's/^[^-]+//' | sort -u)
# The numbers listed under "Exit status:".
mapfile -t codes < <(sed -n '/^Exit status:/,/^$/p' <<<"$help" | sed -nE 's/^ +([0-9]+) .*/\1/p')
if ((${#flags[@]} == 0 || ${#codes[@]} == 0)); then
  echo "check-man-page: $program --help lists no flags or no exit status" >&2
  exit 1
fi

# Wide enough that no line is broken, so that a flag never straddles two lines.
text=$(MANWIDTH=1000 man -l "$page" 2>/dev/null | col -b)
if [[ -z $text ]]; then
  echo "check-man-page: man cannot show $page" >&2
  exit 1
fi
missing=0
for flag in "${flags[@]}"; do
  if ! grep -qE -- "(^|[^A-Za-z0-9-])${flag}([^A-Za-z0-9-]|$)" <<<"$text"; then
    echo "check-man-page: $page lacks the flag $flag" >&2
    missing=1
  fi
done
exit_text=$(sed -nE '/^( *Exit status:|EXIT STATUS)/,/^[^ ]/p' <<<"$text")
for code in "${codes[@]}"; do
  if ! grep -qE -- "^ +${code} +[^ ]" <<<"$exit_text"; then
    echo "check-man-page: $page lacks the exit status $code" >&2
    missing=1
  fi
done
((missing == 0)) || exit 1
echo "check-man-page: $page has all ${#flags[@]} flags and ${#codes[@]} exit statuses of --help"
