#!/usr/bin/env bash
# Builds the release packages of the checked-out commit: drumlo-listgen for Debian (.deb) and as
# a .tar.gz, and the Windows zip with both programs, the guide and the example. Both builds are
# Release and reproducible: every file time is the commit's (SOURCE_DATE_EPOCH), so the same
# commit packaged anywhere gives the same bytes. Writes dist/ with SHA256SUMS and prints each
# file with its size and SHA-256.
#
# Usage: scripts/package.sh [--build-dir DIR] [--dist DIR]
#   --build-dir DIR  parent of the two build folders package-linux/ and package-windows/
#                    (default: build)
#   --dist DIR       where the packages and SHA256SUMS go, emptied first (default: dist)
# JOBS sets the build's parallel jobs (default: the number of processors).
set -euo pipefail
cd "$(dirname "$0")/.."
build_root=build
dist=dist
while (($#)); do
  case $1 in
    --build-dir) build_root=$2; shift 2 ;;
    --dist) dist=$2; shift 2 ;;
    *) echo "usage: scripts/package.sh [--build-dir DIR] [--dist DIR]" >&2; exit 64 ;;
  esac
done
mkdir -p "$build_root" "$dist"
build_root=$(cd "$build_root" && pwd)
dist=$(cd "$dist" && pwd)
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH LC_ALL=C.UTF-8
jobs=${JOBS:-$(nproc)}

# Builds one configuration and runs CPack on it; prints the packages it wrote.
build_and_pack() {
  local preset=$1 dir=$build_root/$1
  cmake --preset "$preset" -B "$dir" >/dev/null
  cmake --build "$dir" -j "$jobs" >&2
  rm -rf "$dir/cpack"
  cpack --config "$dir/CPackConfig.cmake" -B "$dir/cpack" >&2
  find "$dir/cpack" -maxdepth 1 -type f \( -name '*.deb' -o -name '*.tar.gz' -o -name '*.zip' \)
}

find "$dist" -mindepth 1 -delete
echo "== package: Linux (DEB, TGZ)" >&2
build_and_pack package-linux | xargs -r cp -t "$dist"
echo "== package: Windows (ZIP)" >&2
build_and_pack package-windows | xargs -r cp -t "$dist"

cd "$dist"
files=(*.deb *.tar.gz *.zip)
sha256sum -- "${files[@]}" >SHA256SUMS
echo "== dist: $dist (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
for f in "${files[@]}" SHA256SUMS; do
  printf '%10d  %s  %s\n' "$(stat -c %s "$f")" "$(sha256sum <"$f" | cut -d' ' -f1)" "$f"
done
