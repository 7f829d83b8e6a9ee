#!/usr/bin/env bash
# Installs what the project needs (when missing) and builds it into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
