#!/usr/bin/env bash
# Prepares a Wine prefix ($WINEPREFIX) for the tests: Wine's own fonts, CJK font links so that
# Chinese texts render, and a virtual desktop so windows need no window manager.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the prefix folder}"
export WINEPREFIX WINEARCH=win64 WINEDEBUG=-all LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$WINEPREFIX"
wineboot -i </dev/null >/dev/null 2>&1
wineserver -w

# Debian's Wine does not look into /usr/share/wine/fonts.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$fonts"
cp /usr/share/wine/fonts/*.ttf "$fonts/" 2>/dev/null || true

# REGEDIT4 (ANSI) keeps the REG_MULTI_SZ bytes intact; a "Version 5.00" file would not.
multi_sz() {
  local text="$1" hex="" i
  for ((i = 0; i < ${#text}; i++)); do hex+=$(printf '%02x,' "'${text:i:1}"); done
  printf 'hex(7):%s00,00' "$hex"
}
link=$(multi_sz "wqy-microhei.ttc,WenQuanYi Micro Hei")
reg="$WINEPREFIX/drive_c/drumlo-setup.reg"
{
  echo 'REGEDIT4'
  echo
  echo '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]'
  for face in "Tahoma" "Tahoma Bold" "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2" \
              "Segoe UI"; do
    echo "\"$face\"=$link"
  done
  echo
  echo '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]'
  for face in "SimSun" "NSimSun" "SimHei" "Microsoft YaHei" "Microsoft YaHei UI" "MingLiU" \
              "PMingLiU"; do
    echo "\"$face\"=\"WenQuanYi Micro Hei\""
  done
  echo
  echo '[HKEY_CURRENT_USER\Software\Wine\Explorer]'
  echo '"Desktop"="Default"'
  echo
  echo '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]'
  echo '"Default"="800x600"'
} >"$reg"
wine regedit /S 'C:\drumlo-setup.reg' </dev/null >/dev/null 2>&1
wineserver -w
rm -f "$reg"
echo "wine-prefix: ready at $WINEPREFIX"
