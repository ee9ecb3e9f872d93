#!/usr/bin/env bash
# Saves every UTF-8 workbook (*.xml) of the given folders again as UTF-16 with iconv, into OUT:
# NAME.utf8.xml (a copy), NAME.utf16le.xml and NAME.utf16be.xml (a UTF-8 byte-order mark becomes
# a UTF-16 one, no mark stays none), NAME.utf16le-bom.xml and NAME.utf16be-bom.xml (always a
# mark). Workbooks that are not valid UTF-8 are passed over.
# Usage: make_utf16_workbooks.sh OUT FOLDER...
set -euo pipefail
out=$1
shift
rm -rf "$out"
mkdir -p "$out"
for folder in "$@"; do
  [[ -d $folder ]] || continue
  for source in "$folder"/*.xml; do
    [[ -f $source ]] || continue
    name=$(basename "$folder")-$(basename "${source%.xml}")
    iconv -f UTF-8 -t UTF-16LE "$source" >"$out/$name.utf16le.xml" 2>/dev/null || {
      rm -f "$out/$name.utf16le.xml"
      continue
    }
    cp "$source" "$out/$name.utf8.xml"
    iconv -f UTF-8 -t UTF-16BE "$source" >"$out/$name.utf16be.xml"
    without_mark() { sed '1s/^\xEF\xBB\xBF//' "$source"; }
    { printf '\xFF\xFE'; without_mark | iconv -f UTF-8 -t UTF-16LE; } >"$out/$name.utf16le-bom.xml"
    { printf '\xFE\xFF'; without_mark | iconv -f UTF-8 -t UTF-16BE; } >"$out/$name.utf16be-bom.xml"
  done
done
echo "make_utf16_workbooks: $(find "$out" -name '*.utf8.xml' | wc -l) workbooks"
