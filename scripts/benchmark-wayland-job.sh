#!/usr/bin/env bash
# Runs the Wayland PDF job benchmark inside a private headless sway and CUPS (default printer: the
# raw queue, so that no filter competes for the CPU while the figures are taken). Usage:
#   scripts/benchmark-wayland-job.sh [BUILD_DIR] [MEGABYTES] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
megabytes=${2:-50}
rounds=${3:-3}
base="$(pwd)/$build/benchmark-env"
testenv=tests/env/testenv.sh
trap 'bash $testenv sway-stop "$base" >/dev/null; bash $testenv cups-stop "$base" >/dev/null' EXIT
bash $testenv cups-start "$base" >/dev/null
bash $testenv sway-start "$base" >/dev/null
bash $testenv exec "$base" -- lpadmin -d zelbrin-raw
bash $testenv exec "$base" -- "$build/bin/zelbrin-wayland-job-benchmark" "$megabytes" "$rounds"
