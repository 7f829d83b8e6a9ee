#!/usr/bin/env bash
# The fuzz smoke runs as one test of the normal build: builds the preset "fuzz" (clang with
# libFuzzer and the sanitizers; only the Qt-free libraries) and runs every target for 20 s on a
# copy of its seeds, two at a time.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang++ >/dev/null; then
  echo "clang not found; fuzz smoke runs skipped"
  exit 77
fi
cmake --preset fuzz
cmake --build --preset fuzz
ctest --preset fuzz
