#!/usr/bin/env bash
# Saves every table source (.fods, .csv) as .xlsx and as an XML Spreadsheet 2003 workbook with
# LibreOffice, one call per form, into OUT/xlsx and OUT/xml.
# Usage: make_tables.sh SOURCE_DIR OUT_DIR
# Without soffice the tables are not made: an error when CI is set, else a note (the comparison
# test then skips).
set -euo pipefail
src=$1
out=$2
rm -rf "$out"
if ! command -v soffice >/dev/null; then
  if [[ -n ${CI-} ]]; then
    echo "make_tables: soffice not found (Debian package libreoffice-calc-nogui)" >&2
    exit 1
  fi
  echo "make_tables: soffice not found; the tables are not made"
  exit 0
fi
mkdir -p "$out/xlsx" "$out/xml"
profile=$(mktemp -d /tmp/drumlo-soffice.XXXXXX)
trap 'rm -rf "$profile"' EXIT
shopt -s nullglob
sheets=("$src"/*.fods)
csvs=("$src"/*.csv)
# CSV is read as UTF-8, comma-separated, with double quotes; the filter applies to the files
# named after it.
convert() {
  soffice "-env:UserInstallation=file://$profile" --headless --convert-to "$1" --outdir "$2" \
    "${sheets[@]}" --infilter=CSV:44,34,76,1 "${csvs[@]}"
}
convert xlsx "$out/xlsx"
convert 'xml:MS Excel 2003 XML' "$out/xml"
for source in "${sheets[@]}" "${csvs[@]}"; do
  name=$(basename "${source%.*}")
  for made in "$out/xlsx/$name.xlsx" "$out/xml/$name.xml"; do
    [[ -s $made ]] || { echo "make_tables: $made was not made" >&2; exit 1; }
  done
done
