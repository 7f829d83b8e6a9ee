#!/usr/bin/env bash
# Builds the fuzz targets (preset "fuzz") and runs each in turn for SECONDS (default 600) on its
# corpus fuzz/corpus/<name>/, which keeps the inputs that reach new code and is then minimised
# so that it stays small enough to commit. One libFuzzer process at a time: one core. An input
# that makes a target fail is kept in fuzz/crashes/<name>/, and the script stops there.
# usage: scripts/fuzz.sh [--no-build] [SECONDS_PER_TARGET] [NAME...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=1
if [[ "${1:-}" == --no-build ]]; then
  build=0
  shift
fi
seconds=${1:-600}
names=("${@:2}")
if (( ${#names[@]} == 0 )); then
  for dir in fuzz/corpus/*/; do names+=("$(basename "$dir")"); done
fi
if (( build )); then
  cmake --preset fuzz
  cmake --build --preset fuzz
fi

for name in "${names[@]}"; do
  target=build-fuzz/bin/zelbrin-fuzz-$name
  corpus=fuzz/corpus/$name
  echo "== $name: $seconds s"
  bash fuzz/run-target.sh "$target" "$corpus" "$seconds" "fuzz/crashes/$name"
  # The named seeds stay as they are; of the inputs libFuzzer found (named by their SHA-1) only
  # those that add coverage are kept.
  rm -rf "$corpus.merged"
  mkdir "$corpus.merged"
  for input in "$corpus"/*; do
    [[ "$(basename "$input")" =~ ^[0-9a-f]{40}$ ]] || cp "$input" "$corpus.merged"/
  done
  "$target" -merge=1 -close_fd_mask=2 "$corpus.merged" "$corpus"
  rm -rf "$corpus"
  mv "$corpus.merged" "$corpus"
  echo "== $name: $(find "$corpus" -type f | wc -l) inputs, $(cat "$corpus"/* | wc -c) bytes"
done
