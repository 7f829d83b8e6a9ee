#!/usr/bin/env bash
# Installs, builds and starts the agent (inside a private X server and CUPS when there is no
# display).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec bash scripts/run-agent.sh build
