#!/usr/bin/env bash
# Installs, builds and runs every test: unit tests, then the integration tests against a private
# CUPS daemon and a private X server that the test run starts and stops itself.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
ctest --preset default
