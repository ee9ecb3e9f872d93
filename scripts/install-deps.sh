#!/usr/bin/env bash
# Installs everything the builds and tests need on Debian 12 (run as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  cmake ninja-build g++ git ca-certificates python3
  googletest libgtest-dev libbenchmark-dev
  # Line coverage of the core (scripts/coverage.sh).
  gcovr
  # The Unicode character database, checked against the upper-case table in the tests.
  unicode-data
  # Fuzz targets (clang with libFuzzer and the sanitizer runtimes) and the benchmark's reference.
  clang libclang-rt-14-dev libxml2-utils time
  # The Windows build and its tests under Wine (fonts and a headless display for the window).
  g++-mingw-w64-x86-64 wine64 wine fonts-wine fonts-wqy-microhei xvfb imagemagick
  # zlib for .xlsx workbooks, native and for the static Windows build.
  zlib1g-dev libz-mingw-w64-dev
  # LibreOffice saves the test tables as .xlsx and as XML Spreadsheet 2003 workbooks.
  libreoffice-calc-nogui
  # Release packages (scripts/package.sh, check-packages.sh): the man page made from --help, the
  # .deb's dependencies (dpkg-shlibdeps, which CPack finds ELF files for with file), man to read
  # the installed page, unzip to unpack the zip.
  help2man dpkg-dev file man-db unzip
)
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
echo "install-deps: installed ${#packages[@]} packages"
