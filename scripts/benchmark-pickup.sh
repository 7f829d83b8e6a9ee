#!/usr/bin/env bash
# Measures how long the real agent takes from a job's hand-over until CUPS holds the job: small
# "ZelbrinDefault" PDF jobs, first through the clipboard, then through the redirected folder, and
# prints the median and the worst of each. Usage:
#
#   scripts/benchmark-pickup.sh [BUILD_DIR [AGENT_BINARY]]
#
# BUILD_DIR (default build, relative to the repository) holds zelbrin-pickup-benchmark;
# AGENT_BINARY (default BUILD_DIR/bin/zelbrin-client) is the agent measured, so that an older
# or newer build of the agent can be compared with the same benchmark.
#
# Environment:
#   PICKUP_JOBS=N         jobs per carrier (default 20), after one warm-up job each
#   PICKUP_BASE=FOLDER    where the environment goes (default BUILD_DIR/pickup-env); the user
#                         lp must be able to reach it
#
# The agent runs inside a private cupsd (default printer: the raw queue, so that no filter
# competes for the CPU), Xvfb, session bus and home folder. Exit status: 0 when every job
# reached CUPS, 1 when one did not within 10 s, 2 when the run could not be made. Needs root
# (cupsd).

set -euo pipefail

REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
TESTENV="$REPO_DIR/tests/env/testenv.sh"

if [[ "${1:-}" == -h || "${1:-}" == --help ]]; then
    sed -n '2,/^$/p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
    exit 0
fi

die() {
    echo "benchmark-pickup: $*" >&2
    exit 2
}

build_dir=${1:-build}
[[ "$build_dir" == /* ]] || build_dir="$REPO_DIR/$build_dir"
agent_given=${2:-$build_dir/bin/zelbrin-client}
[[ -x "$agent_given" ]] || die "$agent_given not found; build first"
agent_given=$(realpath -- "$agent_given")
benchmark="$build_dir/bin/zelbrin-pickup-benchmark"
[[ -x "$benchmark" ]] || die "$benchmark not found; build first"
jobs=${PICKUP_JOBS:-20}
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || die "PICKUP_JOBS must be a positive number, not '$jobs'"
[[ $EUID -eq 0 ]] || die "must run as root (the private cupsd switches to the user lp)"

base=${PICKUP_BASE:-$build_dir/pickup-env}
mkdir -p "$base"
base=$(cd "$base" && pwd -P)
# A second run in the same BASE would stop this one's cupsd. The services and the agent do not
# inherit the lock.
exec {lock}>>"$base/pickup.lock"
flock -n "$lock" || die "another run is using $base"

now_us() {
    local t=${EPOCHREALTIME/[.,]/}
    printf '%s\n' "$((10#$t))"
}

agent_pid=""
started_cups=0
started_xvfb=0
started_bus=0

# shellcheck disable=SC2317 # called through the trap
cleanup() {
    local status=$? i
    trap - EXIT INT TERM
    if [[ -n "$agent_pid" ]] && kill -0 "$agent_pid" 2>/dev/null; then
        kill -TERM "$agent_pid" 2>/dev/null || true
        # The agent ends like "Quit" on SIGTERM; up to 10 s, then it is forced.
        for ((i = 0; i < 200; i++)); do
            kill -0 "$agent_pid" 2>/dev/null || break
            sleep 0.05
        done
        kill -KILL "$agent_pid" 2>/dev/null || true
        wait "$agent_pid" 2>/dev/null || true
    fi
    if (( started_bus )); then bash "$TESTENV" bus-stop "$base" >/dev/null || true; fi
    if (( started_xvfb )); then bash "$TESTENV" xvfb-stop "$base" >/dev/null || true; fi
    if (( started_cups )); then bash "$TESTENV" cups-stop "$base" >/dev/null || true; fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

rm -rf -- "${base:?}/bin" "${base:?}/home" "${base:?}/tmp" "${base:?}/results"
mkdir -p "$base/bin" "$base/home" "$base/tmp" "$base/results"
results="$base/results"
# A copy: a build may replace the binary while the run goes on.
cp -- "$agent_given" "$base/bin/zelbrin-client"

started_cups=1
bash "$TESTENV" cups-start "$base" >/dev/null {lock}>&- || die "cups-start failed"
started_xvfb=1
bash "$TESTENV" xvfb-start "$base" >/dev/null {lock}>&- || die "xvfb-start failed"
# A session bus as every desktop has; without one GIO would start a bus of its own that
# outlives the run.
started_bus=1
bash "$TESTENV" bus-start "$base" >/dev/null {lock}>&- || die "bus-start failed"

while IFS= read -r line; do
    [[ -n "$line" ]] && export "${line?}"
done < <(cat "$base/cups.env" "$base/xvfb.env" "$base/bus.env")
lpadmin -d zelbrin-raw || die "cannot make zelbrin-raw the default printer"

# The agent's world, private like the integration tests'.
export HOME="$base/home"
export TMPDIR="$base/tmp"
export XDG_RUNTIME_DIR="$base/xdg-runtime"
export XDG_CONFIG_HOME="$HOME/.config"
export XDG_DATA_HOME="$HOME/.local/share"
export XDG_CACHE_HOME="$HOME/.cache"
export XDG_STATE_HOME="$HOME/.local/state"
unset WAYLAND_DISPLAY XAUTHORITY

documents="$HOME/Documents"
drive="$documents/ZbDataDrive"
settings="$documents/com.kestrova.ZelbrinClient/ZelbrinSettings.xml"
agent_err="$results/agent.err"

"$base/bin/zelbrin-client" >"$results/agent.out" 2>"$agent_err" </dev/null {lock}>&- &
agent_pid=$!
deadline=$(($(now_us) + 15000000))
until [[ -f "$settings" && -d "$drive" ]]; do
    kill -0 "$agent_pid" 2>/dev/null || die "the agent ended at start-up: $(cat "$agent_err")"
    (($(now_us) < deadline)) || die "the agent wrote no settings within 15 s: $(cat "$agent_err")"
    sleep 0.05
done
# A print dialog would wait for a person: every job would time out.
grep -q 'Dialog="0"' "$settings" || die "the \"Dialog\" switch is not off in $settings"

status=0
"$benchmark" --agent "$agent_given" --agent-pid "$agent_pid" --documents "$documents" \
    --jobs "$jobs" {lock}>&- || status=$?

if [[ -s "$agent_err" ]]; then
    echo "Agent stderr, lines by frequency ($agent_err):"
    sort "$agent_err" | uniq -c | sort -rn | head -n 10 | sed 's/^/  /'
fi
exit "$status"
