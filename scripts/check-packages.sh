#!/usr/bin/env bash
# The release packages as users get them. Builds them with scripts/package.sh into dist/, then:
#  - the zip, unpacked into a fresh folder: the window's UI test drives the unpacked
#    DrumloListGen.exe, and the unpacked drumlo-listgen.exe writes the example's list files,
#    both under Wine;
#  - the .deb, installed with dpkg: /usr/bin/drumlo-listgen writes the example's list files into
#    --out DIR, and by default, run by an unprivileged user, into the current directory; man finds
#    the man page, which names every flag and exit status of --help; then it is removed;
#  - a second packaging in another folder gives the same bytes, packages and executables alike.
# List files must equal examples/expected/ byte for byte, none missing, none extra.
# Needs root (dpkg), Wine, Xvfb and the UI test of the windows build (build/windows).
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)
example=$source_dir/examples/歌曲规范总表.xml
expected=$source_dir/examples/expected
ui_test=$source_dir/build/windows/tests/ui/drumlo-ui-test.exe
export LC_ALL=C.UTF-8
[[ -f $ui_test ]] || { echo "check-packages: build the windows preset first ($ui_test)" >&2; exit 1; }

work=$(mktemp -d /tmp/drumlo-packages.XXXXXX)
chmod 755 "$work"  # the unprivileged run enters it
own_prefix=0
cleanup() {
  if dpkg -s drumlo-listgen >/dev/null 2>&1; then dpkg -r drumlo-listgen >/dev/null || true; fi
  if ((own_prefix)); then wineserver -k >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

started=$SECONDS
phase() { echo "== packages: $1 ($((SECONDS - started)) s so far)"; }

# The list files (*.txt) of a folder against examples/expected/.
same_lists() {
  local dir=$1
  if ! diff <(cd "$expected" && ls -- *.txt) <(cd "$dir" && ls -- *.txt 2>/dev/null); then
    echo "check-packages: $dir holds other list files than $expected" >&2
    return 1
  fi
  local file count=0
  for file in "$expected"/*.txt; do
    cmp -- "$file" "$dir/${file##*/}"
    count=$((count + 1))
  done
  echo "check-packages: $dir: $count list files as expected"
}

phase "build"
bash scripts/package.sh
zip_file=$(echo dist/DrumloListGen-*-win64.zip)
deb_file=$(echo dist/drumlo-listgen_*_amd64.deb)

phase "the zip, unpacked"
unpacked=$work/zip
unzip -q "$zip_file" -d "$unpacked"
for name in DrumloListGen.exe drumlo-listgen.exe 使用说明.txt 示例/歌曲规范总表.xml; do
  [[ -f $unpacked/$name ]] || { echo "check-packages: the zip lacks $name" >&2; exit 1; }
done
[[ $(head -c 3 "$unpacked/使用说明.txt" | od -An -tx1 | tr -d ' ') == efbbbf ]] ||
  { echo "check-packages: 使用说明.txt has no byte-order mark" >&2; exit 1; }
# Windows shows a name beyond ASCII right only when its entry carries the UTF-8 flag (bit 11).
python3 - "$zip_file" <<'EOF'
import sys, zipfile
bad = [i.filename for i in zipfile.ZipFile(sys.argv[1]).infolist()
       if not i.filename.isascii() and not i.flag_bits & 0x800]
sys.exit(f"check-packages: no UTF-8 flag on {bad}" if bad else 0)
EOF

if [[ -z ${WINEPREFIX-} ]]; then
  export WINEPREFIX=$work/wine
  own_prefix=1
  bash scripts/wine-prefix.sh
fi
# One display for Wine's desktop and both programs; CI has none, so a headless one is made.
mkdir "$work/zip-lists"
# shellcheck disable=SC2016  # expanded by the inner shell, from its arguments
wine_checks='bash scripts/wine-warm.sh &&
  DRUMLO_GUI_EXE="$1/DrumloListGen.exe" bash scripts/wine-run.sh "$2" &&
  bash scripts/wine-run.sh "$1/drumlo-listgen.exe" --quiet --out "$3" "$4"'
wine_args=("$unpacked" "$ui_test" "$work/zip-lists" "$example")
rc=0
if [[ -z ${DISPLAY-} ]]; then
  xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c "$wine_checks" bash "${wine_args[@]}" ||
    rc=$?
else
  bash -c "$wine_checks" bash "${wine_args[@]}" || rc=$?
fi
wineserver -k >/dev/null 2>&1 || true
((rc == 0)) || { echo "check-packages: the unpacked programs failed under Wine ($rc)" >&2; exit 1; }
same_lists "$work/zip-lists"

phase "the .deb, installed"
dpkg -i "$deb_file" >/dev/null
[[ $(command -v drumlo-listgen) == /usr/bin/drumlo-listgen ]]
mkdir "$work/deb-lists"
/usr/bin/drumlo-listgen --quiet --out "$work/deb-lists" "$example"
same_lists "$work/deb-lists"
# Without --out, a user who cannot write /usr/bin gets the list files in the current directory.
user_dir=$work/as-user
mkdir "$user_dir"
cp "$example" "$user_dir/"
chown -R nobody:"$(id -gn nobody)" "$user_dir"
(cd "$user_dir" && setpriv --reuid=nobody --regid="$(id -gn nobody)" --clear-groups \
  env HOME="$user_dir" /usr/bin/drumlo-listgen --quiet)
same_lists "$user_dir"
page=$(man -w drumlo-listgen)
echo "check-packages: man -w drumlo-listgen: $page"
bash scripts/check-man-page.sh /usr/bin/drumlo-listgen "$page"
# The check itself must fail on a page that lacks a flag.
zcat "$page" | grep -v -- 'timings' >"$work/lacking.1"
if bash scripts/check-man-page.sh /usr/bin/drumlo-listgen "$work/lacking.1" 2>/dev/null; then
  echo "check-packages: check-man-page.sh passed a page without --timings" >&2
  exit 1
fi
dpkg -r drumlo-listgen >/dev/null
[[ ! -e /usr/bin/drumlo-listgen ]] || { echo "check-packages: dpkg -r left the tool" >&2; exit 1; }

phase "a second packaging in $work/second"
bash scripts/package.sh --build-dir "$work/second" --dist "$work/second/dist"
diff dist/SHA256SUMS "$work/second/dist/SHA256SUMS"
for exe in package-linux/drumlo-listgen package-windows/drumlo-listgen.exe \
           package-windows/src/app/win/DrumloListGen.exe; do
  first=$(sha256sum <"build/$exe" | cut -d' ' -f1)
  second=$(sha256sum <"$work/second/$exe" | cut -d' ' -f1)
  printf '%10d  %s  %s\n' "$(stat -c %s "build/$exe")" "$first" "$exe"
  [[ $first == "$second" ]] || { echo "check-packages: $exe differs: $second" >&2; exit 1; }
done
echo "check-packages: both packagings and their executables are byte-identical"
phase "done"
