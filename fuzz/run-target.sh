#!/usr/bin/env bash
# Runs one fuzz target for SECONDS on a corpus folder; an input that fails goes to ARTIFACTS.
# With --copy the run works on a temporary copy and the corpus stays as it is (the smoke runs);
# without, the inputs that reach new code are added to the corpus itself (scripts/fuzz.sh).
# usage: run-target.sh [--copy] TARGET CORPUS SECONDS ARTIFACTS [libFuzzer options...]
set -euo pipefail
copy=0
if [[ "${1:-}" == --copy ]]; then
  copy=1
  shift
fi
target=$1 corpus=$2 seconds=$3 artifacts=$4
shift 4

# Standard error is closed for the code under test (a rejected job text says so there, once per
# input); libFuzzer and the sanitizers keep reporting on a copy of it. An input that takes more
# than ten seconds counts as a hang.
options=(-max_total_time="$seconds" -timeout=10 -close_fd_mask=2 -print_final_stats=1
         -artifact_prefix="$artifacts/")
dict="$(dirname "$0")/$(basename "$corpus").dict"
if [[ -f "$dict" ]]; then options+=(-dict="$dict"); fi
mkdir -p "$artifacts"
if (( copy )); then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cp -R "$corpus"/. "$work"/
  corpus=$work
fi
"$target" "${options[@]}" "$@" "$corpus"
