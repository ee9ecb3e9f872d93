#!/usr/bin/env bash
# Builds drumlo-listgen and runs it on the bundled example workbook into out/.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v cmake >/dev/null || ! command -v ninja >/dev/null || ! command -v g++ >/dev/null; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends cmake ninja-build g++ >/dev/null
fi
cmake --preset release -DDRUMLO_BUILD_TESTS=OFF -DDRUMLO_BUILD_BENCH=OFF >/dev/null
cmake --build --preset release --target drumlo-listgen
mkdir -p out
build/release/drumlo-listgen --out out --report "examples/歌曲规范总表.xml"
